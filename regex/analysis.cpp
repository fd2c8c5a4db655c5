// The analysis of compiled programs for the search: what a match must begin
// with and contain, the greedy loops over one unit test, and whether the
// program is linear (see SearchHints).
//
// It works on the instruction graph (regex/program_graph.h). A successful
// run follows a path of this graph from instruction 2 to `Match` on which
// every instruction succeeded (the excursions it backtracked out of left
// aside), and the compiler's templates restore the position whenever a run
// goes on after such an excursion. Hence:
// - the first consuming instruction on that path reads the start position;
//   those reachable from instruction 2 without consuming tell which code
//   units a match can begin with;
// - a `Char` that lies on every path to `Match` (a dominator) is read by
//   every match, and so is the run of `Char`s that follows it through
//   instructions with a single successor that keep the position.
#include <algorithm>
#include <string>
#include <utility>

#include "regex/program_graph.h"
#include "regex/scan.h"
#include "regex/search.h"

using regex_internal::BitRows;
using regex_internal::Commonness;
using regex_internal::Consumers;
using regex_internal::ConsumersFrom;
using regex_internal::Graph;
using regex_internal::kNone;

namespace {

// Programs larger than this get no hints: the analysis is quadratic.
constexpr size_t kMaxAnalysedProgram = 4096;
// Literals checked per text; the first absent one rejects the text.
constexpr size_t kMaxRequired = 3;

bool At(const std::vector<Instruction>& prog, size_t i, Op op, int32_t operand) {
  return i < prog.size() && prog[i].op == op && prog[i].operand == operand;
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
    } else if (!regex_internal::KeepsPositionSingly(in.op)) {
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

// The frame of a linear program: Call 2; Advance or Fail; PushGroup 0;
// GroupStart 0; Call 7; PopGroup 0; Return; then the steps from 7 on.
bool HasLinearFrame(const CompiledPattern& pattern) {
  const std::vector<Instruction>& prog = pattern.instructions;
  return pattern.groupCount == 1 && prog.size() >= 9 && At(prog, 0, Op::Call, 2) &&
         (At(prog, 1, Op::Advance, 0) || prog[1].op == Op::Fail) && At(prog, 2, Op::PushGroup, 0) &&
         At(prog, 3, Op::GroupStart, 0) && At(prog, 4, Op::Call, 7) &&
         At(prog, 5, Op::PopGroup, 0) && prog[6].op == Op::Return;
}

// `?` of a unit test at `i`: PushSlot m; SavePos m; PushPos; Call unit;
// PopPos; PopSlot m; Jump end; unit; ReturnIfEmpty m; SavePos m; end.
bool ReadOptionalStep(const std::vector<Instruction>& prog, size_t& i, LinearStep& step) {
  const size_t n = prog.size();
  const int32_t m = prog[i].operand;
  const size_t unit = i + 7;
  if (!At(prog, i, Op::PushSlot, m) || !At(prog, i + 1, Op::SavePos, m) ||
      !At(prog, i + 2, Op::PushPos, 0) || !At(prog, i + 3, Op::Call, static_cast<int32_t>(unit)) ||
      !At(prog, i + 4, Op::PopPos, 0) || !At(prog, i + 5, Op::PopSlot, m) || unit >= n ||
      !IsUnitTest(prog[unit])) {
    return false;
  }
  const size_t after = AfterUnitTest(prog, unit);
  if (after <= unit || !At(prog, after, Op::ReturnIfEmpty, m) ||
      !At(prog, after + 1, Op::SavePos, m) ||
      !At(prog, i + 6, Op::Jump, static_cast<int32_t>(after + 2)) ||
      !ExactUnits(prog, unit, step.units)) {
    return false;
  }
  step.optional = true;
  i = after + 2;
  return true;
}

// The step at `i` (a unit test, a unit loop or `?` of a unit test), with
// `i` moved past it; false when what stands there is none.
bool ReadStep(const std::vector<Instruction>& prog, const SearchHints& h, size_t& i,
              LinearStep& step) {
  const int32_t loop = h.unitLoopAt.empty() ? -1 : h.unitLoopAt[i];
  if (IsUnitTest(prog[i])) {
    if (!ExactUnits(prog, i, step.units)) return false;
    i = AfterUnitTest(prog, i);
    return true;
  }
  if (loop < 0) return ReadOptionalStep(prog, i, step);
  const UnitLoop& unitLoop = h.unitLoops[static_cast<size_t>(loop)];
  if (!unitLoop.unitsExact) return false;
  step.units = unitLoop.units;
  step.repeated = true;
  i = unitLoop.end;
  return true;
}

// `!A` of a unit test at `i`: SavePos p; SaveStack s; Call A; LoadPos p;
// LoadStack s; Jump end; A; LoadPos p; LoadStack s; Return; end. Moves `i`
// past it; false when it is not that.
bool ReadNotFollowed(const std::vector<Instruction>& prog, size_t& i, LinearProgram& linear) {
  const size_t n = prog.size();
  const int32_t p = prog[i].operand;
  const int32_t s = i + 1 < n ? prog[i + 1].operand : -1;
  const size_t unit = i + 6;
  if (!At(prog, i + 1, Op::SaveStack, s) ||
      !At(prog, i + 2, Op::Call, static_cast<int32_t>(unit)) || !At(prog, i + 3, Op::LoadPos, p) ||
      !At(prog, i + 4, Op::LoadStack, s) || unit >= n || !IsUnitTest(prog[unit])) {
    return false;
  }
  const size_t after = AfterUnitTest(prog, unit);
  if (after <= unit || !At(prog, after, Op::LoadPos, p) || !At(prog, after + 1, Op::LoadStack, s) ||
      !At(prog, after + 2, Op::Return, 0) ||
      !At(prog, i + 5, Op::Jump, static_cast<int32_t>(after + 3)) ||
      !ExactUnits(prog, unit, linear.notFollowedBy)) {
    return false;
  }
  linear.notFollowed = true;
  i = after + 3;
  return true;
}

// No step may take a unit that the steps after it read next, up to the
// first that must take one; after the last of those, only when nothing
// but the end of the group follows. And some step must take a unit, or a
// match could be empty.
bool StepsKeepTheirUnits(const LinearProgram& linear) {
  bool taking = false;
  for (size_t k = 0; k < linear.steps.size(); ++k) {
    const LinearStep& step = linear.steps[k];
    if (!step.optional && !step.repeated) {
      taking = true;
      continue;
    }
    bool fixedAfter = false;
    for (size_t j = k + 1; j < linear.steps.size() && !fixedAfter; ++j) {
      if (Intersect(step.units, linear.steps[j].units)) return false;
      fixedAfter = !linear.steps[j].optional && !linear.steps[j].repeated;
    }
    if (!fixedAfter && linear.notFollowed) return false;
  }
  return taking;
}

// Recognises a linear program (see LinearProgram) by the templates the
// compiler emits: the frame, the steps, GroupEnd 0, the look-ahead, Match.
void FindLinearProgram(const CompiledPattern& pattern, SearchHints& h) {
  if (!HasLinearFrame(pattern)) return;
  const std::vector<Instruction>& prog = pattern.instructions;
  const size_t n = prog.size();
  LinearProgram linear;
  linear.anchored = prog[1].op == Op::Fail;
  size_t i = 7;
  while (i < n && prog[i].op != Op::GroupEnd) {
    LinearStep step;
    if (!ReadStep(prog, h, i, step)) return;
    linear.steps.push_back(step);
  }
  if (!At(prog, i, Op::GroupEnd, 0)) return;
  ++i;
  if (i < n && prog[i].op == Op::SavePos && !ReadNotFollowed(prog, i, linear)) return;
  if (i + 1 != n || prog[i].op != Op::Match) return;
  if (!StepsKeepTheirUnits(linear)) return;
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
    loop.positionDecides = loop.end < prog.size() && regex_internal::SlotsWrittenBeforeRead(
                                                         prog, g, loop.end, pattern.slotCount);
  }
}

// The one `Match` reachable from 2, or kNone (compiled programs have one).
int32_t TheMatch(const std::vector<Instruction>& prog, const std::vector<bool>& reachable) {
  int32_t match = kNone;
  for (size_t i = 2; i < prog.size(); ++i) {
    if (prog[i].op == Op::Match && reachable[i]) {
      if (match != kNone) return kNone;
      match = static_cast<int32_t>(i);
    }
  }
  return match;
}

// The literals read from each `Char` that dominates `match`, each once.
std::vector<std::u16string> DominatingChains(const std::vector<Instruction>& prog, const Graph& g,
                                             const BitRows& dom, int32_t match) {
  std::vector<std::u16string> chains;
  for (size_t k = 2; k < prog.size(); ++k) {
    if (!dom.Has(static_cast<size_t>(match), k)) continue;
    if (prog[k].op != Op::Char || prog[k].operand == 0) continue;
    std::u16string chain = ChainFrom(prog, g, static_cast<int32_t>(k));
    if (std::find(chains.begin(), chains.end(), chain) == chains.end()) {
      chains.push_back(std::move(chain));
    }
  }
  return chains;
}

// Required literals: the runs that begin at a dominating Char, those with
// the rarest probe (then the longest) first, leaving out any that one kept
// before contains.
void FindRequiredLiterals(const std::vector<Instruction>& prog, const Graph& g, const BitRows& dom,
                          int32_t match, SearchHints& h) {
  std::vector<RequiredLiteral> literals;
  for (std::u16string& chain : DominatingChains(prog, g, dom, match)) {
    literals.push_back(MakeRequiredLiteral(std::move(chain)));
  }
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
}

// Start positions: the code units the first consuming instructions read,
// and what the instructions that follow a first one read next, unless a
// match may end after one unit. False when any unit may begin a match.
bool FindStarts(const std::vector<Instruction>& prog, const Graph& g,
                const std::vector<int32_t>& first, SearchHints& h) {
  if (!AddUnitsRead(prog, first, h.first)) return false;
  h.skipStarts = true;
  std::vector<int32_t> afterFirst;
  for (int32_t i : first) afterFirst.push_back(g.succ[static_cast<size_t>(i)][0]);
  const Consumers second = ConsumersFrom(prog, g, afterFirst);
  const bool mayEnd = second.reachesMatch || second.reachesEndTest;
  h.secondKnown = !mayEnd && AddUnitsRead(prog, second.at, h.second);
  if (!h.secondKnown) h.second = UnitSet{};
  h.firstRanges = UnitRanges::Of(h.first);
  h.secondRanges = UnitRanges::Of(h.second);
  return true;
}

// The prefix, when a single Char begins every match: its chain, and the
// unit after it (what the instructions from where the chain stops read
// next, unless a match may end there). A required literal that is the
// prefix takes its follow set too.
void FindPrefix(const std::vector<Instruction>& prog, const Graph& g,
                const std::vector<int32_t>& first, SearchHints& h) {
  if (first.size() != 1 || prog[static_cast<size_t>(first[0])].op != Op::Char) return;
  int32_t stop = kNone;
  h.prefix = MakeRequiredLiteral(ChainFrom(prog, g, first[0], &stop));
  if (stop != kNone) {
    const Consumers next = ConsumersFrom(prog, g, {stop});
    const bool mayEnd = next.reachesMatch || next.reachesEndTest;
    h.prefix.followed = !mayEnd && AddUnitsRead(prog, next.at, h.prefix.follow);
    if (!h.prefix.followed) h.prefix.follow = UnitSet{};
  }
  for (size_t k = 0; k < h.required.size(); ++k) {
    if (h.required[k].text != h.prefix.text) continue;
    h.required[k] = h.prefix;
    h.prefixRequired = static_cast<int32_t>(k);
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
  const Graph g = regex_internal::BuildGraph(prog);
  FindPositionDecidedLoops(pattern, g, h);
  FindLinearProgram(pattern, h);
  if (prog[0].op != Op::Call || prog[0].operand != 2) return h;
  const bool anchored = prog[1].op == Op::Fail;
  if (!anchored && prog[1].op != Op::Advance) return h;
  if (!g.ok) return h;

  const std::vector<bool> reachable = regex_internal::Walk(g, {2}, [](int32_t) { return true; });
  const int32_t match = TheMatch(prog, reachable);
  if (match == kNone) return h;
  const Consumers first = ConsumersFrom(prog, g, {2});
  if (first.reachesMatch) return h;  // a match may consume nothing: no literal, any start
  FindRequiredLiterals(prog, g, regex_internal::Dominators(g, reachable), match, h);
  if (anchored) return h;  // only the first position is tried anyway
  if (!FindStarts(prog, g, first.at, h)) return h;
  FindPrefix(prog, g, first.at, h);
  return h;
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
