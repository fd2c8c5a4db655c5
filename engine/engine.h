// The conversion engine: chooses the converter that understands an input
// file, runs the conversion steps in their fixed order and saves.
#ifndef CNV_ENGINE_ENGINE_H_
#define CNV_ENGINE_ENGINE_H_

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/cnv_base.h"
#include "engine/output_check.h"
#include "engine/report.h"

enum ConverterKind : int32_t {
  kConverterNone = 0,
  kConverterGui = 1,   // CCnvGUI: a web-GUI save
  kConverterTftp = 2,  // CCnvTFTP: a sectioned listing
};

class CCnvEngine {
 public:
  // Reads `inputPath` once and loads its bytes with the sectioned-listing
  // converter, else with the web-GUI converter; leaves no converter when
  // the file cannot be opened. Read errors throw FileError.
  explicit CCnvEngine(const std::filesystem::path& inputPath);
  // The same for an input of at most `maxBytes` bytes (a larger one throws
  // FileError), with the system's reason in `why` when it cannot be opened.
  // The lines are loaded as the input is read, never held whole.
  CCnvEngine(const std::filesystem::path& inputPath, std::uint64_t maxBytes, std::error_code& why);
  // The same choice for input already read (standard input, say): `bytes`
  // is the whole input, `inputName` names it in errors. A converter is
  // always chosen, unless decoding throws FileError.
  CCnvEngine(std::string bytes, const std::filesystem::path& inputName);
  virtual ~CCnvEngine();

  // Runs the five steps and saves to `outputPath`; 1 on success, else the
  // first result that was not 1 (0 without a converter).
  virtual int Convert(const std::filesystem::path& outputPath);
  virtual void GetErrorMessage(std::u16string& text);

  // Runs the five steps without saving (for standard output, diffs and dry
  // runs); same results as Convert up to Save.
  int RunSteps();
  // Has the steps of the next RunSteps or Convert collect their report into
  // `report` (null: no report, the default). Results and output stay the
  // same.
  void CollectReport(ConversionReport* report) { m_report = report; }

  CCnvBase* converter() const { return m_converter.get(); }
  // Whether the input is an earlier output of this converter, which the
  // steps refuse to convert again (error 5).
  bool alreadyConverted() const { return m_alreadyConverted; }
  int32_t converterKind() const { return m_converterKind; }

  int32_t m_converterKind = kConverterNone;
  std::unique_ptr<CCnvBase> m_converter;

 protected:
  // The two steps both converters share (convert/shared_steps.h); virtual
  // so that a test engine can watch the order of all the calls.
  virtual int UrlFilterStep(CCnvBase& converter);
  virtual int ExternalMemoryStep(CCnvBase& converter);

 private:
  // Loads the file with the sectioned-listing converter as it is read.
  void ReadInput(const std::filesystem::path& inputPath, std::uint64_t maxBytes,
                 std::error_code& why);
  // Gives the bytes to the sectioned-listing converter and keeps it when its
  // load takes them, else the web-GUI converter with the lines it loaded.
  void ChooseConverter(std::string_view bytes, const std::filesystem::path& inputName);
  void LoadConverter(std::string_view bytes, const std::filesystem::path& inputName);
  // Keeps `tftp`, loaded, when its lines carry both listing markers, else
  // hands them to the web-GUI converter.
  void KeepConverter(std::unique_ptr<CCnvBase> tftp, bool listing);

  // Refuses an earlier output: error 5, and the report's failure.
  int RefuseAlreadyConverted();
  // The last check of the converted lines; 1, or 0 with error 6.
  int CheckOutput(const OutputCheckAllowance& allowance);

  ConversionReport* m_report = nullptr;
  bool m_alreadyConverted = false;
};

#endif  // CNV_ENGINE_ENGINE_H_
