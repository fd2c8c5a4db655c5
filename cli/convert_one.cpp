#include "cli/convert_one.h"

#include <cctype>
#include <fstream>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "cli/catalogue.h"
#include "cli/diff.h"
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

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
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

// The failure message: the converter's, with the reason of the step that
// failed when the report has one.
void ReportEngineFailure(CCnvEngine& engine, const fs::path& input, const fs::path& output,
                         std::ostream& err, const ConversionReport* report = nullptr) {
  std::u16string message;
  engine.GetErrorMessage(message);
  const CCnvBase* converter = engine.converter();
  const bool outputFailed = converter && converter->m_error == kCnvOutputOpen;
  Say(err, PathForTerminal(outputFailed ? output : input) + ": " +
               TerminalText(ConverterMessage(message)) +
               (outputFailed ? OpenFailureReason(output, LastOutputOpenError()) : std::string()) +
               (report && !outputFailed ? TerminalText(FailureSuffix(*report)) : std::string()));
}

// Reads `in` to its end; a failed read is a file error of standard input.
std::string ReadStream(std::istream& in) {
  std::string bytes;
  char buffer[65536];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    bytes.append(buffer, static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) {
    throw FileError(FileError::Kind::Generic, fs::path(kStdinName),
                    "read error after " + std::to_string(bytes.size()) + " bytes");
  }
  return bytes;
}

// Whether `path` is a file the tool never replaces, even with -f: a
// regular file, not empty, whose first line is not the header line of an
// earlier output (in the configuration's character set, UTF-8 or CP932).
// Such a file is most likely a router's configuration, often its only copy.
bool IsForeignFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return false;
  const auto size = fs::file_size(path, ec);
  if (ec || size == 0) return false;
  std::ifstream file(path, std::ios::binary);
  // A file held open by another program, or not readable: the write that
  // follows meets the same obstacle and reports it.
  if (!file) return false;
  char buffer[256];
  file.read(buffer, sizeof buffer);
  if (file.gcount() <= 0) return false;
  std::string_view first(buffer, static_cast<size_t>(file.gcount()));
  const size_t lineEnd = first.find('\n');
  if (lineEnd == std::string_view::npos && static_cast<std::uintmax_t>(first.size()) < size) {
    return true;  // a first line longer than any header
  }
  return !BeginsWithOutputHeader(first);
}

// Asks before an existing output is replaced; false when it must be kept.
bool MayReplace(const fs::path& output, bool force, const OverwriteQuestion& ask,
                std::ostream& err) {
  // A folder in the output's place is no file to replace, and -f would not
  // help: saving reports that the output cannot be created.
  std::error_code ec;
  if (!Exists(output) || fs::is_directory(output, ec)) return true;
  if (IsForeignFile(output)) {
    Say(err, Tr("{1} is not an output of this tool (its first line is not the header line); "
                "not replaced, even with -f",
                {PathForTerminal(output)}));
    return false;
  }
  if (force) return true;
  if (!ask) {
    Say(err, Tr("{1} already exists; not overwritten (use -f to overwrite it)",
                {PathForTerminal(output)}));
    return false;
  }
  const std::u16string question = Utf8ToUtf16(std::string(kProgram) + ": ") +
                                  Tr16("{1} already exists. Overwrite? [y/N] ", {PathText(output)});
  if (ask(question)) return true;
  Say(err, Tr("{1} not overwritten", {PathForTerminal(output)}));
  return false;
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
    if (i > 0) text += u", ";
    text += Utf8ToUtf16(notices[i]->code);
    if (notices[i]->inputLine > 0) {
      text += Tr16(" (line {1})", {Utf8ToUtf16(std::to_string(notices[i]->inputLine))});
    }
  }
  if (notices.size() > kShown) text += u", ...";
  return text;
}

// Refuses a conversion with notices under --strict: lists them, writes
// nothing. The report's failure says why.
void RefuseNotices(ConversionReport& report, const fs::path& input, std::ostream& err) {
  const std::u16string summary = NoticeSummary(report);
  report.failure =
      FailureOfWords("strict-notices",
                     Said(u"--strict refuses a conversion with notices, and this one has {1}",
                          {Utf8ToUtf16(std::to_string(NoticeCount(report)))}),
                     0);
  Say(err, Tr("{1}: not converted: --strict refuses a conversion with notices ({2})",
              {PathForTerminal(input), TerminalText(summary)}));
  for (const std::u16string& line : NoticeLines(report)) err << "  " << TerminalText(line) << '\n';
  err << std::flush;
}

// One conversion of `input`, read as `bytes`. `outcome`, when given,
// receives what a fleet run counts.
int Convert(const Options& options, const fs::path& input, std::string bytes,
            const fs::path& output, std::ostream& out, std::ostream& err,
            const OverwriteQuestion& ask, OneOutcome* outcome) {
  const bool toStdout = options.output == kStdoutName;
  CCnvEngine engine(std::move(bytes), input);
  ConversionReport report;
  engine.CollectReport(&report);
  const std::size_t loadedCount =
      engine.converter() ? static_cast<std::size_t>(engine.converter()->LineCount()) : 0;
  // The report's outlets besides the summary line: the readable report on
  // standard error (before the summary), the JSON document on standard
  // output.
  const auto showReport = [&] {
    if (!options.report) return;
    for (const std::u16string& line : ReportLines(report)) err << TerminalText(line) << '\n';
    err << std::flush;
  };
  const auto writeJson = [&](bool converted, const fs::path* written, std::optional<int> linesOut) {
    if (!options.json) return;
    JsonRun run;
    run.input = JsonPath(input);
    if (written) run.output = JsonPath(*written);
    run.converted = converted;
    // A fleet run leaves earlier outputs out instead of failing them.
    run.skipped = engine.alreadyConverted() && !options.outputDir.empty();
    std::u16string message;
    engine.GetErrorMessage(message);
    run.message = Utf16ToUtf8(message);
    run.linesIn = static_cast<int>(loadedCount);
    run.linesOut = linesOut;
    if (engine.converter()) {
      run.error = engine.converter()->m_error;
      run.report = &report;
    }
    WriteToStdout(out, ReportJson(run) + "\n");
  };
  if (!engine.converter()) {
    ReportEngineFailure(engine, input, output, err);
    writeJson(false, nullptr, std::nullopt);
    return kExitConversionFailed;
  }
  // A diff needs the lines as loaded; it keeps each distinct line once.
  const CCnvBase& store = *engine.converter();
  std::u16string scratch;
  DiffInput diffInput;
  if (options.diff) {
    for (std::size_t i = 0; i < loadedCount; ++i) diffInput.AddBefore(store.JoinedLine(i, scratch));
  }
  if (engine.RunSteps() != 1) {
    if (outcome) outcome->alreadyConverted = engine.alreadyConverted();
    showReport();
    ReportEngineFailure(engine, input, output, err, &report);
    writeJson(false, nullptr, std::nullopt);
    return kExitConversionFailed;
  }
  const std::size_t convertedCount = static_cast<std::size_t>(store.LineCount()) + 1;
  // Line `i` of the output: the header, then the store's lines.
  const DiffLineSource convertedLine = [&store](std::size_t i, std::u16string& scratch) {
    return i == 0 ? std::u16string_view(kOutputHeader) : store.JoinedLine(i - 1, scratch);
  };
  const std::string kind = ConverterName(engine.converterKind());
  const std::string counts = TerminalText(SummaryCounts(report, options.report));
  if (options.strict && NoticeCount(report) > 0) {
    showReport();
    RefuseNotices(report, input, err);
    writeJson(false, nullptr, std::nullopt);
    return kExitConversionFailed;
  }
  if (outcome) outcome->notices = NoticeSummary(report);

  if (options.diff) {
    for (std::size_t i = 0; i < convertedCount; ++i) {
      diffInput.AddAfter(convertedLine(i, scratch));
    }
    // On a terminal the diff is read: in the terminal's character set.
    // Redirected, it keeps the configuration's bytes, as a patch must.
    const bool forTerminal = options.outIsTerminal;
    StdoutLines diff(
        out, u"\n",
        "--- " + PathForDiff(input, forTerminal) + "\n+++ " +
            (output.empty() ? std::string(kStdoutName) : PathForDiff(output, forTerminal)) + "\n",
        forTerminal);
    UnifiedDiffHunks(std::move(diffInput), convertedLine,
                     [&diff](std::u16string_view line) { diff.Add(line); });
    diff.Finish();
  }
  if (options.dryRun) {
    std::string line = Tr(
        "dry run: {1} ({2}): {3} in, {4} out, {5}; nothing written",
        {PathForTerminal(input), kind, LineCount(loadedCount), LineCount(convertedCount), counts});
    if (!toStdout && !output.empty() && Exists(output)) {
      line += Tr(" ({1} exists and was left as it was)", {PathForTerminal(output)});
    }
    showReport();
    Say(err, line);
    writeJson(true, nullptr, static_cast<int>(convertedCount));
    return kExitConverted;
  }
  if (toStdout) {
    StdoutLines lines(out, u"\r\n");
    for (std::size_t i = 0; i < convertedCount; ++i) lines.Add(convertedLine(i, scratch));
    lines.Finish();
    showReport();
    Say(err,
        Tr("converted {1} ({2}) to standard output: {3}", {PathForTerminal(input), kind, counts}));
    return kExitConverted;
  }
  if (!MayReplace(output, options.force, ask, err)) return kExitUsage;
  if (engine.converter()->Save(output) != 1) {
    showReport();
    ReportEngineFailure(engine, input, output, err);
    writeJson(false, nullptr, std::nullopt);
    return kExitConversionFailed;
  }
  showReport();
  Say(err, Tr("converted {1} ({2}) to {3}: {4}",
              {PathForTerminal(input), kind, PathForTerminal(output), counts}));
  writeJson(true, &output, static_cast<int>(convertedCount));
  return kExitConverted;
}

}  // namespace

// Reads INPUT once (a file, or `in` for "-") and converts it; every error
// becomes its message on `err` and the tool's exit status.
int RunOne(const Options& options, const fs::path& input, const fs::path& output, std::istream& in,
           std::ostream& out, std::ostream& err, const OverwriteQuestion& ask,
           OneOutcome* outcome) {
  const bool fromStdin = input == fs::path(kStdinName);
  try {
    // The input is read once, whatever it is: a pipe or a device could not
    // be read a second time.
    std::string bytes;
    if (fromStdin) {
      bytes = ReadStream(in);
    } else if (std::error_code why; !ReadFileBytes(input, bytes, why)) {
      std::u16string message;
      LoadMessage(kIdsErrorInputOpen, message);
      Say(err, PathForTerminal(input) + ": " + TerminalText(ConverterMessage(message)) +
                   OpenFailureReason(input, why));
      if (options.json) {
        JsonRun run;
        run.input = JsonPath(input);
        run.message = Utf16ToUtf8(message);
        WriteToStdout(out, ReportJson(run) + "\n");
      }
      return kExitConversionFailed;
    }
    // Standard input, once read, has no one left on it to answer.
    return Convert(options, input, std::move(bytes), output, out, err,
                   fromStdin ? OverwriteQuestion() : ask, outcome);
  } catch (const FileError& e) {
    ReportFileError(e, err);
    return kExitFileError;
  } catch (const fs::filesystem_error& e) {
    Say(err, PathForTerminal(e.path1()) + ": " + Text(e.code().message()));
    return kExitFileError;
  } catch (const std::bad_alloc&) {
    // The whole file is held in memory; by now the unwinding has freed it.
    Say(err, Tr("{1}: not enough memory to convert this file", {PathForTerminal(input)}));
    return kExitFileError;
  }
}

// The single form: INPUT [OUTPUT].
int RunSingle(Options& options, std::istream& in, std::ostream& out, std::ostream& err,
              const OverwriteQuestion& ask) {
  const bool fromStdin = options.input == kStdinName;
  if (fromStdin && options.output.empty()) {
    // A filter: the configuration goes to standard output, where a diff
    // cannot go as well. A dry run writes nothing, so it needs no OUTPUT.
    if (options.diff && !options.dryRun) {
      Say(err, Tr("-d writes the diff to standard output; with INPUT -, give an OUTPUT file "
                  "or use -n"));
      return kExitUsage;
    }
    // Assigned as a string: GCC 12 warns falsely (-Wrestrict) on the literal.
    if (!options.dryRun) options.output = std::string(kStdoutName);
  }
  const bool toStdout = options.output == kStdoutName;
  if (options.diff && toStdout) {
    Say(err, Tr("-d writes the diff to standard output; give an OUTPUT file or use -n"));
    return kExitUsage;
  }
  if (options.json && toStdout) {
    Say(err, Tr("--json writes the report to standard output; give an OUTPUT file or use -n"));
    return kExitUsage;
  }
  if (options.json && options.diff) {
    Say(err, Tr("-d and --json both write to standard output; use one of them"));
    return kExitUsage;
  }

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

  return RunOne(options, input, output, in, out, err, ask, nullptr);
}
