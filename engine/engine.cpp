#include "engine/engine.h"

#include <functional>
#include <optional>

#include "convert/cnv_gui.h"
#include "convert/cnv_tftp.h"
#include "convert/shared_steps.h"
#include "engine/file_error.h"
#include "engine/listing.h"
#include "engine/messages.h"
#include "engine/output_check.h"
#include "engine/report_recorder.h"
#include "engine/textfile.h"

CCnvEngine::CCnvEngine(const std::filesystem::path& inputPath) {
  std::error_code why;
  ReadInput(inputPath, kDefaultMaxInputBytes, why);
}

CCnvEngine::CCnvEngine(const std::filesystem::path& inputPath, std::uint64_t maxBytes,
                       std::error_code& why) {
  ReadInput(inputPath, maxBytes, why);
}

void CCnvEngine::ReadInput(const std::filesystem::path& inputPath, std::uint64_t maxBytes,
                           std::error_code& why) {
  // Read once, into the listing converter: a pipe or a device cannot be
  // read a second time for the second converter.
  auto tftp = std::make_unique<CCnvTFTP>();
  std::string earlierOutput;
  const int read = tftp->LoadFile(inputPath, maxBytes, why, earlierOutput);
  if (read == 0) return;
  if (read == 2) {
    ChooseConverter(earlierOutput, inputPath);
    return;
  }
  const bool listing = HasListingMarkers(*tftp);
  KeepConverter(std::move(tftp), listing);
}

CCnvEngine::CCnvEngine(std::string bytes, const std::filesystem::path& inputName) {
  ChooseConverter(bytes, inputName);
}

void CCnvEngine::ChooseConverter(std::string_view bytes, const std::filesystem::path& inputName) {
  m_alreadyConverted = BeginsWithOutputHeader(bytes);
  if (m_alreadyConverted) {
    // Refused whatever it holds: an output written in another character
    // set need not decode in this one.
    try {
      LoadConverter(bytes, inputName);
    } catch (const FileError&) {
      m_converter = std::make_unique<CCnvGUI>();
      m_converterKind = kConverterGui;
    }
    return;
  }
  LoadConverter(bytes, inputName);
}

void CCnvEngine::LoadConverter(std::string_view bytes, const std::filesystem::path& inputName) {
  // The sectioned-listing converter first: its load succeeds only for
  // input with both markers, while the web-GUI converter takes any input.
  auto tftp = std::make_unique<CCnvTFTP>();
  const bool listing = tftp->LoadBytes(bytes, inputName) == 1;
  KeepConverter(std::move(tftp), listing);
}

void CCnvEngine::KeepConverter(std::unique_ptr<CCnvBase> tftp, bool listing) {
  if (listing) {
    m_converter = std::move(tftp);
    m_converterKind = kConverterTftp;
    return;
  }
  // The web-GUI converter's load is the plain one, which the listing
  // converter's attempt has just made: its lines are taken over instead of
  // decoding the input a second time.
  auto gui = std::make_unique<CCnvGUI>();
  gui->TakeLines(*tftp);
  tftp.reset();
  m_converter = std::move(gui);
  m_converterKind = kConverterGui;
}

CCnvEngine::~CCnvEngine() = default;

int CCnvEngine::RunSteps() {
  if (!m_converter) return 0;
  if (m_alreadyConverted) return RefuseAlreadyConverted();
  CCnvBase& converter = *m_converter;
  const OutputCheckAllowance allowance = InputAllowance(converter);
  // The steps in their fixed order, by the names the report gives them.
  const std::pair<const char*, std::function<int()>> steps[] = {
      {"lan-provider", [&] { return converter.ConvertLanProvider(); }},
      {"pp-provider", [&] { return converter.ConvertPpProvider(); }},
      {"system-settings", [&] { return converter.ConvertSystemSettings(); }},
      {"url-filter", [&] { return UrlFilterStep(converter); }},
      {"external-memory", [&] { return ExternalMemoryStep(converter); }},
  };
  std::optional<ReportRecorder> recorder;
  if (m_report) {
    *m_report = ConversionReport();
    recorder.emplace(*m_report, m_converterKind, converter);
  }
  struct Detach {
    CCnvBase& converter;
    ~Detach() { converter.m_recorder = nullptr; }
  } detach{converter};
  converter.m_recorder = recorder ? &*recorder : nullptr;
  for (const auto& [name, step] : steps) {
    if (recorder) recorder->BeginStep(name);
    const int result = step();
    if (recorder) recorder->EndStep(converter, result);
    if (result != 1) return result;
  }
  if (recorder) recorder->Finish(converter);
  return CheckOutput(allowance);
}

int CCnvEngine::RefuseAlreadyConverted() {
  m_converter->SetError(kCnvAlreadyConverted);
  if (m_report) {
    *m_report = ConversionReport();
    m_report->shape = m_converterKind;
    m_report->inputLines = m_converter->LineCount();
    m_report->failure = FailureOfWords(
        "already-converted",
        Said(u"the first line is the header line '{1}' of an earlier output: this is a converted "
             u"QDN570 configuration already, and converting it again would rewrite its lines a "
             u"second time",
             {kOutputHeader}),
        1);
  }
  return 0;
}

int CCnvEngine::CheckOutput(const OutputCheckAllowance& allowance) {
  OutputCheckFailure failure;
  if (CheckConvertedLines(*m_converter, allowance, failure)) return 1;
  m_converter->SetError(kCnvOutputCheck);
  if (m_report) {
    const InputLine where = LineAt(*m_converter, static_cast<int>(failure.index));
    m_report->failure = FailureOfWords("output-check", std::move(failure.reason), where.number);
  }
  return 0;
}

int CCnvEngine::Convert(const std::filesystem::path& outputPath) {
  if (!m_converter) return 0;
  const int result = RunSteps();
  if (result != 1) return result;
  return m_converter->Save(outputPath);
}

void CCnvEngine::GetErrorMessage(std::u16string& text) {
  if (m_converter) {
    m_converter->GetErrorMessage(text);
  } else {
    LoadMessage(kIdsErrorInputOpen, text);
  }
}

int CCnvEngine::UrlFilterStep(CCnvBase& converter) {
  return ConvertUrlFilter(converter);
}

int CCnvEngine::ExternalMemoryStep(CCnvBase& converter) {
  return ConvertExternalMemory(converter);
}
