// Private to the matcher: the runner of linear programs (LinearProgram in
// regex/search.h), which matches them without the backtracking machine.
#ifndef CNV_REGEX_LINEAR_RUNNER_H_
#define CNV_REGEX_LINEAR_RUNNER_H_

#include <cstdint>

#include "regex/regex.h"
#include "regex/search.h"

namespace regex_internal {

// Runs the linear program of `hints` on text[0, len) from `start` on,
// trying the starts NextStart gives; true with group 0's span in `state`
// when it matches, as MatchPattern would. `start` is the first start
// NextStart gives (or 0 for an anchored program).
bool RunLinear(const SearchHints& hints, const char16_t* text, int32_t len, int32_t start,
               MatchState& state);

}  // namespace regex_internal

#endif  // CNV_REGEX_LINEAR_RUNNER_H_
