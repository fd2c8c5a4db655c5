// Analysis of compiled programs for the search, and the fast scans it uses.
//
// The analysis works on the instruction graph: every instruction leads to
// the next one, `Jump` to its target, a class to the index after its pairs,
// `Call` both to its target and (when what it entered fails) to the next
// instruction; `Return` and `Match` lead nowhere. A successful run follows
// a path of this graph from instruction 2 to `Match` on which every
// instruction succeeded (the excursions it backtracked out of left aside),
// and the compiler's templates restore the position whenever a run goes on
// after such an excursion. Hence:
// - the first consuming instruction on that path reads the start position;
//   those reachable from instruction 2 without consuming tell which code
//   units a match can begin with;
// - a `Char` that lies on every path to `Match` (a dominator) is read by
//   every match, and so is the run of `Char`s that follows it through
//   instructions with a single successor that keep the position.
#include "regex/search.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#define CNV_SEARCH_SSE2 1
#endif

namespace {

// Programs larger than this get no hints: the analysis is quadratic.
constexpr size_t kMaxAnalysedProgram = 4096;
// Literals checked per text; the first absent one rejects the text.
constexpr size_t kMaxRequired = 3;

// How often a code unit occurs in configuration text, roughly (higher:
// more often). Scans look for the rarest unit of a literal.
int Commonness(char16_t unit) {
  if (unit == u' ') return 100;
  if (unit >= u'0' && unit <= u'9') return 60;
  if (unit >= u'A' && unit <= u'Z') return 4;
  if (unit >= 128) return 2;
  switch (unit) {
    case u'e':
      return 45;
    case u'i':
    case u'p':
    case u'r':
    case u't':
      return 40;
    case u'a':
    case u's':
      return 38;
    case u'l':
    case u'n':
    case u'o':
      return 35;
    case u'c':
    case u'd':
      return 30;
    case u'f':
      return 28;
    case u'.':
      return 50;
    case u'*':
      return 40;
    case u'/':
      return 30;
    case u'u':
      return 20;
    case u':':
    case u'-':
      return 20;
    case u'm':
      return 18;
    case u'h':
      return 15;
    case u'b':
    case u'g':
      return 12;
    case u'y':
    case u'w':
    case u'"':
    case u'#':
    case u'=':
    case u',':
      return 10;
    case u'v':
      return 8;
    case u'k':
      return 6;
    case u'x':
    case u'_':
    case u'\t':
      return 5;
    default:
      return 3;
  }
}

RequiredLiteral MakeLiteral(std::u16string text) {
  RequiredLiteral literal;
  literal.probe = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (Commonness(text[i]) < Commonness(text[literal.probe])) literal.probe = i;
  }
  // The second: the rarest of the other units, the one farthest from the
  // probe among equals (neighbours in a word tend to come together).
  literal.second = literal.probe;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == literal.probe) continue;
    const auto distance = [&](size_t k) {
      return k > literal.probe ? k - literal.probe : literal.probe - k;
    };
    if (literal.second == literal.probe || Commonness(text[i]) < Commonness(text[literal.second]) ||
        (Commonness(text[i]) == Commonness(text[literal.second]) &&
         distance(i) > distance(literal.second))) {
      literal.second = i;
    }
  }
  literal.text = std::move(text);
  return literal;
}

bool Consumes(const Instruction& in) {
  switch (in.op) {
    case Op::Char:
      return in.operand != 0;
    case Op::AnyChar:
    case Op::InClass:
    case Op::NotInClass:
    case Op::BackRef:
      return true;
    default:
      return false;
  }
}

// Instructions after which the run goes on at a single place with the
// position unchanged (when they succeed).
bool KeepsPositionSingly(Op op) {
  switch (op) {
    case Op::Nop:
    case Op::GroupStart:
    case Op::GroupEnd:
    case Op::PushGroup:
    case Op::PopGroup:
    case Op::PushSlot:
    case Op::PopSlot:
    case Op::SavePos:
    case Op::SaveStack:
    case Op::PushPos:
    case Op::LoadStack:
    case Op::ReturnIfEmpty:
    case Op::Jump:
      return true;
    default:
      return false;
  }
}

constexpr int32_t kNone = -1;

struct Graph {
  std::vector<std::array<int32_t, 2>> succ;
  bool ok = false;
};

Graph BuildGraph(const std::vector<Instruction>& prog) {
  Graph g;
  const int32_t n = static_cast<int32_t>(prog.size());
  g.succ.assign(prog.size(), {kNone, kNone});
  for (int32_t i = 2; i < n; ++i) {
    const Instruction in = prog[static_cast<size_t>(i)];
    std::array<int32_t, 2>& s = g.succ[static_cast<size_t>(i)];
    switch (in.op) {
      case Op::Call:
        s = {in.operand, i + 1};
        break;
      case Op::Jump:
      case Op::InClass:
      case Op::NotInClass:
        s = {in.operand, kNone};
        break;
      case Op::Return:
      case Op::Match:
        break;
      case Op::Nop:
      case Op::GroupStart:
      case Op::GroupEnd:
      case Op::Char:
      case Op::AnyChar:
      case Op::PushPos:
      case Op::PopPos:
      case Op::PushSlot:
      case Op::PopSlot:
      case Op::SavePos:
      case Op::SaveStack:
      case Op::LoadPos:
      case Op::LoadStack:
      case Op::ReturnIfEmpty:
      case Op::BackRef:
      case Op::PushGroup:
      case Op::PopGroup:
        s = {i + 1, kNone};
        break;
      default:
        return g;  // Fail, Advance or a compile-time code past the start
    }
    for (int32_t t : s) {
      if (t != kNone && (t < 2 || t >= n)) return g;
    }
  }
  g.ok = true;
  return g;
}

// Bit sets over the instructions, for the dominator analysis.
class BitRows {
 public:
  BitRows(size_t rows, size_t bits) : words_((bits + 63) / 64), data_(rows * words_, 0) {}
  uint64_t* Row(size_t r) { return data_.data() + r * words_; }
  size_t words() const { return words_; }

 private:
  size_t words_;
  std::vector<uint64_t> data_;
};

// For every instruction reachable from 2, the set of instructions on every
// path from 2 to it. Rows of unreachable instructions stay empty.
BitRows Dominators(const Graph& g, const std::vector<bool>& reachable) {
  const size_t n = g.succ.size();
  BitRows dom(n, n);
  std::vector<std::vector<int32_t>> preds(n);
  for (size_t i = 2; i < n; ++i) {
    if (!reachable[i]) continue;
    for (int32_t t : g.succ[i]) {
      if (t != kNone) preds[static_cast<size_t>(t)].push_back(static_cast<int32_t>(i));
    }
  }
  for (size_t i = 2; i < n; ++i) {
    if (!reachable[i]) continue;
    uint64_t* row = dom.Row(i);
    if (i == 2) {
      row[2 / 64] |= uint64_t{1} << (2 % 64);
    } else {
      std::fill(row, row + dom.words(), ~uint64_t{0});
    }
  }
  std::vector<uint64_t> next(dom.words());
  for (bool changed = true; changed;) {
    changed = false;
    for (size_t i = 3; i < n; ++i) {
      if (!reachable[i]) continue;
      std::fill(next.begin(), next.end(), ~uint64_t{0});
      for (int32_t p : preds[i]) {
        const uint64_t* prow = dom.Row(static_cast<size_t>(p));
        for (size_t w = 0; w < dom.words(); ++w) next[w] &= prow[w];
      }
      next[i / 64] |= uint64_t{1} << (i % 64);
      uint64_t* row = dom.Row(i);
      if (!std::equal(next.begin(), next.end(), row)) {
        std::copy(next.begin(), next.end(), row);
        changed = true;
      }
    }
  }
  return dom;
}

// The literal read from instruction k on: its `Char` and those that follow
// through instructions with one successor that keep the position. With
// `stop`: the instruction the chain stops at, or kNone when that is not
// known or the chain passes an end-of-text test.
std::u16string ChainFrom(const std::vector<Instruction>& prog, const Graph& g, int32_t k,
                         int32_t* stop = nullptr) {
  std::u16string text;
  int32_t ip = k;
  bool passesEnd = false;
  bool stopped = false;
  for (size_t steps = 0; steps <= prog.size() && ip != kNone; ++steps) {
    const Instruction in = prog[static_cast<size_t>(ip)];
    if (in.op == Op::Char && in.operand != 0) {
      text += static_cast<char16_t>(in.operand);
    } else if (in.op == Op::Char) {
      passesEnd = true;
    } else if (!KeepsPositionSingly(in.op)) {
      stopped = true;
      break;
    }
    ip = g.succ[static_cast<size_t>(ip)][0];
  }
  if (stop != nullptr) *stop = stopped && !passesEnd ? ip : kNone;
  return text;
}

// Adds the units that the consuming instructions `at` may read to `set`;
// false when one of them may read any unit (or several).
bool AddUnitsRead(const std::vector<Instruction>& prog, const std::vector<int32_t>& at,
                  UnitSet& set) {
  for (int32_t i : at) {
    const Instruction in = prog[static_cast<size_t>(i)];
    if (in.op == Op::Char) {
      set.AddRange(in.operand, in.operand);
    } else if (in.op == Op::InClass) {
      for (int32_t k = i + 1; k + 1 < in.operand; k += 2) {
        set.AddRange(prog[static_cast<size_t>(k)].operand,
                     prog[static_cast<size_t>(k + 1)].operand);
      }
    } else {
      return false;
    }
  }
  return true;
}

// The consuming instructions reached from `from` without consuming, and
// whether `Match` or the end-of-text test is reached that way too.
std::vector<int32_t> NextConsumers(const std::vector<Instruction>& prog, const Graph& g,
                                   const std::vector<int32_t>& from, bool& mayEnd) {
  std::vector<bool> seen(prog.size(), false);
  std::vector<int32_t> work;
  for (int32_t i : from) {
    if (i != kNone && !seen[static_cast<size_t>(i)]) {
      seen[static_cast<size_t>(i)] = true;
      work.push_back(i);
    }
  }
  std::vector<int32_t> consumers;
  mayEnd = false;
  for (size_t w = 0; w < work.size(); ++w) {
    const int32_t i = work[w];
    const Instruction in = prog[static_cast<size_t>(i)];
    if (in.op == Op::Match || (in.op == Op::Char && in.operand == 0)) mayEnd = true;
    if (Consumes(in)) {
      consumers.push_back(i);
      continue;
    }
    for (int32_t t : g.succ[static_cast<size_t>(i)]) {
      if (t != kNone && !seen[static_cast<size_t>(t)]) {
        seen[static_cast<size_t>(t)] = true;
        work.push_back(t);
      }
    }
  }
  return consumers;
}

constexpr uint64_t kLaneOnes = 0x0001000100010001ULL;
constexpr uint64_t kLaneHighs = 0x8000800080008000ULL;

// Non-zero when one of the four 16-bit lanes of `word` equals the lanes of
// `broadcast` (Mycroft's test for a zero lane, exact as a yes or no).
inline uint64_t HasEqualLane(uint64_t word, uint64_t broadcast) {
  const uint64_t x = word ^ broadcast;
  return (x - kLaneOnes) & ~x & kLaneHighs;
}

inline uint64_t Load4(const char16_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Position of the first `unit` in text[from, last], or -1; eight code units
// a step while they last.
int32_t FindUnit(const char16_t* text, int32_t from, int32_t last, char16_t unit) {
  const uint64_t broadcast = kLaneOnes * unit;
  int32_t q = from;
  for (; q + 7 <= last; q += 8) {
    if ((HasEqualLane(Load4(text + q), broadcast) | HasEqualLane(Load4(text + q + 4), broadcast)) !=
        0) {
      break;
    }
  }
  for (; q <= last; ++q) {
    if (text[q] == unit) return q;
  }
  return -1;
}

// The units the unit test at `i` accepts, into `set`; false when the set
// cannot say exactly which (a class that takes part of the units of 256 or
// more, a Char beyond the first 256).
bool ExactUnits(const std::vector<Instruction>& prog, size_t i, UnitSet& set) {
  const Instruction in = prog[i];
  set = UnitSet{};
  if (in.op == Op::Char) {
    set.AddRange(in.operand, in.operand);
    return in.operand < 256;
  }
  if (in.op == Op::AnyChar) {
    set.AddRange(0, 0xFFFF);
    return true;
  }
  bool exact = true;
  for (size_t k = i + 1; k + 1 < static_cast<size_t>(in.operand); k += 2) {
    const int32_t first = prog[k].operand;
    const int32_t last = prog[k + 1].operand;
    if (first > last) continue;  // takes nothing
    if (last >= 256 && !(first <= 256 && last >= 0xFFFF)) exact = false;
    set.AddRange(first, last);
  }
  if (in.op == Op::NotInClass) {
    for (uint64_t& word : set.low) word = ~word;
    set.high = !set.high;
  }
  return exact;
}

#ifdef CNV_SEARCH_SSE2
inline __m128i Load8(const char16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// One bit for each of the eight lanes that are all ones: bit 2k for lane k.
inline unsigned LaneBits(__m128i lanes) {
  return static_cast<unsigned>(_mm_movemask_epi8(lanes)) & 0x5555u;
}

// Tests eight code units at a time for membership of a set of ranges.
class RangeTest {
 public:
  explicit RangeTest(const UnitRanges& ranges) : count_(ranges.count), high_(ranges.high) {
    for (int k = 0; k < count_; ++k) {
      first_[k] = _mm_set1_epi16(static_cast<short>(ranges.first[k]));
      span_[k] = _mm_set1_epi16(static_cast<short>(ranges.last[k] - ranges.first[k]));
    }
  }

  // All ones in the lanes whose unit is in the set. A unit lies in a range
  // when its distance above the first unit, taken modulo 2^16, is at most
  // the range's span.
  __m128i operator()(__m128i units) const {
    const __m128i zero = _mm_setzero_si128();
    __m128i in = zero;
    if (high_) {
      const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(units, _mm_set1_epi16(255)), zero);
      in = _mm_andnot_si128(low, _mm_set1_epi16(-1));
    }
    for (int k = 0; k < count_; ++k) {
      const __m128i above = _mm_subs_epu16(_mm_sub_epi16(units, first_[k]), span_[k]);
      in = _mm_or_si128(in, _mm_cmpeq_epi16(above, zero));
    }
    return in;
  }

 private:
  int count_;
  bool high_;
  __m128i first_[UnitRanges::kMax];
  __m128i span_[UnitRanges::kMax];
};

// The first of the positions [from, end), from + 8 <= end, that `bitsAt`
// marks and `accept` takes, or -1. bitsAt(i) marks positions i to i + 7
// (bit 2k for i + k); the last block overlaps the one before it.
template <typename BitsAt, typename Accept>
int32_t ScanBlocks(int32_t from, int32_t end, const BitsAt& bitsAt, const Accept& accept) {
  int32_t i = from;
  for (; i + 8 <= end; i += 8) {
    for (unsigned bits = bitsAt(i); bits != 0; bits &= bits - 1) {
      const int32_t at = i + std::countr_zero(bits) / 2;
      if (accept(at)) return at;
    }
  }
  if (i < end) {
    const int32_t j = end - 8;  // positions before i were looked at already
    for (unsigned bits = bitsAt(j) & (0x5555u << (2 * (i - j))); bits != 0; bits &= bits - 1) {
      const int32_t at = j + std::countr_zero(bits) / 2;
      if (accept(at)) return at;
    }
  }
  return -1;
}
#endif

bool IsUnitTest(const Instruction& in) {
  return (in.op == Op::Char && in.operand != 0) || in.op == Op::AnyChar || in.op == Op::InClass ||
         in.op == Op::NotInClass;
}

// The greedy loops over one code unit test, as the `*` template emits them
// (the loop of a `+` is one too).
void FindUnitLoops(const std::vector<Instruction>& prog, SearchHints& h) {
  const size_t n = prog.size();
  auto at = [&](size_t i, Op op) { return i < n && prog[i].op == op; };
  for (size_t top = 0; top + 11 <= n; ++top) {
    const int32_t m = prog[top].operand;
    if (!at(top, Op::PushSlot) || !at(top + 1, Op::SavePos) || prog[top + 1].operand != m ||
        !at(top + 2, Op::PushPos) || !at(top + 3, Op::Call) || !at(top + 4, Op::PopPos) ||
        !at(top + 5, Op::PopSlot) || prog[top + 5].operand != m || !at(top + 6, Op::Jump)) {
      continue;
    }
    const size_t unit = top + 7;
    if (static_cast<size_t>(prog[top + 3].operand) != unit || !IsUnitTest(prog[unit])) continue;
    const bool isClass = prog[unit].op == Op::InClass || prog[unit].op == Op::NotInClass;
    const size_t after = isClass ? static_cast<size_t>(prog[unit].operand) : unit + 1;
    if (after <= unit || !at(after, Op::ReturnIfEmpty) || prog[after].operand != m ||
        !at(after + 1, Op::SavePos) || prog[after + 1].operand != m || !at(after + 2, Op::Jump) ||
        static_cast<size_t>(prog[after + 2].operand) != top ||
        static_cast<size_t>(prog[top + 6].operand) != after + 3 || after + 3 > n) {
      continue;
    }
    if (h.unitLoopAt.empty()) h.unitLoopAt.assign(n, -1);
    h.unitLoopAt[top] = static_cast<int32_t>(h.unitLoops.size());
    UnitLoop loop;
    loop.slot = m;
    loop.resume = static_cast<uint32_t>(top + 4);
    loop.unit = static_cast<uint32_t>(unit);
    loop.end = static_cast<uint32_t>(after + 3);
    loop.unitsExact = ExactUnits(prog, unit, loop.units);
    h.unitLoops.push_back(loop);
  }
}

// The slot an instruction reads, if any (-1: none).
int32_t SlotRead(const Instruction& in) {
  switch (in.op) {
    case Op::ReturnIfEmpty:
    case Op::LoadPos:
    case Op::LoadStack:
      return in.operand;
    default:
      return kNone;
  }
}

// Whether every path from `end` writes each slot it reads before reading
// it (SavePos or SaveStack after `end`): a must-analysis over the graph. A
// PopSlot may put back an older value, so it unwrites its slot. The edge
// from a Call to the next instruction, taken after the entered code failed,
// keeps what held at the Call: the entered code could only put back values
// it pushed itself, which were written after `end` if the slot was.
bool SlotsWrittenBeforeRead(const std::vector<Instruction>& prog, const Graph& g, size_t end,
                            uint32_t slotCount) {
  const size_t n = prog.size();
  const size_t words = (slotCount + 63) / 64;
  std::vector<uint64_t> in(n * words, ~uint64_t{0});
  std::vector<bool> reached(n, false);
  std::fill(in.begin() + end * words, in.begin() + (end + 1) * words, 0);
  reached[end] = true;
  std::vector<size_t> work{end};
  std::vector<bool> queued(n, false);
  queued[end] = true;
  std::vector<uint64_t> out(words);
  while (!work.empty()) {
    const size_t i = work.back();
    work.pop_back();
    queued[i] = false;
    const Instruction ins = prog[i];
    const uint64_t* row = in.data() + i * words;
    const int32_t read = SlotRead(ins);
    if (read >= 0 && ((row[read / 64] >> (read % 64)) & 1) == 0) return false;
    for (int k = 0; k < 2; ++k) {
      const int32_t t = g.succ[i][static_cast<size_t>(k)];
      if (t == kNone) continue;
      std::copy(row, row + words, out.begin());
      if (ins.op == Op::SavePos || ins.op == Op::SaveStack) {
        out[static_cast<size_t>(ins.operand) / 64] |= uint64_t{1} << (ins.operand % 64);
      } else if (ins.op == Op::PopSlot) {
        out[static_cast<size_t>(ins.operand) / 64] &= ~(uint64_t{1} << (ins.operand % 64));
      }
      uint64_t* target = in.data() + static_cast<size_t>(t) * words;
      bool changed = !reached[static_cast<size_t>(t)];
      reached[static_cast<size_t>(t)] = true;
      for (size_t w = 0; w < words; ++w) {
        const uint64_t next = target[w] & out[w];
        if (next != target[w]) changed = true;
        target[w] = next;
      }
      if (changed && !queued[static_cast<size_t>(t)]) {
        queued[static_cast<size_t>(t)] = true;
        work.push_back(static_cast<size_t>(t));
      }
    }
  }
  return true;
}

// The instruction after the unit test at `i`.
size_t AfterUnitTest(const std::vector<Instruction>& prog, size_t i) {
  const Op op = prog[i].op;
  return op == Op::InClass || op == Op::NotInClass ? static_cast<size_t>(prog[i].operand) : i + 1;
}

bool Intersect(const UnitSet& a, const UnitSet& b) {
  for (int w = 0; w < 4; ++w) {
    if ((a.low[w] & b.low[w]) != 0) return true;
  }
  return a.high && b.high;
}

// Recognises a linear program (see LinearProgram) by the templates the
// compiler emits: Call 2; Advance or Fail; PushGroup 0; GroupStart 0;
// Call 7; PopGroup 0; Return; the steps; GroupEnd 0; the look-ahead; Match.
void FindLinearProgram(const CompiledPattern& pattern, SearchHints& h) {
  const std::vector<Instruction>& prog = pattern.instructions;
  const size_t n = prog.size();
  const auto at = [&](size_t i, Op op, int32_t operand) {
    return i < n && prog[i].op == op && prog[i].operand == operand;
  };
  if (pattern.groupCount != 1 || n < 9 || !at(0, Op::Call, 2) ||
      !(at(1, Op::Advance, 0) || prog[1].op == Op::Fail) || !at(2, Op::PushGroup, 0) ||
      !at(3, Op::GroupStart, 0) || !at(4, Op::Call, 7) || !at(5, Op::PopGroup, 0) ||
      prog[6].op != Op::Return) {
    return;
  }
  LinearProgram linear;
  linear.anchored = prog[1].op == Op::Fail;
  size_t i = 7;
  while (i < n && prog[i].op != Op::GroupEnd) {
    LinearStep step;
    const int32_t loop = h.unitLoopAt.empty() ? -1 : h.unitLoopAt[i];
    if (IsUnitTest(prog[i])) {
      if (!ExactUnits(prog, i, step.units)) return;
      i = AfterUnitTest(prog, i);
    } else if (loop >= 0) {
      const UnitLoop& unitLoop = h.unitLoops[static_cast<size_t>(loop)];
      if (!unitLoop.unitsExact) return;
      step.units = unitLoop.units;
      step.repeated = true;
      i = unitLoop.end;
    } else {
      // `?`: PushSlot m; SavePos m; PushPos; Call unit; PopPos; PopSlot m;
      // Jump end; unit; ReturnIfEmpty m; SavePos m; end.
      const int32_t m = prog[i].operand;
      const size_t unit = i + 7;
      if (!at(i, Op::PushSlot, m) || !at(i + 1, Op::SavePos, m) || !at(i + 2, Op::PushPos, 0) ||
          !at(i + 3, Op::Call, static_cast<int32_t>(unit)) || !at(i + 4, Op::PopPos, 0) ||
          !at(i + 5, Op::PopSlot, m) || unit >= n || !IsUnitTest(prog[unit])) {
        return;
      }
      const size_t after = AfterUnitTest(prog, unit);
      if (after <= unit || !at(after, Op::ReturnIfEmpty, m) || !at(after + 1, Op::SavePos, m) ||
          !at(i + 6, Op::Jump, static_cast<int32_t>(after + 2)) ||
          !ExactUnits(prog, unit, step.units)) {
        return;
      }
      step.optional = true;
      i = after + 2;
    }
    linear.steps.push_back(step);
  }
  if (!at(i, Op::GroupEnd, 0)) return;
  ++i;
  // `!A` of a unit test: SavePos p; SaveStack s; Call A; LoadPos p;
  // LoadStack s; Jump end; A; LoadPos p; LoadStack s; Return; end.
  if (i < n && prog[i].op == Op::SavePos) {
    const int32_t p = prog[i].operand;
    const int32_t s = i + 1 < n ? prog[i + 1].operand : -1;
    const size_t unit = i + 6;
    if (!at(i + 1, Op::SaveStack, s) || !at(i + 2, Op::Call, static_cast<int32_t>(unit)) ||
        !at(i + 3, Op::LoadPos, p) || !at(i + 4, Op::LoadStack, s) || unit >= n ||
        !IsUnitTest(prog[unit])) {
      return;
    }
    const size_t after = AfterUnitTest(prog, unit);
    if (after <= unit || !at(after, Op::LoadPos, p) || !at(after + 1, Op::LoadStack, s) ||
        !at(after + 2, Op::Return, 0) || !at(i + 5, Op::Jump, static_cast<int32_t>(after + 3)) ||
        !ExactUnits(prog, unit, linear.notFollowedBy)) {
      return;
    }
    linear.notFollowed = true;
    i = after + 3;
  }
  if (i + 1 != n || prog[i].op != Op::Match) return;
  // No step may take a unit that the steps after it read next, up to the
  // first that must take one; after the last of those, only when nothing
  // but the end of the group follows.
  bool taking = false;
  for (size_t k = 0; k < linear.steps.size(); ++k) {
    const LinearStep& step = linear.steps[k];
    if (!step.optional && !step.repeated) {
      taking = true;
      continue;
    }
    bool fixedAfter = false;
    for (size_t j = k + 1; j < linear.steps.size() && !fixedAfter; ++j) {
      if (Intersect(step.units, linear.steps[j].units)) return;
      fixedAfter = !linear.steps[j].optional && !linear.steps[j].repeated;
    }
    if (!fixedAfter && linear.notFollowed) return;
  }
  if (!taking) return;  // a match could be empty
  linear.usable = true;
  h.linear = std::move(linear);
}

// Marks the unit loops after which the position alone decides the rest.
void FindPositionDecidedLoops(const CompiledPattern& pattern, const Graph& g, SearchHints& h) {
  const std::vector<Instruction>& prog = pattern.instructions;
  if (h.unitLoops.empty() || !g.ok) return;
  const bool hasBackRef = std::any_of(prog.begin(), prog.end(),
                                      [](const Instruction& in) { return in.op == Op::BackRef; });
  if (hasBackRef) return;
  // Bounded like the rest of the analysis: loops times program size.
  if (h.unitLoops.size() * prog.size() > kMaxAnalysedProgram * 64) return;
  // The analysis indexes slots by operand: only a program whose operands
  // are in range (one MatchPattern would run) is looked at.
  if (!IsRunnableProgram(pattern)) return;
  for (UnitLoop& loop : h.unitLoops) {
    loop.positionDecides =
        loop.end < prog.size() && SlotsWrittenBeforeRead(prog, g, loop.end, pattern.slotCount);
  }
}

}  // namespace

void UnitSet::AddRange(int32_t first, int32_t last) {
  if (last >= 256) high = true;
  for (int32_t c = std::max(first, 0); c <= std::min(last, 255); ++c) {
    low[c >> 6] |= uint64_t{1} << (c & 63);
  }
}

SearchHints AnalyzeProgram(const CompiledPattern& pattern) {
  SearchHints h;
  const std::vector<Instruction>& prog = pattern.instructions;
  const size_t n = prog.size();
  if (pattern.lastError != kParseOk || n < 3 || n > kMaxAnalysedProgram) return h;
  FindUnitLoops(prog, h);
  const Graph g = BuildGraph(prog);
  FindPositionDecidedLoops(pattern, g, h);
  FindLinearProgram(pattern, h);
  if (prog[0].op != Op::Call || prog[0].operand != 2) return h;
  const bool anchored = prog[1].op == Op::Fail;
  if (!anchored && prog[1].op != Op::Advance) return h;
  if (!g.ok) return h;

  // Reachability, and the consuming instructions met first.
  std::vector<bool> reachable(n, false);
  std::vector<int32_t> work{2};
  reachable[2] = true;
  for (size_t w = 0; w < work.size(); ++w) {
    for (int32_t t : g.succ[static_cast<size_t>(work[w])]) {
      if (t != kNone && !reachable[static_cast<size_t>(t)]) {
        reachable[static_cast<size_t>(t)] = true;
        work.push_back(t);
      }
    }
  }
  int32_t match = kNone;
  for (size_t i = 2; i < n; ++i) {
    if (prog[i].op == Op::Match && reachable[i]) {
      if (match != kNone) return h;  // compiled programs have one
      match = static_cast<int32_t>(i);
    }
  }
  if (match == kNone) return h;

  std::vector<bool> seen(n, false);
  std::vector<int32_t> first;
  bool nullable = false;
  work.assign(1, 2);
  seen[2] = true;
  for (size_t w = 0; w < work.size(); ++w) {
    const int32_t i = work[w];
    const Instruction in = prog[static_cast<size_t>(i)];
    if (in.op == Op::Match) nullable = true;
    if (Consumes(in)) {
      first.push_back(i);
      continue;
    }
    for (int32_t t : g.succ[static_cast<size_t>(i)]) {
      if (t != kNone && !seen[static_cast<size_t>(t)]) {
        seen[static_cast<size_t>(t)] = true;
        work.push_back(t);
      }
    }
  }
  if (nullable) return h;  // a match may consume nothing: no literal, any start

  // Required literals: the runs that begin at a dominating Char.
  const BitRows dom = Dominators(g, reachable);
  BitRows& domRows = const_cast<BitRows&>(dom);
  const uint64_t* matchDom = domRows.Row(static_cast<size_t>(match));
  std::vector<std::u16string> chains;
  for (size_t k = 2; k < n; ++k) {
    if (((matchDom[k / 64] >> (k % 64)) & 1) == 0) continue;
    if (prog[k].op != Op::Char || prog[k].operand == 0) continue;
    std::u16string chain = ChainFrom(prog, g, static_cast<int32_t>(k));
    if (std::find(chains.begin(), chains.end(), chain) == chains.end()) {
      chains.push_back(std::move(chain));
    }
  }
  std::vector<RequiredLiteral> literals;
  for (std::u16string& chain : chains) literals.push_back(MakeLiteral(std::move(chain)));
  std::stable_sort(literals.begin(), literals.end(),
                   [](const RequiredLiteral& a, const RequiredLiteral& b) {
                     const int ca = Commonness(a.text[a.probe]);
                     const int cb = Commonness(b.text[b.probe]);
                     if (ca != cb) return ca < cb;
                     return a.text.size() > b.text.size();
                   });
  for (RequiredLiteral& literal : literals) {
    if (h.required.size() == kMaxRequired) break;
    const bool covered =
        std::any_of(h.required.begin(), h.required.end(), [&](const RequiredLiteral& r) {
          return r.text.find(literal.text) != std::u16string::npos;
        });
    if (!covered) h.required.push_back(std::move(literal));
  }

  if (anchored) return h;  // only the first position is tried anyway

  // Start positions: the code units the first consuming instructions read.
  if (!AddUnitsRead(prog, first, h.first)) return h;  // any unit may begin a match
  h.skipStarts = true;
  // The unit after the first: what the instructions that follow a first
  // one read next, unless a match may end after one unit.
  std::vector<int32_t> afterFirst;
  for (int32_t i : first) afterFirst.push_back(g.succ[static_cast<size_t>(i)][0]);
  bool mayEnd = false;
  const std::vector<int32_t> second = NextConsumers(prog, g, afterFirst, mayEnd);
  h.secondKnown = !mayEnd && AddUnitsRead(prog, second, h.second);
  if (!h.secondKnown) h.second = UnitSet{};
  h.firstRanges = UnitRanges::Of(h.first);
  h.secondRanges = UnitRanges::Of(h.second);
  if (first.size() == 1 && prog[static_cast<size_t>(first[0])].op == Op::Char) {
    int32_t stop = kNone;
    h.prefix = MakeLiteral(ChainFrom(prog, g, first[0], &stop));
    // The unit after the prefix: what the instructions from where its chain
    // stops read next, unless a match may end there.
    if (stop != kNone) {
      bool mayEndThere = false;
      const std::vector<int32_t> next = NextConsumers(prog, g, {stop}, mayEndThere);
      h.prefix.followed = !mayEndThere && AddUnitsRead(prog, next, h.prefix.follow);
      if (!h.prefix.followed) h.prefix.follow = UnitSet{};
    }
    for (size_t k = 0; k < h.required.size(); ++k) {
      if (h.required[k].text != h.prefix.text) continue;
      h.required[k] = h.prefix;
      h.prefixRequired = static_cast<int32_t>(k);
    }
  }
  return h;
}

RequiredLiteral MakeRequiredLiteral(std::u16string text) {
  return MakeLiteral(std::move(text));
}

UnitRanges UnitRanges::Of(const UnitSet& set) {
  UnitRanges ranges;
  ranges.high = set.high;
  for (int32_t c = 0; c < 256; ++c) {
    if (!set.Has(static_cast<char16_t>(c))) continue;
    int32_t last = c;
    while (last + 1 < 256 && set.Has(static_cast<char16_t>(last + 1))) ++last;
    if (ranges.count == kMax) return UnitRanges{};
    ranges.first[ranges.count] = static_cast<char16_t>(c);
    ranges.last[ranges.count] = static_cast<char16_t>(last);
    ++ranges.count;
    c = last;
  }
  ranges.usable = true;
  return ranges;
}

namespace {

// FindLiteral four code units at a time: for short texts, and where there
// is no SSE2. (Kept apart from the eight-unit scan, and so is the check of
// a candidate, so that the scan's loop keeps its values in registers.)
[[gnu::noinline]] int32_t FindLiteralByWords(const RequiredLiteral& literal, const char16_t* text,
                                             int32_t len, int32_t from) {
  const int32_t size = static_cast<int32_t>(literal.text.size());
  const int32_t probe = static_cast<int32_t>(literal.probe);
  const char16_t unit = literal.text[static_cast<size_t>(probe)];
  // A match at s has its probe unit at s + probe, and s + size <= len (one
  // more for the unit after it).
  const int32_t last = len - size - (literal.followed ? 1 : 0) + probe;
  for (int32_t q = from + probe; q <= last;) {
    const int32_t hit = FindUnit(text, q, last, unit);
    if (hit < 0) return -1;
    const int32_t start = hit - probe;
    if (std::memcmp(text + start, literal.text.data(),
                    static_cast<size_t>(size) * sizeof(char16_t)) == 0 &&
        (!literal.followed || literal.follow.Has(text[start + size]))) {
      return start;
    }
    q = hit + 1;
  }
  return -1;
}

// The first of the starts s + k for the bits k of `bits` at which the
// literal stands, or -1. Compared unit by unit in place: a scan that calls
// nothing keeps its values in registers.
inline int32_t TakeCandidate(const RequiredLiteral& literal, size_t second, const char16_t* text,
                             int32_t s, unsigned bits) {
  const char16_t* lit = literal.text.data();
  const size_t size = literal.text.size();
  for (; bits != 0; bits &= bits - 1) {
    const int32_t start = s + std::countr_zero(bits);
    const char16_t* at = text + start;
    if (at[second] != lit[second]) continue;
    size_t k = 0;
    while (k < size && at[k] == lit[k]) ++k;
    if (k == size && (!literal.followed || literal.follow.Has(at[size]))) return start;
  }
  return -1;
}

}  // namespace

int32_t FindLiteral(const RequiredLiteral& literal, const char16_t* text, int32_t len,
                    int32_t from) {
  const int32_t size = static_cast<int32_t>(literal.text.size());
  if (size == 0) return from <= len ? from : -1;
#ifdef CNV_SEARCH_SSE2
  // Starts [from, end), sixteen at a time while there are as many, then
  // eight: their probe units are compared at once, and where a probe unit
  // agrees, the second unit and the whole literal. The last block of eight
  // overlaps the one before it. A followed literal needs a unit after it.
  const int32_t end = len - size - (literal.followed ? 1 : 0) + 1;
  if (end - from >= 8) {
    const char16_t* lit = literal.text.data();
    const size_t second = literal.second < literal.text.size() ? literal.second : literal.probe;
    const char16_t* probeText = text + literal.probe;
    const __m128i probeUnits = _mm_set1_epi16(static_cast<short>(lit[literal.probe]));
    int32_t s = from;
    for (; s + 16 <= end; s += 16) {
      const __m128i low = _mm_cmpeq_epi16(Load8(probeText + s), probeUnits);
      const __m128i high = _mm_cmpeq_epi16(Load8(probeText + s + 8), probeUnits);
      const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
      if (bits != 0) {
        const int32_t at = TakeCandidate(literal, second, text, s, bits);
        if (at >= 0) return at;
      }
    }
    unsigned keep = 0xFF;  // the starts of the block not looked at yet
    while (s < end) {
      if (s + 8 > end) {
        keep = (0xFFu << (s - (end - 8))) & 0xFFu;
        s = end - 8;
      }
      const __m128i hits = _mm_cmpeq_epi16(Load8(probeText + s), probeUnits);
      const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(hits, hits)));
      if ((bits & keep) != 0) {
        const int32_t at = TakeCandidate(literal, second, text, s, bits & keep);
        if (at >= 0) return at;
      }
      s += 8;
    }
    return -1;
  }
#endif
  return FindLiteralByWords(literal, text, len, from);
}

int32_t NextStart(const SearchHints& hints, const char16_t* text, int32_t len, int32_t from) {
  if (!hints.skipStarts) return from;
  if (!hints.prefix.text.empty()) {
    const int32_t at = FindLiteral(hints.prefix, text, len, from);
    return at < 0 ? len : at;
  }
  // Where starts come thick (a run of blanks, say), the first is taken
  // before a scan is set up.
  if (from < len && hints.first.Has(text[from]) &&
      (!hints.secondKnown || (from + 1 < len && hints.second.Has(text[from + 1])))) {
    return from;
  }
  if (hints.secondKnown) {
#ifdef CNV_SEARCH_SSE2
    // Starts [from, len - 1): eight first units at a time, then the unit
    // after each one that may begin a match.
    if (hints.firstRanges.usable && len - 1 - from >= 8) {
      const RangeTest first(hints.firstRanges);
      const int32_t at = ScanBlocks(
          from, len - 1, [&](int32_t i) { return LaneBits(first(Load8(text + i))); },
          [&](int32_t i) { return hints.second.Has(text[i + 1]); });
      return at < 0 ? len : at;
    }
#endif
    for (int32_t i = from; i + 1 < len; ++i) {
      if (hints.first.Has(text[i]) && hints.second.Has(text[i + 1])) return i;
    }
    return len;
  }
#ifdef CNV_SEARCH_SSE2
  if (hints.firstRanges.usable && len - from >= 8) {
    const RangeTest first(hints.firstRanges);
    const int32_t at = ScanBlocks(
        from, len, [&](int32_t i) { return LaneBits(first(Load8(text + i))); },
        [](int32_t) { return true; });
    return at < 0 ? len : at;
  }
#endif
  for (int32_t i = from; i < len; ++i) {
    if (hints.first.Has(text[i])) return i;
  }
  return len;
}

SearchProgram::SearchProgram(std::u16string_view pattern) : runnable_(false), accelerate_(true) {
  pattern_.Compile(pattern);
  runnable_ = IsRunnableProgram(pattern_);
  if (runnable_) hints_ = AnalyzeProgram(pattern_);
  screened_ = runnable_ && !hints_.required.empty();
}

SearchProgram::SearchProgram(CompiledPattern pattern, bool accelerate)
    : pattern_(std::move(pattern)),
      runnable_(IsRunnableProgram(pattern_)),
      accelerate_(accelerate) {
  if (runnable_ && accelerate_) hints_ = AnalyzeProgram(pattern_);
  screened_ = runnable_ && accelerate_ && !hints_.required.empty();
}

namespace {

// Runs a linear program from `start` on, trying the starts NextStart gives:
// the steps in turn, each taking what it can. A loop's run, and whether the
// rest failed from the end of that run, is remembered, so that a later
// start that enters the same run is done at once: the work stays linear
// in the text.
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

}  // namespace

bool SearchProgram::MatchAll(std::u16string_view text, MatchState& state) const {
  if (!runnable_ || text.size() > kMaxScreened) return false;
  if (!accelerate_) return RunProgram(pattern_, text, state, nullptr);
  // The required literals first, before anything else is looked at. Where
  // the check finds the prefix is where the search for the first start goes
  // on.
  const int32_t len = static_cast<int32_t>(text.size());
  int32_t from = 0;
  for (size_t k = 0; k < hints_.required.size(); ++k) {
    const int32_t at = FindLiteral(hints_.required[k], text.data(), len, 0);
    if (at < 0) return false;
    if (static_cast<int32_t>(k) == hints_.prefixRequired) from = at;
  }
  const int32_t first = hints_.skipStarts ? NextStart(hints_, text.data(), len, from) : 0;
  if (hints_.skipStarts && first >= len) return false;
  if (hints_.linear.usable) return RunLinear(hints_, text.data(), len, first, state);
  return RunProgramFrom(pattern_, text, state, hints_, first);
}

PatternSearcher::PatternSearcher(const CompiledPattern& pattern, bool accelerate)
    : program_(std::make_shared<const SearchProgram>(pattern, accelerate)) {}

PatternSearcher::PatternSearcher(std::shared_ptr<const SearchProgram> program)
    : program_(std::move(program)) {}

namespace {

// Hashes pattern texts and views alike, so that a lookup copies nothing.
struct TextHash {
  using is_transparent = void;
  size_t operator()(std::u16string_view text) const {
    return std::hash<std::u16string_view>{}(text);
  }
};

// The programs SharedSearchProgram keeps, by pattern text.
struct ProgramCache {
  std::mutex mutex;
  std::unordered_map<std::u16string, std::shared_ptr<const SearchProgram>, TextHash,
                     std::equal_to<>>
      programs;
};

ProgramCache& SharedPrograms() {
  // Never destroyed: searches on other threads may still run at exit.
  static ProgramCache* cache = new ProgramCache;
  return *cache;
}

}  // namespace

std::shared_ptr<const SearchProgram> SharedSearchProgram(std::u16string_view pattern) {
  ProgramCache& cache = SharedPrograms();
  {
    const std::lock_guard<std::mutex> lock(cache.mutex);
    const auto found = cache.programs.find(pattern);
    if (found != cache.programs.end()) return found->second;
  }
  // Built without the lock, so that other searches go on meanwhile; when
  // another thread built the same one first, that one is kept.
  auto program = std::make_shared<const SearchProgram>(pattern);
  const std::lock_guard<std::mutex> lock(cache.mutex);
  const auto found = cache.programs.find(pattern);
  if (found != cache.programs.end()) return found->second;
  if (cache.programs.size() >= kMaxSharedPrograms) cache.programs.clear();
  return cache.programs.emplace(std::u16string(pattern), std::move(program)).first->second;
}

size_t SharedSearchProgramCount() {
  ProgramCache& cache = SharedPrograms();
  const std::lock_guard<std::mutex> lock(cache.mutex);
  return cache.programs.size();
}
