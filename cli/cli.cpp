#include "cli/cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <sstream>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "cli/diff.h"
#include "cli/fleet_plan.h"
#include "cli/ordered_runner.h"
#include "cli/report_render.h"
#include "cli/status_printer.h"
#include "engine/cnv_base.h"
#include "engine/engine.h"
#include "engine/file_error.h"
#include "engine/messages.h"
#include "engine/strutil.h"
#include "engine/textfile.h"

#ifndef CNV_VERSION_MAJOR
#define CNV_VERSION_MAJOR 0
#define CNV_VERSION_MINOR 0
#define CNV_VERSION_PATCH 0
#endif

namespace fs = std::filesystem;

namespace {

constexpr char kProgram[] = "cnvqdn570conf";
constexpr char16_t kDefaultOutputName[] = u"qdn570-config.txt";
constexpr char kStdoutName[] = "-";
constexpr char kStdinName[] = "-";

struct Options {
  std::vector<std::string> paths;  // as given: INPUT [OUTPUT], or the inputs of -o
  std::string input;
  std::string output;
  std::string outputDir;  // -o: the fleet form
  bool recursive = false;
  unsigned jobs = 0;  // 0: one per core
  bool quiet = false;
  std::string encoding;
  bool force = false;
  bool diff = false;
  bool dryRun = false;
  bool report = false;
  bool json = false;
};

// Selects the configuration character set (-e) for one run and the user's
// default again afterwards (RunCli may run many times in one process).
// Messages name the user's default themselves.
class EncodingScope {
 public:
  EncodingScope() = default;
  ~EncodingScope() {
    if (selected_) SetFileEncoding("");
  }
  EncodingScope(const EncodingScope&) = delete;
  EncodingScope& operator=(const EncodingScope&) = delete;

  bool Select(const std::string& name) {
    selected_ = SetFileEncoding(name);
    return selected_;
  }

 private:
  bool selected_ = false;
};

fs::path PathFromArg(const std::string& arg) {
#ifdef _WIN32
  return fs::path(std::u8string(arg.begin(), arg.end()));
#else
  return fs::path(arg);
#endif
}

std::string Text(std::string_view utf8);

// A path as the terminal shows it. POSIX paths already are bytes in the
// locale's character set. "-" is standard input.
std::string PathForTerminal(const fs::path& path) {
  if (path == fs::path(kStdinName)) return Text("standard input");
#ifdef _WIN32
  return TerminalText(path.u16string());
#else
  return path.native();
#endif
}

// A path as it appears in the "---"/"+++" lines of a diff, which is written
// in the configuration's character set.
std::string PathForDiff(const fs::path& path) {
#ifdef _WIN32
  try {
    return EncodeText(path.u16string());
  } catch (const FileError&) {
    const std::u8string bytes = path.u8string();
    return std::string(bytes.begin(), bytes.end());
  }
#else
  return path.native();
#endif
}

// A path as text for a question on the terminal.
std::u16string PathText(const fs::path& path) {
#ifdef _WIN32
  return path.u16string();
#else
  try {
    return DecodeTextIn("", path.native());
  } catch (const FileError&) {
    return Utf8ToUtf16(path.native());
  }
#endif
}

std::string Text(std::string_view utf8) {
  return TerminalText(Utf8ToUtf16(utf8));
}

// Writes one message line, "cnvqdn570conf: " and `bytes`, to `err`.
void Say(std::ostream& err, const std::string& bytes) {
  err << kProgram << ": " << bytes << '\n' << std::flush;
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
  return " (" + where + text + ")";
}

std::string ConverterName(int32_t kind) {
  return kind == kConverterTftp ? "sectioned listing" : "web-GUI save";
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

// Writes bytes of configuration text to standard output; a failed write is
// a file error like a failed write of a file.
void WriteToStdout(std::ostream& out, const std::string& bytes) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.flush();
  if (!out) throw FileError(FileError::Kind::DiskFull, {}, "the write failed");
}

// Encodes lines of configuration text, each followed by `lineEnd`, and
// writes them to standard output in pieces after the bytes of `head`, which
// go out with the first piece.
class StdoutLines {
 public:
  StdoutLines(std::ostream& out, std::u16string_view lineEnd, std::string head = {})
      : out_(out), pending_(std::move(head)), encoder_(lineEnd, [this](std::string_view bytes) {
          pending_ += bytes;
          Write();
        }) {}

  void Add(std::u16string_view line) { encoder_.Add(line); }
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
  Say(err, PathForTerminal(outputFailed ? output : input) + ": " + TerminalText(message) +
               (outputFailed ? OpenFailureReason(output, LastOutputOpenError()) : std::string()) +
               (report && !outputFailed ? TerminalText(FailureSuffix(*report)) : std::string()));
}

void ReportFileError(const FileError& error, std::ostream& err) {
  const std::string where =
      error.path().empty() ? std::string("standard output") : PathForTerminal(error.path());
  const char* what = error.kind() == FileError::Kind::DiskFull ? "cannot write" : "cannot read";
  std::string hint;
  if (!error.readsAs().empty()) hint = " (try -e " + error.readsAs() + ")";
  Say(err, where + ": " + Text(what) + ": " + Text(error.what()) + Text(hint));
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

// `text` in the character set `name`, whatever -e chose; empty when it
// cannot be represented there.
std::string EncodedIn(const std::string& name, const std::u16string& text) {
  try {
    return EncodeTextIn(name, text);
  } catch (const FileError&) {
    return {};
  }
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
  first = first.substr(0, lineEnd);
  if (!first.empty() && first.back() == '\r') first.remove_suffix(1);
  const std::u16string header(kOutputHeader);
  for (const std::string& bytes : {EncodedIn(FileEncoding(), header), EncodedIn("UTF-8", header),
                                   EncodedIn("CP932", header)}) {
    if (!bytes.empty() && first == bytes) return false;
  }
  return true;
}

int ParseArguments(const std::vector<std::string>& args, Options& options, std::ostream& out,
                   std::ostream& err) {
  CLI::App app{
      "Converts a configuration saved from a VLK250 router (a web-GUI save or a sectioned "
      "listing) into a configuration for a QDN570 firewall.",
      kProgram};
  // Paths may begin with "/" on every platform; options are -x and --name.
  app.allow_windows_style_options(false);
  app.add_option("INPUT", options.paths,
                 "INPUT [OUTPUT]: the configuration file saved from the VLK250 (- for standard "
                 "input) and where to write the QDN570 configuration (default: qdn570-config.txt "
                 "in INPUT's folder; a folder gets that name inside it; - for standard output). "
                 "With -o DIR: one or more INPUTs, files or folders of *.txt files")
      ->required();
  app.add_option("-o,--output-dir", options.outputDir,
                 "Convert every INPUT into DIR, each output named as its input (created when "
                 "missing)")
      ->type_name("DIR");
  app.add_flag("-r,--recursive", options.recursive,
               "With -o: also the *.txt files in the subfolders of a folder INPUT, keeping their "
               "relative paths under DIR");
  app.add_option("-j,--jobs", options.jobs,
                 "With -o: conversions at once (default: the number of cores)")
      ->type_name("N")
      ->check(CLI::Range(1u, 256u));
  app.add_flag("-q,--quiet", options.quiet,
               "With -o: no progress, summary or notices; only errors");
  app.add_flag("-f,--force", options.force,
               "Replace an existing earlier output without asking (never a file that is not one)");
  app.add_option("-e,--encoding", options.encoding,
                 "Character set of INPUT and OUTPUT, e.g. CP932 or UTF-8 (default: the "
                 "locale's)")
      ->type_name("NAME");
  app.add_flag("-d,--diff", options.diff,
               "Print a unified diff from INPUT to the converted configuration on standard "
               "output");
  app.add_flag("-n,--dry-run", options.dryRun, "Convert and report, but write no file");
  app.add_flag("--report", options.report,
               "Print the conversion report on standard error: each step's changed lines with "
               "their input line numbers, its notices, and why a step failed");
  app.add_flag("--json", options.json,
               "Write the conversion report as one JSON document (format 1) on standard output");
  app.set_version_flag("-V,--version",
                       std::string(kProgram) + " Version " +
                           VersionText(CNV_VERSION_MAJOR, CNV_VERSION_MINOR, CNV_VERSION_PATCH));
  app.footer(
      "Exit status: 0 converted, 1 the conversion failed, 2 usage error or OUTPUT not "
      "overwritten, 3 a file could not be read or written. With -o, the highest status that "
      "applies to any input.");

  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, out, err) == 0 ? kExitConverted : kExitUsage;
  }
  return -1;
}

// Asks before an existing output is replaced; false when it must be kept.
bool MayReplace(const fs::path& output, bool force, const OverwriteQuestion& ask,
                std::ostream& err) {
  // A folder in the output's place is no file to replace, and -f would not
  // help: saving reports that the output cannot be created.
  std::error_code ec;
  if (!Exists(output) || fs::is_directory(output, ec)) return true;
  if (IsForeignFile(output)) {
    Say(err, PathForTerminal(output) +
                 Text(" is not an output of this tool (its first line is not the header line); "
                      "not replaced, even with -f"));
    return false;
  }
  if (force) return true;
  if (!ask) {
    Say(err, PathForTerminal(output) +
                 Text(" already exists; not overwritten (use -f to overwrite it)"));
    return false;
  }
  const std::u16string question = Utf8ToUtf16(std::string(kProgram) + ": ") + PathText(output) +
                                  u" already exists. Overwrite? [y/N] ";
  if (ask(question)) return true;
  Say(err, PathForTerminal(output) + Text(" not overwritten"));
  return false;
}

// The input or output path as the JSON document gives it, UTF-8.
std::string JsonPath(const fs::path& path) {
  if (path == fs::path(kStdinName)) return kStdinName;
  return Utf16ToUtf8(PathText(path));
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
  std::u16string text = Utf8ToUtf16(std::to_string(notices.size()) +
                                    (notices.size() == 1 ? " notice: " : " notices: "));
  for (size_t i = 0; i < notices.size() && i < kShown; ++i) {
    if (i > 0) text += u", ";
    text += Utf8ToUtf16(notices[i]->code);
    if (notices[i]->inputLine > 0) {
      text += Utf8ToUtf16(" (line " + std::to_string(notices[i]->inputLine) + ")");
    }
  }
  if (notices.size() > kShown) text += u", ...";
  return text;
}

// One conversion of `input`, read as `bytes`. `attention`, when given,
// receives the notices of a conversion that succeeded.
int Convert(const Options& options, const fs::path& input, std::string bytes,
            const fs::path& output, std::ostream& out, std::ostream& err,
            const OverwriteQuestion& ask, std::u16string* attention) {
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
  if (attention) *attention = NoticeSummary(report);

  if (options.diff) {
    for (std::size_t i = 0; i < convertedCount; ++i) {
      diffInput.AddAfter(convertedLine(i, scratch));
    }
    StdoutLines diff(out, u"\n",
                     "--- " + PathForDiff(input) + "\n+++ " +
                         (output.empty() ? std::string(kStdoutName) : PathForDiff(output)) + "\n");
    UnifiedDiffHunks(std::move(diffInput), convertedLine,
                     [&diff](std::u16string_view line) { diff.Add(line); });
    diff.Finish();
  }
  if (options.dryRun) {
    std::string line = Text("dry run: ") + PathForTerminal(input) + " (" + Text(kind) +
                       "): " + std::to_string(loadedCount) + Text(" lines in, ") +
                       std::to_string(convertedCount) + Text(" lines out, ") + counts +
                       Text("; nothing written");
    if (!toStdout && !output.empty() && Exists(output)) {
      line += Text(" (") + PathForTerminal(output) + Text(" exists and was left as it was)");
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
    Say(err, Text("converted ") + PathForTerminal(input) + " (" + Text(kind) + ")" +
                 Text(" to standard output: ") + counts);
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
  Say(err, Text("converted ") + PathForTerminal(input) + " (" + Text(kind) + ")" + Text(" to ") +
               PathForTerminal(output) + Text(": ") + counts);
  writeJson(true, &output, static_cast<int>(convertedCount));
  return kExitConverted;
}

}  // namespace

std::string VersionText(int major, int minor, int build) {
  return std::to_string(major) + "." + std::to_string(minor) + std::to_string(build);
}

bool IsYesAnswer(const std::u16string& answer) {
  std::u16string word = Trim(answer);
  for (char16_t& c : word) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return word == u"y" || word == u"yes";
}

std::string TerminalText(const std::u16string& text) {
  try {
    return EncodeTextIn("", text);
  } catch (const FileError&) {
    return Utf16ToUtf8(text);
  }
}

namespace {

// Reads INPUT once (a file, or `in` for "-") and converts it; every error
// becomes its message on `err` and the tool's exit status.
int RunOne(const Options& options, const fs::path& input, const fs::path& output, std::istream& in,
           std::ostream& out, std::ostream& err, const OverwriteQuestion& ask,
           std::u16string* attention) {
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
      Say(err,
          PathForTerminal(input) + ": " + TerminalText(message) + OpenFailureReason(input, why));
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
                   fromStdin ? OverwriteQuestion() : ask, attention);
  } catch (const FileError& e) {
    ReportFileError(e, err);
    return kExitFileError;
  } catch (const fs::filesystem_error& e) {
    Say(err, PathForTerminal(e.path1()) + ": " + Text(e.code().message()));
    return kExitFileError;
  } catch (const std::bad_alloc&) {
    // The whole file is held in memory; by now the unwinding has freed it.
    Say(err, PathForTerminal(input) + Text(": not enough memory to convert this file"));
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
      Say(err, Text("-d writes the diff to standard output; with INPUT -, give an OUTPUT file "
                    "or use -n"));
      return kExitUsage;
    }
    if (!options.dryRun) options.output = kStdoutName;
  }
  const bool toStdout = options.output == kStdoutName;
  if (options.diff && toStdout) {
    Say(err, Text("-d writes the diff to standard output; give an OUTPUT file or use -n"));
    return kExitUsage;
  }
  if (options.json && toStdout) {
    Say(err, Text("--json writes the report to standard output; give an OUTPUT file or use -n"));
    return kExitUsage;
  }
  if (options.json && options.diff) {
    Say(err, Text("-d and --json both write to standard output; use one of them"));
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
    Say(err, PathForTerminal(input) + Text(" is a folder, not a configuration file"));
    return kExitUsage;
  }
  if (!fromStdin && !toStdout && SameFile(input, output)) {
    Say(err, PathForTerminal(output) +
                 Text(" is the input file; choose another OUTPUT so that the input is kept"));
    return kExitUsage;
  }

  return RunOne(options, input, output, in, out, err, ask, nullptr);
}

// A path as an argument of one conversion: UTF-8 on Windows, the native
// bytes elsewhere.
std::string ArgFromPath(const fs::path& path) {
#ifdef _WIN32
  const std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
#else
  return path.native();
#endif
}

// What the plan's refusal says.
std::string RefusalText(const FleetRefusal& refusal) {
  switch (refusal.kind) {
    case FleetRefusal::Kind::kNone:
      break;
    case FleetRefusal::Kind::kMissingInput:
      return PathForTerminal(refusal.first) + Text(" is neither a file nor a folder");
    case FleetRefusal::Kind::kOutputIsInputFolder:
      return PathForTerminal(refusal.first) + Text(" is the folder of the input ") +
             PathForTerminal(refusal.second) +
             Text("; choose another output folder so that the inputs are kept");
    case FleetRefusal::Kind::kOutputInsideInput:
      return PathForTerminal(refusal.first) + Text(" lies inside ") +
             PathForTerminal(refusal.second) +
             Text(", which is read with -r; choose an output folder outside it");
    case FleetRefusal::Kind::kSameOutput:
      return PathForTerminal(refusal.first) + Text(" and ") + PathForTerminal(refusal.second) +
             Text(" would both be written to ") + PathForTerminal(refusal.output);
    case FleetRefusal::Kind::kNoInputs:
      return Text("no *.txt file in the folders given");
  }
  return {};
}

// The result of one conversion of a fleet run, held until its turn.
struct FleetOutcome {
  int status = kExitConverted;
  std::string out;  // its JSON document, with --json
  std::string err;  // its messages (and readable report)
  std::u16string notices;
};

// The fleet form: -o DIR INPUT... Every conversion is the one a single run
// would make, with its own output written atomically; their messages and
// documents come in input order; a summary ends the run.
int RunFleet(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  if (options.diff) {
    Say(err, Text("-d works with one INPUT; use --report or --json with -o"));
    return kExitUsage;
  }
  std::vector<fs::path> inputs;
  for (const std::string& arg : options.paths) {
    if (arg == kStdinName) {
      Say(err, Text("standard input cannot be one of several inputs; give files or folders"));
      return kExitUsage;
    }
    inputs.push_back(PathFromArg(arg));
  }
  const fs::path dir = PathFromArg(options.outputDir);
  std::vector<FleetItem> items;
  const FleetRefusal refusal = PlanFleet(inputs, dir, options.recursive, items);
  if (refusal.kind != FleetRefusal::Kind::kNone) {
    Say(err, RefusalText(refusal));
    return kExitUsage;
  }
  if (!options.dryRun) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) {
      Say(err, PathForTerminal(dir) + ": " + ec.message());
      return kExitFileError;
    }
  }

  const unsigned jobs =
      options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
  StatusPrinter status(err, errIsTerminal && !options.quiet, items.size());
  size_t converted = 0, failed = 0, skipped = 0, fileErrors = 0;
  // The inputs that need attention: the first of them listed, all counted,
  // so that the summary stays readable and its memory bounded.
  constexpr size_t kListed = 100;
  std::vector<std::string> attention;
  size_t needAttention = 0;

  const std::function<FleetOutcome(size_t)> job = [&](size_t i) {
    const FleetItem& item = items[i];
    FleetOutcome outcome;
    std::istringstream none;
    std::ostringstream jobOut, jobErr;
    Options one = options;
    one.input = ArgFromPath(item.input);
    one.output = ArgFromPath(item.output);
    std::error_code ec;
    if (!options.dryRun) fs::create_directories(item.output.parent_path(), ec);
    outcome.status =
        RunOne(one, item.input, item.output, none, jobOut, jobErr, {}, &outcome.notices);
    outcome.out = jobOut.str();
    outcome.err = jobErr.str();
    return outcome;
  };
  const std::function<void(size_t, FleetOutcome&)> deliver = [&](size_t i, FleetOutcome& o) {
    if (!o.out.empty()) WriteToStdout(out, o.out);
    const bool error = o.status == kExitConversionFailed || o.status == kExitFileError;
    if (!o.err.empty() &&
        (error || (!options.quiet && (o.status != kExitConverted || options.report)))) {
      status.Print(o.err);
    }
    std::string reason;
    switch (o.status) {
      case kExitConverted:
        ++converted;
        if (!o.notices.empty()) reason = TerminalText(o.notices);
        break;
      case kExitConversionFailed:
        ++failed;
        reason = Text("failed: ");
        break;
      case kExitUsage:
        ++skipped;
        reason = Text("skipped: ");
        break;
      default:
        ++fileErrors;
        reason = Text("file error: ");
    }
    if (o.status != kExitConverted) {
      // The message, without the program's name and its line ends.
      std::string message = o.err;
      const std::string prefix = std::string(kProgram) + ": ";
      if (const size_t at = message.rfind(prefix); at != std::string::npos) {
        message.erase(0, at + prefix.size());
      }
      for (char& c : message) {
        if (c == '\n' || c == '\r') c = ' ';
      }
      while (!message.empty() && message.back() == ' ') message.pop_back();
      // The input leads the entry already.
      const std::string named = PathForTerminal(items[i].input) + ": ";
      if (message.rfind(named, 0) == 0) message.erase(0, named.size());
      reason += message;
    }
    if (reason.empty()) return;
    if (++needAttention <= kListed) {
      attention.push_back(PathForTerminal(items[i].input) + ": " + reason);
    }
  };
  try {
    RunOrdered<FleetOutcome>(items.size(), jobs, job, deliver,
                             [&](size_t done) { status.Progress(done, failed + fileErrors); });
  } catch (const FileError& e) {
    // Standard output went away: the documents cannot be written.
    status.Finish();
    ReportFileError(e, err);
    return kExitFileError;
  }
  status.Finish();

  if (!options.quiet) {
    std::string line =
        std::to_string(converted) + Text(" converted, ") + std::to_string(failed) +
        Text(" failed, ") + std::to_string(skipped) + Text(" skipped, ") +
        std::to_string(fileErrors) + Text(fileErrors == 1 ? " file error (" : " file errors (") +
        std::to_string(items.size()) + Text(items.size() == 1 ? " input" : " inputs");
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, " in %.1f s)", status.Seconds());
    Say(err, line + Text(seconds));
    if (needAttention > 0) {
      Say(err,
          std::to_string(needAttention) +
              Text(needAttention == 1 ? " input needs attention:" : " inputs need attention:"));
      for (const std::string& entry : attention) err << "  " << entry << '\n';
      if (needAttention > attention.size()) {
        err << "  " << Text("... and ") << (needAttention - attention.size())
            << Text(" more (see --report or --json)") << '\n';
      }
      err << std::flush;
    }
  }
  if (fileErrors > 0) return kExitFileError;
  if (skipped > 0) return kExitUsage;
  if (failed > 0) return kExitConversionFailed;
  return kExitConverted;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const OverwriteQuestion& ask, bool errIsTerminal) {
  Options options;
  if (int parsed = ParseArguments(args, options, out, err); parsed >= 0) return parsed;

  EncodingScope encoding;
  if (!options.encoding.empty() && !encoding.Select(options.encoding)) {
    Say(err, Text("unknown character set: ") + options.encoding);
    return kExitUsage;
  }

  if (!options.outputDir.empty()) return RunFleet(options, out, err, errIsTerminal);
  if (options.paths.size() > 2) {
    Say(err, Text("one INPUT and at most one OUTPUT; to convert several inputs, give -o DIR"));
    return kExitUsage;
  }
  if (options.recursive || options.jobs != 0 || options.quiet) {
    Say(err, Text("-r, -j and -q go with -o DIR"));
    return kExitUsage;
  }
  options.input = options.paths[0];
  if (options.paths.size() > 1) options.output = options.paths[1];
  return RunSingle(options, in, out, err, ask);
}
