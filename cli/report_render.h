// The tool's renderings of a conversion report (engine/report.h): the
// counts of the summary line, the readable report of --report and the JSON
// document of --json.
#ifndef CNV_CLI_REPORT_RENDER_H_
#define CNV_CLI_REPORT_RENDER_H_

#include <optional>
#include <string>
#include <vector>

#include "engine/report.h"

// The counts the summary line adds after "converted X (kind) to Y: ": "23
// lines changed by 4 steps, 2 notices (see --report)", or "no lines
// changed"; the pointer to --report only when there are notices and the
// report is not shown.
std::u16string SummaryCounts(const ConversionReport& report, bool reportShown);

// " (line 17: REASON)" for the failed step's reason; empty when no step
// failed.
std::u16string FailureSuffix(const ConversionReport& report);

// The readable report, one line an entry: per step its edits with their
// input lines, its notices and its failure; then the notices about the
// whole input.
std::vector<std::u16string> ReportLines(const ConversionReport& report);

// One run of the tool as the JSON document tells it.
struct JsonRun {
  std::string input;                  // as given, UTF-8
  std::optional<std::string> output;  // the file written; none for a dry run or a failure
  bool converted = false;
  bool skipped = false;      // a fleet run left the input out (an earlier output)
  std::optional<int> error;  // the converter's error code; none without a converter
  std::string message;       // the converter's message, UTF-8
  int linesIn = 0;
  std::optional<int> linesOut;               // header line included; none for a failure
  const ConversionReport* report = nullptr;  // null when no converter took the input
};

// The document of format 1 (README), one line, without a line end.
std::string ReportJson(const JsonRun& run);

#endif  // CNV_CLI_REPORT_RENDER_H_
