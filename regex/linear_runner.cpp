// The runner of linear programs: the steps in turn, each taking what it
// can, from each start; a loop's run, and whether the rest failed from the
// end of that run, is remembered, so that a later start that enters the
// same run is done at once and the work stays linear in the text.
#include "regex/linear_runner.h"

namespace regex_internal {

bool RunLinear(const SearchHints& hints, const char16_t* text, int32_t len, int32_t start,
               MatchState& state) {
  const LinearProgram& linear = hints.linear;
  const size_t count = linear.steps.size();
  state.loops.resize(count);
  for (LoopMemo& memo : state.loops) {
    memo.runFrom = -1;
    memo.failedFrom = -1;
  }
  for (int32_t s = start;;) {
    int32_t pos = s;
    size_t k = 0;
    for (; k < count; ++k) {
      const LinearStep& step = linear.steps[k];
      if (step.repeated) {
        LoopMemo& memo = state.loops[k];
        if (memo.runFrom < 0 || pos < memo.runFrom || pos > memo.runEnd) {
          memo.runFrom = pos;
          while (pos < len && step.units.Has(text[pos])) ++pos;
          memo.runEnd = pos;
        }
        pos = memo.runEnd;
        if (pos == memo.failedFrom) break;
      } else if (pos < len && step.units.Has(text[pos])) {
        ++pos;
      } else if (!step.optional) {
        break;
      }
    }
    if (k == count && !(linear.notFollowed && pos < len && linear.notFollowedBy.Has(text[pos]))) {
      state.groupCount = 1;
      state.groups.assign(1, GroupSpan{s, pos});
      return true;
    }
    // The rest failed from where each loop on the way ended.
    for (size_t j = 0; j < k; ++j) {
      if (linear.steps[j].repeated) state.loops[j].failedFrom = state.loops[j].runEnd;
    }
    if (linear.anchored) return false;
    s = NextStart(hints, text, len, s + 1);
    if (s >= len) return false;
  }
}

}  // namespace regex_internal
