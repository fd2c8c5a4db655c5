#include "cli/convert_one.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/catalogue.h"
#include "cli/diff.h"
#include "cli/overwrite_guard.h"
#include "cli/report_render.h"
#include "cli/report_words.h"
#include "cli/tool_io.h"
#include "engine/cnv_base.h"
#include "engine/engine.h"
#include "engine/file_error.h"
#include "engine/messages.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

namespace fs = std::filesystem;

namespace {

constexpr char16_t kDefaultOutputName[] = u"qdn570-config.txt";

// A path as it appears in the "---"/"+++" lines of a diff, which is written
// in the configuration's character set, or in the terminal's on one.
std::string PathForDiff(const fs::path& path, bool forTerminal) {
#ifdef _WIN32
  if (forTerminal) return TerminalText(path.u16string());
  try {
    return EncodeText(path.u16string());
  } catch (const FileError&) {
    const std::u8string bytes = path.u8string();
    return std::string(bytes.begin(), bytes.end());
  }
#else
  (void)forTerminal;  // POSIX paths are bytes, the same for both
  return path.native();
#endif
}

// " (REASON)": the system's reason why `path` could not be opened, naming
// the folder when that is what is missing. Empty without a reason.
std::string OpenFailureReason(const fs::path& path, const std::error_code& why) {
  if (!why) return {};
  std::string where;
  const fs::path folder = path.parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::exists(folder, ec)) where = PathForTerminal(folder) + ": ";
  // The system's text is already in the terminal's character set; Windows
  // ends it with a line end.
  std::string text = why.message();
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return Tr(" ({1})", {where + text});
}

// "1 line", "2 lines".
std::string LineCount(std::size_t count) {
  return Tr(count == 1 ? "{1} line" : "{1} lines", {std::to_string(count)});
}

std::string ConverterName(int32_t kind) {
  return Tr(kind == kConverterTftp ? "sectioned listing" : "web-GUI save");
}

// The output path: the default file name in the input's folder when none is
// given, and the default file name inside a folder that is given.
fs::path ResolveOutput(const fs::path& input, const std::string& arg) {
  if (arg.empty()) return input.parent_path() / kDefaultOutputName;
  fs::path output = PathFromArg(arg);
  std::error_code ec;
  if (fs::is_directory(output, ec)) output /= kDefaultOutputName;
  return output;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const bool same = fs::equivalent(a, b, ec);
  return !ec && same;
}

// Encodes lines of configuration text, each followed by `lineEnd`, and
// writes them to standard output in pieces after the bytes of `head`, which
// go out with the first piece. `forTerminal` encodes them in the terminal's
// character set instead of the configuration's.
class StdoutLines {
 public:
  StdoutLines(std::ostream& out, std::u16string_view lineEnd, std::string head = {},
              bool forTerminal = false)
      : out_(out),
        pending_(std::move(head)),
        lineEnd_(lineEnd),
        forTerminal_(forTerminal),
        encoder_(lineEnd, [this](std::string_view bytes) {
          pending_ += bytes;
          Write();
        }) {}

  void Add(std::u16string_view line) {
    if (!forTerminal_) return encoder_.Add(line);
    pending_ += TerminalText(std::u16string(line) + lineEnd_);
    if (pending_.size() >= 32768) Write();
  }
  void Finish() {
    encoder_.Finish();
    if (!pending_.empty()) Write();
  }

 private:
  void Write() {
    WriteToStdout(out_, pending_);
    pending_.clear();
  }

  std::ostream& out_;
  std::string pending_;
  std::u16string lineEnd_;
  bool forTerminal_;
  LineEncoder encoder_;
};

// Reads `in` to its end in blocks watched as a file's are (InputScreen); a
// failed read is a file error of standard input.
std::string ReadStream(std::istream& in, std::uint64_t maxBytes) {
  std::string bytes;
  InputScreen screen(fs::path(kStdinName), maxBytes);
  std::uint64_t total = 0;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    const size_t got = static_cast<size_t>(in.gcount());
    total += got;
    screen.Add(std::string_view(buffer, got), bytes);
  }
  if (in.bad()) {
    throw FileError(FileError::Kind::Generic, fs::path(kStdinName),
                    "read error after " + std::to_string(total) + " bytes");
  }
  screen.Finish(bytes);
  return bytes;
}

// "2 notices: url-rule-dropped (line 12), marker-unknown (line 3)"; empty
// without notices.
std::u16string NoticeSummary(const ConversionReport& report) {
  std::vector<const ReportNotice*> notices;
  for (const ReportStep& step : report.steps) {
    for (const ReportNotice& notice : step.notices) notices.push_back(&notice);
  }
  for (const ReportNotice& notice : report.notices) notices.push_back(&notice);
  if (notices.empty()) return {};
  constexpr size_t kShown = 4;
  std::u16string text = Tr16(notices.size() == 1 ? "{1} notice: " : "{1} notices: ",
                             {Utf8ToUtf16(std::to_string(notices.size()))});
  for (size_t i = 0; i < notices.size() && i < kShown; ++i) {
    std::u16string item = Utf8ToUtf16(notices[i]->code);
    if (notices[i]->inputLine > 0) {
      item += Tr16(" (line {1})", {Utf8ToUtf16(std::to_string(notices[i]->inputLine))});
    }
    text += i == 0 ? item : Tr16(", {1}", {item});
  }
  if (notices.size() > kShown) text += Tr16(", {1}", {u"..."});
  return text;
}

// The reason of an outcome: what was said of `input`, on one line, without
// the input's path in front.
std::string ReasonOf(const fs::path& input, std::string said) {
  for (char& c : said) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  while (!said.empty() && said.back() == ' ') said.pop_back();
  const std::string named = PathForTerminal(input) + ": ";
  if (said.rfind(named, 0) == 0) said.erase(0, named.size());
  return said;
}

// One conversion of an input already read: converted, then written to
// OUTPUT, to standard output or nowhere, with its diff, report and
// messages. Every way it ends gives the outcome's status, and a failure its
// reason.
class Conversion {
 public:
  Conversion(const Options& options, const fs::path& input, const fs::path& output,
             std::ostream& out, std::ostream& err, OneOutcome& outcome)
      : options_(options),
        input_(input),
        output_(output),
        out_(out),
        err_(err),
        outcome_(outcome) {}

  // The input: the bytes of standard input, or the file, loaded as it is
  // read (false when it cannot be opened, with the reason in `why`).
  void Take(std::string bytes) { engine_.emplace(std::move(bytes), input_); }
  bool Open(std::uint64_t maxBytes, std::error_code& why) {
    engine_.emplace(input_, maxBytes, why);
    return engine_->converter() != nullptr;
  }
  void Run(const OverwriteQuestion& ask);

 private:
  // The lines of the output: the header, then the store's lines.
  std::u16string_view ConvertedLine(std::size_t i, std::u16string& scratch) const {
    return i == 0 ? std::u16string_view(kOutputHeader) : store_->JoinedLine(i - 1, scratch);
  }
  void End(int status, std::string said = {}) {
    outcome_.status = status;
    if (!said.empty()) outcome_.reason = ReasonOf(input_, std::move(said));
  }
  // The readable report on standard error, before the summary line.
  void ShowReport();
  // The JSON document on standard output.
  void WriteJson(bool converted, const fs::path* written, std::optional<int> linesOut);
  // The converter's message, with the reason of the step that failed.
  void EngineFailed(bool withReason);
  // Refuses a conversion with notices under --strict: lists them, writes
  // nothing. The report's failure says why.
  void RefuseNotices();
  void WriteDiff(DiffInput diffInput);
  void DryRun();
  void WriteToStandardOutput();
  void Save(const OverwriteQuestion& ask);

  const Options& options_;
  const fs::path& input_;
  const fs::path& output_;
  std::ostream& out_;
  std::ostream& err_;
  OneOutcome& outcome_;
  std::optional<CCnvEngine> engine_;
  ConversionReport report_;
  const CCnvBase* store_ = nullptr;
  std::size_t loadedCount_ = 0;
  std::size_t convertedCount_ = 0;
  std::string kind_;
  std::string counts_;
};

void Conversion::Run(const OverwriteQuestion& ask) {
  engine_->CollectReport(&report_);
  store_ = engine_->converter();
  if (!store_) {
    EngineFailed(false);
    return;
  }
  loadedCount_ = static_cast<std::size_t>(store_->LineCount());
  // A diff needs the lines as loaded; it keeps each distinct line once.
  std::u16string scratch;
  DiffInput diffInput;
  if (options_.diff) {
    for (std::size_t i = 0; i < loadedCount_; ++i) {
      diffInput.AddBefore(store_->JoinedLine(i, scratch));
    }
  }
  if (engine_->RunSteps() != 1) {
    outcome_.alreadyConverted = engine_->alreadyConverted();
    ShowReport();
    EngineFailed(true);
    return;
  }
  convertedCount_ = static_cast<std::size_t>(store_->LineCount()) + 1;
  kind_ = ConverterName(engine_->converterKind());
  counts_ = TerminalText(SummaryCounts(report_, options_.report));
  if (options_.strict && NoticeCount(report_) > 0) {
    ShowReport();
    RefuseNotices();
    return;
  }
  outcome_.notices = NoticeSummary(report_);
  if (options_.diff) WriteDiff(std::move(diffInput));
  if (options_.dryRun) {
    DryRun();
  } else if (options_.output == kStdoutName) {
    WriteToStandardOutput();
  } else {
    Save(ask);
  }
}

void Conversion::ShowReport() {
  if (!options_.report) return;
  for (const std::u16string& line : ReportLines(report_)) err_ << TerminalText(line) << '\n';
  err_ << std::flush;
}

void Conversion::WriteJson(bool converted, const fs::path* written, std::optional<int> linesOut) {
  if (!options_.json) return;
  JsonRun run;
  run.input = JsonPath(input_);
  if (written) run.output = JsonPath(*written);
  run.converted = converted;
  // A fleet run leaves earlier outputs out instead of failing them.
  run.skipped = engine_->alreadyConverted() && !options_.outputDir.empty();
  std::u16string message;
  engine_->GetErrorMessage(message);
  run.message = Utf16ToUtf8(message);
  run.linesIn = static_cast<int>(loadedCount_);
  run.linesOut = linesOut;
  if (store_) {
    run.error = store_->m_error;
    run.report = &report_;
  }
  WriteToStdout(out_, ReportJson(run) + "\n");
}

void Conversion::EngineFailed(bool withReason) {
  std::u16string message;
  engine_->GetErrorMessage(message);
  const bool outputFailed = store_ && store_->m_error == kCnvOutputOpen;
  std::string said =
      PathForTerminal(outputFailed ? output_ : input_) + ": " +
      TerminalText(ConverterMessage(message)) +
      (outputFailed ? OpenFailureReason(output_, LastOutputOpenError()) : std::string()) +
      (withReason && !outputFailed ? TerminalText(FailureSuffix(report_)) : std::string());
  Say(err_, said);
  WriteJson(false, nullptr, std::nullopt);
  End(kExitConversionFailed, std::move(said));
}

void Conversion::RefuseNotices() {
  const std::u16string summary = NoticeSummary(report_);
  report_.failure =
      FailureOfWords("strict-notices",
                     Said(u"--strict refuses a conversion with notices, and this one has {1}",
                          {Utf8ToUtf16(std::to_string(NoticeCount(report_)))}),
                     0);
  std::string said = Tr("{1}: not converted: --strict refuses a conversion with notices ({2})",
                        {PathForTerminal(input_), TerminalText(summary)});
  for (const std::u16string& line : NoticeLines(report_)) said += "\n  " + TerminalText(line);
  Say(err_, said);
  WriteJson(false, nullptr, std::nullopt);
  End(kExitConversionFailed, std::move(said));
}

void Conversion::WriteDiff(DiffInput diffInput) {
  std::u16string scratch;
  for (std::size_t i = 0; i < convertedCount_; ++i) diffInput.AddAfter(ConvertedLine(i, scratch));
  // On a terminal the diff is read: in the terminal's character set.
  // Redirected, it keeps the configuration's bytes, as a patch must.
  const bool forTerminal = options_.outIsTerminal;
  StdoutLines diff(
      out_, u"\n",
      "--- " + PathForDiff(input_, forTerminal) + "\n+++ " +
          (output_.empty() ? std::string(kStdoutName) : PathForDiff(output_, forTerminal)) + "\n",
      forTerminal);
  UnifiedDiffHunks(
      std::move(diffInput),
      [this](std::size_t i, std::u16string& scratch) { return ConvertedLine(i, scratch); },
      [&diff](std::u16string_view line) { diff.Add(line); });
  diff.Finish();
}

void Conversion::DryRun() {
  std::string line = Tr("dry run: {1} ({2}): {3} in, {4} out, {5}; nothing written",
                        {PathForTerminal(input_), kind_, LineCount(loadedCount_),
                         LineCount(convertedCount_), counts_});
  if (options_.output != kStdoutName && !output_.empty() && PathEntryExists(output_)) {
    line += Tr(" ({1} exists and was left as it was)", {PathForTerminal(output_)});
  }
  ShowReport();
  Say(err_, line);
  WriteJson(true, nullptr, static_cast<int>(convertedCount_));
  End(kExitConverted);
}

void Conversion::WriteToStandardOutput() {
  std::u16string scratch;
  StdoutLines lines(out_, u"\r\n");
  for (std::size_t i = 0; i < convertedCount_; ++i) lines.Add(ConvertedLine(i, scratch));
  lines.Finish();
  ShowReport();
  Say(err_,
      Tr("converted {1} ({2}) to standard output: {3}", {PathForTerminal(input_), kind_, counts_}));
  End(kExitConverted);
}

void Conversion::Save(const OverwriteQuestion& ask) {
  if (std::string said; !MayReplace(output_, options_.force, ask, err_, said)) {
    End(kExitUsage, std::move(said));
    return;
  }
  if (engine_->converter()->Save(output_) != 1) {
    ShowReport();
    EngineFailed(false);
    return;
  }
  ShowReport();
  Say(err_, Tr("converted {1} ({2}) to {3}: {4}",
               {PathForTerminal(input_), kind_, PathForTerminal(output_), counts_}));
  WriteJson(true, &output_, static_cast<int>(convertedCount_));
  End(kExitConverted);
}

// The input could not be opened: message 110 with the system's reason.
OneOutcome InputNotOpened(const Options& options, const fs::path& input, const std::error_code& why,
                          std::ostream& out, std::ostream& err) {
  std::u16string message;
  LoadMessage(kIdsErrorInputOpen, message);
  std::string said = PathForTerminal(input) + ": " + TerminalText(ConverterMessage(message)) +
                     OpenFailureReason(input, why);
  Say(err, said);
  if (options.json) {
    JsonRun run;
    run.input = JsonPath(input);
    run.message = Utf16ToUtf8(message);
    WriteToStdout(out, ReportJson(run) + "\n");
  }
  OneOutcome outcome;
  outcome.status = kExitConversionFailed;
  outcome.reason = ReasonOf(input, std::move(said));
  return outcome;
}

}  // namespace

OneOutcome RunOne(const Options& options, const fs::path& input, const fs::path& output,
                  std::istream& in, std::ostream& out, std::ostream& err,
                  const OverwriteQuestion& ask) {
  const bool fromStdin = input == fs::path(kStdinName);
  OneOutcome outcome;
  try {
    // The input is read once, whatever it is: a pipe or a device could not
    // be read a second time.
    const std::uint64_t maxBytes = std::uint64_t{options.maxInputMiB} << 20;
    Conversion conversion(options, input, output, out, err, outcome);
    if (fromStdin) {
      conversion.Take(ReadStream(in, maxBytes));
    } else if (std::error_code why; !conversion.Open(maxBytes, why)) {
      return InputNotOpened(options, input, why, out, err);
    }
    // Standard input, once read, has no one left on it to answer.
    conversion.Run(fromStdin ? OverwriteQuestion() : ask);
    return outcome;
  } catch (const FileError& e) {
    outcome.status = kExitFileError;
    outcome.reason = ReasonOf(input, ReportFileError(e, err));
  } catch (const fs::filesystem_error& e) {
    std::string said = PathForTerminal(e.path1()) + ": " + Text(e.code().message());
    Say(err, said);
    outcome.status = kExitFileError;
    outcome.reason = ReasonOf(input, std::move(said));
  } catch (const std::bad_alloc&) {
    // The whole file is held in memory; by now the unwinding has freed it.
    std::string said = Tr("{1}: not enough memory to convert this file", {PathForTerminal(input)});
    Say(err, said);
    outcome.status = kExitFileError;
    outcome.reason = ReasonOf(input, std::move(said));
  }
  outcome.notices.clear();
  return outcome;
}

int RunSingle(Options& options, std::istream& in, std::ostream& out, std::ostream& err,
              const OverwriteQuestion& ask) {
  if (const int refused = CheckSingleForm(options, err); refused >= 0) return refused;
  const bool fromStdin = options.input == kStdinName;
  const bool toStdout = options.output == kStdoutName;
  const fs::path input = fromStdin ? fs::path(kStdinName) : PathFromArg(options.input);
  fs::path output;
  if (fromStdin && !options.output.empty() && !toStdout) {
    output = ResolveOutput(fs::path(), options.output);
  } else if (!fromStdin && !toStdout) {
    output = ResolveOutput(input, options.output);
  }
  std::error_code ec;
  if (!fromStdin && fs::is_directory(input, ec)) {
    Say(err, Tr("{1} is a folder, not a configuration file", {PathForTerminal(input)}));
    return kExitUsage;
  }
  if (!fromStdin && !toStdout && SameFile(input, output)) {
    Say(err, Tr("{1} is the input file; choose another OUTPUT so that the input is kept",
                {PathForTerminal(output)}));
    return kExitUsage;
  }
  return RunOne(options, input, output, in, out, err, ask).status;
}
