// The instruction graph of a compiled program and the flow analyses over it
// that the search's analysis (regex/analysis.cpp) is built from. Private to
// the matcher.
//
// Every instruction leads to the next one, `Jump` to its target, a class to
// the index after its pairs, `Call` both to its target and (when what it
// entered fails) to the next instruction; `Return` and `Match` lead nowhere.
#ifndef CNV_REGEX_PROGRAM_GRAPH_H_
#define CNV_REGEX_PROGRAM_GRAPH_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "regex/regex.h"

namespace regex_internal {

constexpr int32_t kNone = -1;

// The successors of each instruction from 2 on (kNone where there is none).
// Not `ok` for a program with an instruction the graph cannot follow (Fail,
// Advance or a compile-time code past the start, a target out of range).
struct Graph {
  std::vector<std::array<int32_t, 2>> succ;
  bool ok = false;
};

Graph BuildGraph(const std::vector<Instruction>& prog);

// Whether the instruction reads a code unit and moves past it.
bool Consumes(const Instruction& in);

// Instructions after which the run goes on at a single place with the
// position unchanged (when they succeed).
bool KeepsPositionSingly(Op op);

// Visits the instructions reached from `from` (kNone entries left out)
// breadth first, each once; the walk goes on past an instruction only when
// visit(index) returns true. Returns which instructions were visited.
template <typename Visit>
std::vector<bool> Walk(const Graph& g, const std::vector<int32_t>& from, Visit&& visit) {
  std::vector<bool> seen(g.succ.size(), false);
  std::vector<int32_t> work;
  const auto reach = [&](int32_t i) {
    if (i != kNone && !seen[static_cast<size_t>(i)]) {
      seen[static_cast<size_t>(i)] = true;
      work.push_back(i);
    }
  };
  for (int32_t i : from) reach(i);
  for (size_t w = 0; w < work.size(); ++w) {
    const int32_t i = work[w];
    if (!visit(i)) continue;
    for (int32_t t : g.succ[static_cast<size_t>(i)]) reach(t);
  }
  return seen;
}

// The consuming instructions reached from `from` without consuming, in the
// order of the walk, and what else is reached that way.
struct Consumers {
  std::vector<int32_t> at;
  bool reachesMatch = false;
  bool reachesEndTest = false;  // a `Char 0`, which consumes nothing
};

Consumers ConsumersFrom(const std::vector<Instruction>& prog, const Graph& g,
                        const std::vector<int32_t>& from);

// Bit sets over the instructions, for the dominator analysis.
class BitRows {
 public:
  BitRows(size_t rows, size_t bits) : words_((bits + 63) / 64), data_(rows * words_, 0) {}
  uint64_t* Row(size_t r) { return data_.data() + r * words_; }
  const uint64_t* Row(size_t r) const { return data_.data() + r * words_; }
  bool Has(size_t r, size_t bit) const { return ((Row(r)[bit / 64] >> (bit % 64)) & 1) != 0; }
  size_t words() const { return words_; }

 private:
  size_t words_;
  std::vector<uint64_t> data_;
};

// For every instruction reachable from 2, the set of instructions on every
// path from 2 to it. Rows of unreachable instructions stay empty.
BitRows Dominators(const Graph& g, const std::vector<bool>& reachable);

// Whether every path from `end` writes each slot it reads before reading
// it (SavePos or SaveStack after `end`).
bool SlotsWrittenBeforeRead(const std::vector<Instruction>& prog, const Graph& g, size_t end,
                            uint32_t slotCount);

}  // namespace regex_internal

#endif  // CNV_REGEX_PROGRAM_GRAPH_H_
