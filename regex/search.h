// Searching many texts with one compiled pattern, fast and with exactly the
// results of MatchPattern. What a search may skip is derived from the
// program itself, not from the pattern text: the code units a match can
// begin with, a literal every match begins with, and literals every match
// contains. A start position that cannot begin a match, or a text that
// lacks a required literal, is skipped without running the program; a
// program simple enough to match without backtracking is run without the
// backtracking machine. Programs are built once per pattern and process
// and shared (SharedSearchProgram).
//
// Where it is done: the analysis in analysis.cpp (over the instruction
// graph of program_graph.h), the printed hints in hints_dump.cpp, the scans
// in scan.cpp, the runner of linear programs in linear_runner.cpp, the
// backtracking machine in match.cpp, the searcher and its cache in
// search.cpp.
#ifndef CNV_REGEX_SEARCH_H_
#define CNV_REGEX_SEARCH_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "regex/regex.h"

// A set of code units: those below 256 one by one, the others as a whole.
struct UnitSet {
  uint64_t low[4] = {0, 0, 0, 0};
  bool high = false;  // every code unit of 256 or more

  bool Has(char16_t unit) const {
    if (unit >= 256) return high;
    return ((low[unit >> 6] >> (unit & 63)) & 1) != 0;
  }
  void AddRange(int32_t first, int32_t last);
};

// A greedy loop over a single code unit test (`[0-9]*`, `[ \t]+`, `.*`):
// the instructions at `top` are PushSlot slot; SavePos slot; PushPos;
// Call unit; PopPos (= resume); PopSlot slot; Jump end; unit;
// ReturnIfEmpty slot; SavePos slot; Jump top. The searcher scans the run of
// units in one go and keeps the iterations' backtrack frames as a single
// frame; each way out of the loop (at every position of the run, longest
// first) leaves the position and the slot as the instructions would.
struct UnitLoop {
  int32_t slot = 0;
  uint32_t resume = 0;
  uint32_t unit = 0;
  uint32_t end = 0;
  // The units the test accepts, when `units` says exactly which (always but
  // for classes that take only part of the units of 256 or more).
  bool unitsExact = false;
  UnitSet units;
  // Whether what follows the loop succeeds or fails by the position alone:
  // no back-references in the program, and every slot read after `end` is
  // written after `end` first. Then a position where the rest failed once
  // is not tried again in the same text, which keeps a search over a long
  // run of units linear instead of quadratic.
  bool positionDecides = false;
};

// A literal that every match contains, with the index of the code unit that
// a scan looks for first (the one least likely to occur in a configuration)
// and of another one it checks next (the next least likely). When
// `followed`, it counts only where the unit after it is one of `follow`.
struct RequiredLiteral {
  std::u16string text;
  size_t probe = 0;
  size_t second = 0;
  bool followed = false;
  UnitSet follow = {};
};

// A unit set as a few ranges of units below 256 (and every unit of 256 or
// more when `high`), the form in which a scan tests eight units at a time.
// Not usable when the set has more ranges than that.
struct UnitRanges {
  static constexpr int kMax = 4;
  bool usable = false;
  int count = 0;
  char16_t first[kMax] = {};
  char16_t last[kMax] = {};
  bool high = false;

  static UnitRanges Of(const UnitSet& set);
};

// One step of a linear program: a unit test taken once, at most once
// (`?`) or as often as it passes (`*`; `+` is a test and a `*`).
struct LinearStep {
  UnitSet units;  // exactly the units the test accepts
  bool optional = false;
  bool repeated = false;
};

// A program that is one group around a sequence of steps, maybe followed by
// a negative look-ahead of one unit test, in which no unit a step may take
// can be the unit that the steps after it read next. A step then never
// gives a unit back: from each start there is one way to match, which the
// search follows without the backtracking machine.
struct LinearProgram {
  bool usable = false;
  bool anchored = false;
  std::vector<LinearStep> steps;
  bool notFollowed = false;  // the look-ahead: the unit after must not be
  UnitSet notFollowedBy;     // one of these (the end of the text is fine)
};

// What a search may skip, and the loops it may run without dispatching each
// instruction. With nothing known, every start position is tried.
struct SearchHints {
  // Start positions may be skipped: a match must consume its first code
  // unit, which is one of `first`.
  bool skipStarts = false;
  UnitSet first;
  // With skipStarts: every match also consumes a second code unit, one of
  // `second`, right after the first.
  bool secondKnown = false;
  UnitSet second;
  // The sets as ranges, for the scans.
  UnitRanges firstRanges;
  UnitRanges secondRanges;
  // Every match begins with this literal (empty: none known), followed by
  // one of its `follow` units when that is known.
  RequiredLiteral prefix;
  // Every match contains each of these; the most selective comes first.
  std::vector<RequiredLiteral> required;
  // The index in `required` of the prefix, or -1: where the check finds it,
  // the first start may be.
  int32_t prefixRequired = -1;
  // For each instruction, the index of the unit loop it begins, or -1;
  // empty when the program has none.
  std::vector<int32_t> unitLoopAt;
  std::vector<UnitLoop> unitLoops;
  LinearProgram linear;

  bool MayStartWith(char16_t unit) const { return first.Has(unit); }
  // What the hints let a search skip and shortcut, a line for each kind
  // that is known (nothing when nothing is), for tests and debugging: unit
  // sets as classes, literals quoted with their probe indexes.
  std::string Dump() const;
};

// Derives the hints of a compiled program. A program the analysis does not
// understand gets empty hints, which skip nothing.
SearchHints AnalyzeProgram(const CompiledPattern& pattern);

// The first start position at or after `from` at which a match may begin,
// or `len` when there is none.
int32_t NextStart(const SearchHints& hints, const char16_t* text, int32_t len, int32_t from);

// `text` as a literal to scan for, with the probe units a scan of
// configuration text should look for first.
RequiredLiteral MakeRequiredLiteral(std::u16string text);

// Position of `literal` in text[from, len), or -1. The scan compares the
// probe units of sixteen start positions at a time (then eight), and only
// where one agrees the second unit and the whole literal.
int32_t FindLiteral(const RequiredLiteral& literal, const char16_t* text, int32_t len,
                    int32_t from);

// Whether MatchPattern would run the program (its operands are in range).
bool IsRunnableProgram(const CompiledPattern& pattern);

// Runs the program like MatchPattern, without checking it and trying only
// the start positions that NextStart gives when `hints` is not null.
bool RunProgram(const CompiledPattern& pattern, std::u16string_view text, MatchState& state,
                const SearchHints* hints);
// RunProgram with hints whose first start the caller has found already:
// `firstStart` is NextStart(hints, text, len, 0), or 0 when the hints skip
// no start.
bool RunProgramFrom(const CompiledPattern& pattern, std::u16string_view text, MatchState& state,
                    const SearchHints& hints, int32_t firstStart);

// A pattern compiled and analysed for searching. It does not change once
// built, so one instance serves every search of the pattern, on any thread;
// the working state of a run is the caller's.
class SearchProgram {
 public:
  // Compiles `pattern`; error() tells whether that worked.
  explicit SearchProgram(std::u16string_view pattern);
  // With `accelerate` false nothing is skipped: the plain interpreter.
  explicit SearchProgram(CompiledPattern pattern, bool accelerate = true);

  // 0 or the ParseError code of the compilation.
  int error() const { return pattern_.lastError; }
  const CompiledPattern& compiled() const { return pattern_; }
  const SearchHints& hints() const { return hints_; }
  // The result and the group spans of MatchPattern for the same pattern and
  // text; after a false result the spans in `state` are not to be used.
  bool Match(std::u16string_view text, MatchState& state) const {
    // Most texts lack the first required literal: those cost one scan.
    if (screened_ && text.size() <= kMaxScreened &&
        FindLiteral(hints_.required.front(), text.data(), static_cast<int32_t>(text.size()), 0) <
            0) {
      return false;
    }
    return MatchAll(text, state);
  }

 private:
  static constexpr size_t kMaxScreened = 0x7FFFFFFF;

  // Match with every check, in the order that costs least.
  bool MatchAll(std::u16string_view text, MatchState& state) const;

  CompiledPattern pattern_;
  bool runnable_;
  bool accelerate_;
  SearchHints hints_;
  bool screened_ = false;  // Match may look for the first required literal
};

// One pattern run over many texts: the program is checked and analysed
// once, and one working state serves every text. Match gives the result
// and the group spans of MatchPattern for the same pattern and text; after
// a false result the spans are not to be used.
class PatternSearcher {
 public:
  // Works on a copy of `pattern`. With `accelerate` false nothing is
  // skipped: the plain interpreter.
  explicit PatternSearcher(const CompiledPattern& pattern, bool accelerate = true);
  // Shares a program built before (see SharedSearchProgram).
  explicit PatternSearcher(std::shared_ptr<const SearchProgram> program);

  bool Match(std::u16string_view text) { return program_->Match(text, state_); }
  const MatchState& state() const { return state_; }
  const SearchHints& hints() const { return program_->hints(); }
  const SearchProgram& program() const { return *program_; }

 private:
  std::shared_ptr<const SearchProgram> program_;
  MatchState state_;
};

// The search program of `pattern`, compiled and analysed once per process
// and shared by every caller, from any thread. Programs are kept by their
// pattern text, at most kMaxSharedPrograms of them: when a new one would
// exceed that, the kept ones are dropped (those in use stay valid).
std::shared_ptr<const SearchProgram> SharedSearchProgram(std::u16string_view pattern);
inline constexpr size_t kMaxSharedPrograms = 4096;
// How many programs SharedSearchProgram keeps now.
size_t SharedSearchProgramCount();

#endif  // CNV_REGEX_SEARCH_H_
