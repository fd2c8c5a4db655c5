// The last check of a conversion: rules that every correct output keeps,
// checked on the converted lines before anything is written. It does not
// redo the steps' work; it catches a wrong configuration that a step, or an
// unusual input, let through.
#ifndef CNV_ENGINE_OUTPUT_CHECK_H_
#define CNV_ENGINE_OUTPUT_CHECK_H_

#include <cstddef>
#include <string>

#include "engine/cnv_base.h"
#include "engine/report.h"

struct OutputCheckFailure {
  std::size_t index = 0;  // the store line that breaks the rule
  ReportText reason;      // the rule and the line, in words
};

// What the rules must allow because the input itself holds it: a rule
// number that the input defines k times is copied k times under each new
// number, so an output may define a number as often as the input defined
// its most repeated one.
struct OutputCheckAllowance {
  std::size_t ruleDefinitions = 1;
  std::size_t categoryDefinitions = 1;
};

// The allowance of the input lines in `store`, measured before the steps.
OutputCheckAllowance InputAllowance(const CCnvBase& store);

// Whether the store's lines, written after the header line, keep every
// rule:
// - the header line is the output's first line and no other line is it;
// - no URL filter rule number and no category rule number is defined twice
//   (more often than `allowance` lets);
// - every "provider set N" has a "pp select N" line, and every
//   "pp name "PRV/N/..."" line stands inside PP N's lines (from its
//   "pp select N" line to the next "pp select" or "tunnel select" line).
// False, with the first line that breaks one in `failure`.
bool CheckConvertedLines(const CCnvBase& store, const OutputCheckAllowance& allowance,
                         OutputCheckFailure& failure);

#endif  // CNV_ENGINE_OUTPUT_CHECK_H_
