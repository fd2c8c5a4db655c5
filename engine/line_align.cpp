#include "engine/line_align.h"

#include <algorithm>
#include <cstddef>

namespace {

// The most edits one shortest-edit-script search looks through before it
// gives up on a piece; its work and memory grow with the square of this.
constexpr size_t kMaxEditDistance = 400;
// How often a piece is split again at the lines unique within it.
constexpr int kMaxSplitDepth = 4;

constexpr uint32_t kNone = UINT32_MAX;

class Aligner {
 public:
  Aligner(const std::vector<uint32_t>& oldHashes, const std::vector<uint32_t>& newHashes,
          const LinesEqual& equal, std::vector<LineMatch>& out)
      : a_(oldHashes), b_(newHashes), equal_(equal), out_(out) {}

  // Appends the kept lines of old [a0, a1) and new [b0, b1) in order.
  void Align(size_t a0, size_t a1, size_t b0, size_t b1, int depth) {
    while (a0 < a1 && b0 < b1 && Same(a0, b0)) out_.push_back({a0++, b0++});
    size_t tail = 0;
    while (a1 > a0 && b1 > b0 && Same(a1 - 1, b1 - 1)) {
      --a1;
      --b1;
      ++tail;
    }
    if (a0 < a1 && b0 < b1) {
      std::vector<LineMatch> anchors;
      const bool common = UniqueAnchors(a0, a1, b0, b1, anchors);
      if (!anchors.empty() && depth < kMaxSplitDepth) {
        for (const LineMatch& anchor : anchors) {
          Align(a0, anchor.oldIndex, b0, anchor.newIndex, depth + 1);
          out_.push_back(anchor);
          a0 = anchor.oldIndex + 1;
          b0 = anchor.newIndex + 1;
        }
        Align(a0, a1, b0, b1, depth + 1);
      } else if (common) {
        ShortestScript(a0, a1, b0, b1);
      }
    }
    for (size_t k = 0; k < tail; ++k) out_.push_back({a1 + k, b1 + k});
  }

 private:
  bool Same(size_t i, size_t j) const { return a_[i] == b_[j] && equal_(i, j); }

  // The longest ascending chain of the lines that occur exactly once in
  // each range and are equal there. False when the ranges share no hash at
  // all, so that nothing in them can be kept.
  bool UniqueAnchors(size_t a0, size_t a1, size_t b0, size_t b1, std::vector<LineMatch>& anchors) {
    struct Slot {
      uint32_t oldPos = kNone;  // first old line of the hash, from a0
      uint32_t newPos = kNone;  // first new line of the hash, from b0
      bool oldMany = false;
      bool newMany = false;
    };
    size_t size = 16;
    while (size < 2 * (a1 - a0)) size <<= 1;
    const size_t mask = size - 1;
    std::vector<Slot> table(size);
    const auto slotOf = [&](uint32_t hash) -> Slot& {
      size_t at = hash & mask;
      while (table[at].oldPos != kNone && a_[a0 + table[at].oldPos] != hash) at = (at + 1) & mask;
      return table[at];
    };
    for (size_t i = a0; i < a1; ++i) {
      Slot& slot = slotOf(a_[i]);
      if (slot.oldPos == kNone) {
        slot.oldPos = static_cast<uint32_t>(i - a0);
      } else {
        slot.oldMany = true;
      }
    }
    bool common = false;
    for (size_t j = b0; j < b1; ++j) {
      Slot& slot = slotOf(b_[j]);
      if (slot.oldPos == kNone) continue;
      common = true;
      if (slot.newPos == kNone) {
        slot.newPos = static_cast<uint32_t>(j - b0);
      } else {
        slot.newMany = true;
      }
    }
    std::vector<LineMatch> candidates;
    for (size_t i = a0; i < a1; ++i) {
      const Slot& slot = slotOf(a_[i]);
      if (slot.oldMany || slot.newMany || slot.newPos == kNone || slot.oldPos != i - a0) continue;
      if (Same(i, b0 + slot.newPos)) candidates.push_back({i, b0 + slot.newPos});
    }
    // Longest chain ascending in the new index (the old index ascends
    // already): patience sorting with links to the predecessors.
    std::vector<size_t> tails;  // candidate ending the best chain of each length
    std::vector<size_t> previous(candidates.size(), SIZE_MAX);
    for (size_t c = 0; c < candidates.size(); ++c) {
      const auto at = std::lower_bound(tails.begin(), tails.end(), c, [&](size_t t, size_t v) {
        return candidates[t].newIndex < candidates[v].newIndex;
      });
      if (at != tails.begin()) previous[c] = *(at - 1);
      if (at == tails.end()) {
        tails.push_back(c);
      } else {
        *at = c;
      }
    }
    anchors.clear();
    for (size_t c = tails.empty() ? SIZE_MAX : tails.back(); c != SIZE_MAX; c = previous[c]) {
      anchors.push_back(candidates[c]);
    }
    std::reverse(anchors.begin(), anchors.end());
    return common;
  }

  // A shortest edit script by the greedy search for the furthest-reaching
  // paths, kept for backtracking; keeps nothing when it needs more than
  // kMaxEditDistance edits.
  void ShortestScript(size_t a0, size_t a1, size_t b0, size_t b1) {
    const ptrdiff_t n = static_cast<ptrdiff_t>(a1 - a0);
    const ptrdiff_t m = static_cast<ptrdiff_t>(b1 - b0);
    const ptrdiff_t maxD = std::min<ptrdiff_t>(n + m, static_cast<ptrdiff_t>(kMaxEditDistance));
    // Round d keeps the furthest x of diagonals -d..d at trace[d * d + d + k].
    std::vector<ptrdiff_t> trace;
    std::vector<ptrdiff_t> v(static_cast<size_t>(2 * maxD + 3), 0);
    const ptrdiff_t offset = maxD + 1;
    const auto at = [&](ptrdiff_t k) -> ptrdiff_t& { return v[static_cast<size_t>(k + offset)]; };
    ptrdiff_t found = -1;
    for (ptrdiff_t d = 0; d <= maxD && found < 0; ++d) {
      for (ptrdiff_t k = -d; k <= d; k += 2) {
        ptrdiff_t x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
        ptrdiff_t y = x - k;
        while (x < n && y < m && Same(a0 + static_cast<size_t>(x), b0 + static_cast<size_t>(y))) {
          ++x;
          ++y;
        }
        at(k) = x;
        if (x >= n && y >= m) found = d;
      }
      for (ptrdiff_t k = -d; k <= d; ++k) trace.push_back(at(k));
    }
    if (found < 0) return;
    const auto traced = [&](ptrdiff_t d, ptrdiff_t k) {
      return trace[static_cast<size_t>(d * d + d + k)];
    };
    std::vector<LineMatch> kept;
    ptrdiff_t x = n;
    ptrdiff_t y = m;
    for (ptrdiff_t d = found; d > 0; --d) {
      const ptrdiff_t k = x - y;
      const bool down = k == -d || (k != d && traced(d - 1, k - 1) < traced(d - 1, k + 1));
      const ptrdiff_t prevK = down ? k + 1 : k - 1;
      const ptrdiff_t prevX = traced(d - 1, prevK);
      const ptrdiff_t startX = down ? prevX : prevX + 1;  // where the snake after the edit begins
      while (x > startX) {
        --x;
        --y;
        kept.push_back({a0 + static_cast<size_t>(x), b0 + static_cast<size_t>(y)});
      }
      x = prevX;
      y = prevX - prevK;
    }
    while (x > 0 && y > 0) {
      --x;
      --y;
      kept.push_back({a0 + static_cast<size_t>(x), b0 + static_cast<size_t>(y)});
    }
    out_.insert(out_.end(), kept.rbegin(), kept.rend());
  }

  const std::vector<uint32_t>& a_;
  const std::vector<uint32_t>& b_;
  const LinesEqual& equal_;
  std::vector<LineMatch>& out_;
};

}  // namespace

std::vector<LineMatch> AlignLines(const std::vector<uint32_t>& oldHashes,
                                  const std::vector<uint32_t>& newHashes, const LinesEqual& equal) {
  std::vector<LineMatch> kept;
  Aligner(oldHashes, newHashes, equal, kept).Align(0, oldHashes.size(), 0, newHashes.size(), 0);
  return kept;
}
