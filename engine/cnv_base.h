// The abstract converter: the line store that holds a configuration as
// parallel arrays of command parts and comment parts, loading and saving of
// configuration files, and the error code of a conversion.
#ifndef CNV_ENGINE_CNV_BASE_H_
#define CNV_ENGINE_CNV_BASE_H_

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// Error codes of a conversion; each selects one message of the string table.
class ReportRecorder;

enum CnvError : int32_t {
  kCnvOk = 0,                // 105 "正常です。"
  kCnvUnsupported = 1,       // 106, never set by any step
  kCnvNotConvertible = 2,    // 107, the input lacks a line a step needs
  kCnvOperationError = 3,    // 108, bad line range or pattern
  kCnvOutputOpen = 4,        // 109, the output file cannot be created
  kCnvAlreadyConverted = 5,  // 111, the input is an earlier output of this converter
  kCnvOutputCheck = 6,       // 112, the converted lines break a rule every output keeps
};

class CCnvBase {
 public:
  CCnvBase() = default;
  virtual ~CCnvBase();

  // Appends the lines of the file at `path`; 1 when read, 0 when it cannot
  // be opened. Read errors throw FileError (engine/textfile.h), and so does
  // input refused as it is read, before any line is appended.
  virtual int Load(const std::filesystem::path& path);
  // Writes the header line and every line; 1 when written, 0 (code 4) when
  // the output cannot be created. Write errors throw FileError.
  virtual int Save(const std::filesystem::path& path);
  virtual void Clear();
  virtual void SetError(int code);
  // Sets `text` to the message of m_error (unchanged if there is none).
  virtual void GetErrorMessage(std::u16string& text);
  virtual int ConvertLanProvider() = 0;
  virtual int ConvertPpProvider() = 0;
  virtual int ConvertSystemSettings() = 0;
  // Load for input already read: appends the lines decoded from `bytes`,
  // the whole of the input named `name`; 1 when taken. Bytes that do not
  // decode throw FileError, after the lines before them were appended.
  virtual int LoadBytes(std::string_view bytes, const std::filesystem::path& name);
  // The load the engine makes of a file: reads `path` once, in blocks, and
  // appends each line as soon as it is complete, so that the input is never
  // held whole; 1 when read, 0 when it cannot be opened (the system's reason
  // in `why`). Input refused as it is read (over `maxBytes`, not text in the
  // character set) throws FileError, as Load does, and leaves no line of it
  // appended. An earlier output, refused whatever it holds, is not decoded
  // here: 2, with its bytes in `earlierOutput`.
  int LoadFile(const std::filesystem::path& path, std::uint64_t maxBytes, std::error_code& why,
               std::string& earlierOutput);

  // Number of lines in the store.
  int LineCount() const { return static_cast<int>(m_cmdLines.size()); }
  // Line `index` as it will be written after the header: the command part
  // followed by the comment part, joined in `scratch` where there is one.
  std::u16string_view JoinedLine(std::size_t index, std::u16string& scratch) const;
  // Every line so joined, as copies (for tests).
  std::vector<std::u16string> JoinedLines() const;
  // Splits each line into its two parts and appends it to the store.
  void AppendLines(const std::vector<std::u16string>& lines);

  // The command part and the comment part of each line, to read: the
  // store changes only through its own loads and the line operations
  // (engine/line_ops.h), which tell the conversion report.
  const std::vector<std::u16string>& CmdLines() const { return m_cmdLines; }
  const std::vector<std::u16string>& CommentLines() const { return m_commentLines; }
  // Takes over the lines of `other`, which is left without lines: a second
  // converter reuses the load of a first.
  void TakeLines(CCnvBase& other);

  int32_t m_error = 0;
  // Set by the engine while it collects a conversion report, else null
  // (engine/report.h); not owned.
  ReportRecorder* m_recorder = nullptr;

 private:
  friend class LineStoreEdits;  // the line operations (engine/line_ops.cpp)
  class Loader;                 // takes the lines of LoadFile as they are read

  // Room for a load of about `lines` lines and what the steps insert.
  void MakeRoom(std::size_t lines);
  // Appends `line` (moved from), split into its two parts.
  void AppendSplit(std::u16string& line);

  std::vector<std::u16string> m_cmdLines;
  std::vector<std::u16string> m_commentLines;
};

// Splits one line at its first "#" outside double quotes into the command
// part and the comment part (which keeps the "#").
void SplitComment(const std::u16string& line, std::u16string& cmd, std::u16string& comment);

// The header line every output begins with.
extern const char16_t kOutputHeader[];

// Whether `bytes`, the beginning of a file, open with the header line of an
// output (after a UTF-8 byte-order mark), written in the configuration's
// character set, in UTF-8 or in CP932: an earlier output, not a source
// configuration.
bool BeginsWithOutputHeader(std::string_view bytes);

#endif  // CNV_ENGINE_CNV_BASE_H_
