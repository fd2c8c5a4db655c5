// Exact alignment of two line sequences: which lines of the old sequence
// stay, in order, in the new one. The conversion report aligns with it the
// lines a step took out with the lines it added in their place, so that a
// line put back unchanged counts as kept.
#ifndef CNV_ENGINE_LINE_ALIGN_H_
#define CNV_ENGINE_LINE_ALIGN_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// One kept line: old line `oldIndex` is new line `newIndex`.
struct LineMatch {
  size_t oldIndex = 0;
  size_t newIndex = 0;
};

// Whether old line i equals new line j.
using LinesEqual = std::function<bool(size_t i, size_t j)>;

// The kept lines, in ascending order of both indices. `oldHashes` and
// `newHashes` hold one hash a line, of the same function; a pair is kept
// only when `equal` confirms it, so a hash collision costs at most a
// shorter alignment. Common runs at both ends, then lines that occur once
// on each side, split the sequences; the pieces between them get a
// shortest edit script, unless that would take more than a bounded effort,
// in which case nothing of the piece is kept. Linear-ish in the lengths
// for the edits of a conversion step.
std::vector<LineMatch> AlignLines(const std::vector<uint32_t>& oldHashes,
                                  const std::vector<uint32_t>& newHashes, const LinesEqual& equal);

#endif  // CNV_ENGINE_LINE_ALIGN_H_
