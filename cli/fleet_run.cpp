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
#include "engine/textfile.h"

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

// Threads beyond twice the seats, that wait for the disk together while
// the seats go on converting: enough for the conversions of some seats
// during one flush of the disk.
constexpr unsigned kCommitWaiters = 32;

// The result of one conversion of a fleet run, held until its turn.
struct FleetOutcome {
  std::string out;  // its JSON document, with --json
  std::string err;  // its messages (and readable report)
  OneOutcome one;
};

// The fleet run's counts and the inputs that need attention, taken from
// each conversion in input order; the summary that ends the run.
class FleetTally {
 public:
  FleetTally(const Options& options, std::ostream& out, StatusPrinter& status)
      : options_(options), out_(out), status_(status) {}

  void Deliver(const fs::path& input, const FleetOutcome& o);
  void PrintSummary(std::ostream& err, size_t inputs) const;
  size_t Failures() const { return failed_ + fileErrors_; }
  int Status() const {
    if (fileErrors_ > 0) return kExitFileError;
    if (skipped_ > 0) return kExitUsage;
    if (failed_ > 0) return kExitConversionFailed;
    return kExitConverted;
  }

 private:
  // The first of them listed, all counted, so that the summary stays
  // readable and its memory bounded.
  static constexpr size_t kListed = 100;

  const Options& options_;
  std::ostream& out_;
  StatusPrinter& status_;
  size_t converted_ = 0, failed_ = 0, skipped_ = 0, earlierOutputs_ = 0, fileErrors_ = 0;
  std::vector<std::string> attention_;
  size_t needAttention_ = 0;
};

void FleetTally::Deliver(const fs::path& input, const FleetOutcome& o) {
  if (!o.out.empty()) WriteToStdout(out_, o.out);
  const int status = o.one.status;
  // An earlier output among the inputs is left out, like a kept output.
  const bool earlier = o.one.alreadyConverted;
  const bool error = (status == kExitConversionFailed && !earlier) || status == kExitFileError;
  if (!o.err.empty() &&
      (error || (!options_.quiet && (status != kExitConverted || options_.report)))) {
    status_.Print(o.err);
  }
  std::string reason;
  switch (earlier ? kExitUsage : status) {
    case kExitConverted:
      ++converted_;
      if (!o.one.notices.empty()) reason = TerminalText(o.one.notices);
      break;
    case kExitConversionFailed:
      ++failed_;
      reason = Tr("failed: ");
      break;
    case kExitUsage:
      ++(earlier ? earlierOutputs_ : skipped_);
      reason = earlier ? Tr("already converted: ") : Tr("skipped: ");
      break;
    default:
      ++fileErrors_;
      reason = Tr("file error: ");
  }
  if (status != kExitConverted) reason += o.one.reason;
  if (reason.empty()) return;
  if (++needAttention_ <= kListed) attention_.push_back(PathForTerminal(input) + ": " + reason);
}

void FleetTally::PrintSummary(std::ostream& err, size_t inputs) const {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", status_.Seconds());
  std::string counts =
      Tr("{1} converted, {2} failed, {3} skipped",
         {std::to_string(converted_), std::to_string(failed_), std::to_string(skipped_)});
  if (earlierOutputs_ > 0) {
    counts += Tr(", {1} already converted", {std::to_string(earlierOutputs_)});
  }
  Say(err, Tr(fileErrors_ == 1 ? "{1}, {2} file error ({3} in {4} s)"
                               : "{1}, {2} file errors ({3} in {4} s)",
              {counts, std::to_string(fileErrors_),
               Tr(inputs == 1 ? "{1} input" : "{1} inputs", {std::to_string(inputs)}), seconds}));
  if (needAttention_ == 0) return;
  Say(err, Tr(needAttention_ == 1 ? "{1} input needs attention:" : "{1} inputs need attention:",
              {std::to_string(needAttention_)}));
  for (const std::string& entry : attention_) err << "  " << entry << '\n';
  if (needAttention_ > attention_.size()) {
    err << "  "
        << Tr("... and {1} more (see --report or --json)",
              {std::to_string(needAttention_ - attention_.size())})
        << '\n';
  }
  err << std::flush;
}

// Converts `item` as a single run would, its streams kept for its turn.
FleetOutcome ConvertItem(const Options& options, const FleetItem& item) {
  FleetOutcome outcome;
  std::istringstream none;
  std::ostringstream jobOut, jobErr;
  Options one = options;
  one.input = ArgFromPath(item.input);
  one.output = ArgFromPath(item.output);
  std::error_code ec;
  if (!options.dryRun) fs::create_directories(item.output.parent_path(), ec);
  outcome.one = RunOne(one, item.input, item.output, none, jobOut, jobErr, {});
  outcome.out = jobOut.str();
  outcome.err = jobErr.str();
  return outcome;
}

}  // namespace

// The fleet form: -o DIR INPUT... Every conversion is the one a single run
// would make, with its own output written atomically; their messages and
// documents come in input order; a summary ends the run.
int RunFleet(const Options& options, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  if (const int refused = CheckFleetForm(options, err); refused >= 0) return refused;
  std::vector<fs::path> inputs;
  for (const std::string& arg : options.paths) inputs.push_back(PathFromArg(arg));
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
  FleetTally tally(options, out, status);
  // More threads than seats: a conversion whose output waits for the disk
  // gives up its seat to another, and the outputs that wait meanwhile are
  // made durable together, so the more wait at once, the fewer the waits.
  ComputeGate gate(jobs);
  CommitGroup commits;
  const std::function<FleetOutcome(size_t)> job = [&](size_t i) {
    const CommitGroupScope joined(commits);
    const ComputeSeat seat(gate);
    return ConvertItem(options, items[i]);
  };
  const std::function<void(size_t, FleetOutcome&)> deliver = [&](size_t i, FleetOutcome& o) {
    tally.Deliver(items[i].input, o);
  };
  try {
    RunOrdered<FleetOutcome>(items.size(), jobs * 2 + kCommitWaiters, job, deliver,
                             [&](size_t done) { status.Progress(done, tally.Failures()); });
  } catch (const FileError& e) {
    // Standard output went away: the documents cannot be written.
    status.Finish();
    ReportFileError(e, err);
    return kExitFileError;
  }
  status.Finish();
  if (!options.quiet) tally.PrintSummary(err, items.size());
  return tally.Status();
}
