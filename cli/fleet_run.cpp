#include "cli/fleet_run.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sstream>
#include <system_error>
#include <thread>

#include "cli/catalogue.h"
#include "cli/compute_gate.h"
#include "cli/convert_one.h"
#include "cli/fleet_plan.h"
#include "cli/ordered_runner.h"
#include "cli/status_printer.h"
#include "cli/tool_io.h"
#include "engine/file_error.h"

namespace fs = std::filesystem;

namespace {

// What the plan's refusal says.
std::string RefusalText(const FleetRefusal& refusal) {
  switch (refusal.kind) {
    case FleetRefusal::Kind::kNone:
      break;
    case FleetRefusal::Kind::kMissingInput:
      return Tr("{1} does not exist", {PathForTerminal(refusal.first)});
    case FleetRefusal::Kind::kUnreadableInput:
      return Tr("{1}: cannot read: {2}", {PathForTerminal(refusal.first), refusal.why.message()});
    case FleetRefusal::Kind::kOutputIsInputFolder:
      return Tr(
          "{1} is the folder of the input {2}; choose another output folder so that the "
          "inputs are kept",
          {PathForTerminal(refusal.first), PathForTerminal(refusal.second)});
    case FleetRefusal::Kind::kOutputInsideInput:
      return Tr("{1} lies inside {2}, which is read with -r; choose an output folder outside it",
                {PathForTerminal(refusal.first), PathForTerminal(refusal.second)});
    case FleetRefusal::Kind::kSameOutput:
      return Tr("{1} and {2} would both be written to {3}",
                {PathForTerminal(refusal.first), PathForTerminal(refusal.second),
                 PathForTerminal(refusal.output)});
    case FleetRefusal::Kind::kNoInputs:
      return Tr("no *.txt file in the folders given");
  }
  return {};
}

// The result of one conversion of a fleet run, held until its turn.
struct FleetOutcome {
  int status = kExitConverted;
  std::string out;  // its JSON document, with --json
  std::string err;  // its messages (and readable report)
  OneOutcome one;
};

}  // namespace

// The fleet form: -o DIR INPUT... Every conversion is the one a single run
// would make, with its own output written atomically; their messages and
// documents come in input order; a summary ends the run.
int RunFleet(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  if (options.diff) {
    Say(err, Tr("-d works with one INPUT; use --report or --json with -o"));
    return kExitUsage;
  }
  std::vector<fs::path> inputs;
  for (const std::string& arg : options.paths) {
    if (arg == kStdinName) {
      Say(err, Tr("standard input cannot be one of several inputs; give files or folders"));
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
  size_t converted = 0, failed = 0, skipped = 0, earlierOutputs = 0, fileErrors = 0;
  // The inputs that need attention: the first of them listed, all counted,
  // so that the summary stays readable and its memory bounded.
  constexpr size_t kListed = 100;
  std::vector<std::string> attention;
  size_t needAttention = 0;

  // Twice as many threads as seats: while a conversion waits for its output
  // to reach the disk, another one takes its seat.
  ComputeGate gate(jobs);
  const unsigned threads = jobs * 2;
  const std::function<FleetOutcome(size_t)> job = [&](size_t i) {
    const ComputeSeat seat(gate);
    const FleetItem& item = items[i];
    FleetOutcome outcome;
    std::istringstream none;
    std::ostringstream jobOut, jobErr;
    Options one = options;
    one.input = ArgFromPath(item.input);
    one.output = ArgFromPath(item.output);
    std::error_code ec;
    if (!options.dryRun) fs::create_directories(item.output.parent_path(), ec);
    outcome.status = RunOne(one, item.input, item.output, none, jobOut, jobErr, {}, &outcome.one);
    outcome.out = jobOut.str();
    outcome.err = jobErr.str();
    return outcome;
  };
  const std::function<void(size_t, FleetOutcome&)> deliver = [&](size_t i, FleetOutcome& o) {
    if (!o.out.empty()) WriteToStdout(out, o.out);
    // An earlier output among the inputs is left out, like a kept output.
    const bool earlier = o.one.alreadyConverted;
    const bool error =
        (o.status == kExitConversionFailed && !earlier) || o.status == kExitFileError;
    if (!o.err.empty() &&
        (error || (!options.quiet && (o.status != kExitConverted || options.report)))) {
      status.Print(o.err);
    }
    std::string reason;
    switch (earlier ? kExitUsage : o.status) {
      case kExitConverted:
        ++converted;
        if (!o.one.notices.empty()) reason = TerminalText(o.one.notices);
        break;
      case kExitConversionFailed:
        ++failed;
        reason = Tr("failed: ");
        break;
      case kExitUsage:
        ++(earlier ? earlierOutputs : skipped);
        reason = earlier ? Tr("already converted: ") : Tr("skipped: ");
        break;
      default:
        ++fileErrors;
        reason = Tr("file error: ");
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
    RunOrdered<FleetOutcome>(items.size(), threads, job, deliver,
                             [&](size_t done) { status.Progress(done, failed + fileErrors); });
  } catch (const FileError& e) {
    // Standard output went away: the documents cannot be written.
    status.Finish();
    ReportFileError(e, err);
    return kExitFileError;
  }
  status.Finish();

  if (!options.quiet) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", status.Seconds());
    std::string counts =
        Tr("{1} converted, {2} failed, {3} skipped",
           {std::to_string(converted), std::to_string(failed), std::to_string(skipped)});
    if (earlierOutputs > 0) {
      counts += Tr(", {1} already converted", {std::to_string(earlierOutputs)});
    }
    Say(err, Tr(fileErrors == 1 ? "{1}, {2} file error ({3} in {4} s)"
                                : "{1}, {2} file errors ({3} in {4} s)",
                {counts, std::to_string(fileErrors),
                 Tr(items.size() == 1 ? "{1} input" : "{1} inputs", {std::to_string(items.size())}),
                 seconds}));
    if (needAttention > 0) {
      Say(err, Tr(needAttention == 1 ? "{1} input needs attention:" : "{1} inputs need attention:",
                  {std::to_string(needAttention)}));
      for (const std::string& entry : attention) err << "  " << entry << '\n';
      if (needAttention > attention.size()) {
        err << "  "
            << Tr("... and {1} more (see --report or --json)",
                  {std::to_string(needAttention - attention.size())})
            << '\n';
      }
      err << std::flush;
    }
  }
  if (fileErrors > 0) return kExitFileError;
  if (skipped > 0) return kExitUsage;
  if (failed > 0) return kExitConversionFailed;
  return kExitConverted;
}
