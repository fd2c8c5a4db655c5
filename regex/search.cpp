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
#include <cstring>
#include <functional>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <utility>

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
// through instructions with one successor that keep the position.
std::u16string ChainFrom(const std::vector<Instruction>& prog, const Graph& g, int32_t k) {
  std::u16string text;
  int32_t ip = k;
  for (size_t steps = 0; steps <= prog.size() && ip != kNone; ++steps) {
    const Instruction in = prog[static_cast<size_t>(ip)];
    if (in.op == Op::Char && in.operand != 0) {
      text += static_cast<char16_t>(in.operand);
    } else if (!(in.op == Op::Char || KeepsPositionSingly(in.op))) {
      break;
    }
    ip = g.succ[static_cast<size_t>(ip)][0];
  }
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
    h.unitLoops.push_back({m, static_cast<uint32_t>(top + 4), static_cast<uint32_t>(unit),
                           static_cast<uint32_t>(after + 3)});
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
  if (first.size() == 1 && prog[static_cast<size_t>(first[0])].op == Op::Char) {
    h.prefix = MakeLiteral(ChainFrom(prog, g, first[0]));
  }
  return h;
}

int32_t FindLiteral(const RequiredLiteral& literal, const char16_t* text, int32_t len,
                    int32_t from) {
  const int32_t size = static_cast<int32_t>(literal.text.size());
  const int32_t probe = static_cast<int32_t>(literal.probe);
  if (size == 0) return from <= len ? from : -1;
  const char16_t unit = literal.text[static_cast<size_t>(probe)];
  const char16_t* lit = literal.text.data();
  // A match at s has its probe unit at s + probe, and s + size <= len.
  const int32_t last = len - size + probe;
  for (int32_t q = from + probe; q <= last;) {
    const int32_t hit = FindUnit(text, q, last, unit);
    if (hit < 0) return -1;
    const int32_t start = hit - probe;
    if (std::char_traits<char16_t>::compare(text + start, lit, static_cast<size_t>(size)) == 0) {
      return start;
    }
    q = hit + 1;
  }
  return -1;
}

int32_t NextStart(const SearchHints& hints, const char16_t* text, int32_t len, int32_t from) {
  if (!hints.skipStarts) return from;
  if (!hints.prefix.text.empty()) {
    const int32_t at = FindLiteral(hints.prefix, text, len, from);
    return at < 0 ? len : at;
  }
  if (hints.secondKnown) {
    for (int32_t i = from; i + 1 < len; ++i) {
      if (hints.first.Has(text[i]) && hints.second.Has(text[i + 1])) return i;
    }
    return len;
  }
  for (int32_t i = from; i < len; ++i) {
    if (hints.first.Has(text[i])) return i;
  }
  return len;
}

bool HasRequiredLiterals(const SearchHints& hints, std::u16string_view text) {
  const int32_t len = static_cast<int32_t>(text.size());
  for (const RequiredLiteral& literal : hints.required) {
    if (FindLiteral(literal, text.data(), len, 0) < 0) return false;
  }
  return true;
}

SearchProgram::SearchProgram(std::u16string_view pattern) : runnable_(false), accelerate_(true) {
  pattern_.Compile(pattern);
  runnable_ = IsRunnableProgram(pattern_);
  if (runnable_) hints_ = AnalyzeProgram(pattern_);
}

SearchProgram::SearchProgram(CompiledPattern pattern, bool accelerate)
    : pattern_(std::move(pattern)),
      runnable_(IsRunnableProgram(pattern_)),
      accelerate_(accelerate) {
  if (runnable_ && accelerate_) hints_ = AnalyzeProgram(pattern_);
}

bool SearchProgram::Match(std::u16string_view text, MatchState& state) const {
  if (!runnable_ || text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    return false;
  }
  if (!accelerate_) return RunProgram(pattern_, text, state, nullptr);
  if (!HasRequiredLiterals(hints_, text)) return false;
  return RunProgram(pattern_, text, state, &hints_);
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
