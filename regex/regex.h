// The pattern matcher: a small backtracking regular-expression engine in
// whose syntax every recognition rule of the converters is written.
//
// Syntax summary: `{X}` is a numbered match group, `(X)` groups only, `!A`
// is a negative look-ahead of one atom, `A|B` alternates single items,
// classes `[a-z]`/`[^...]`, `.`, greedy `* + ?` and lazy `*? +? ??`,
// back-references `\1`, abbreviations `\a \b \c \d \h \n \q \w \z`, a leading
// `^` and a trailing `$`. Matching is case-sensitive and unanchored.
//
// A pattern compiles into a flat program of instructions (see Op) which
// MatchPattern interprets with an explicit heap stack; it never recurses.
#ifndef CNV_REGEX_REGEX_H_
#define CNV_REGEX_REGEX_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Opcodes of a compiled program. The numbering is fixed; the codes 5, 6,
// 9-12, 18 and 19 are never stored in a program.
enum class Op : int32_t {
  Nop = 0,             // do nothing; also holds the bounds of a class pair
  GroupStart = 1,      // group `operand` starts at the current position
  GroupEnd = 2,        // group `operand` ends at the current position
  Char = 3,            // the current character must be `operand` (0: end of text)
  AnyChar = 4,         // any character except the end of the text
  InClass = 7,         // the character must lie in one of the pairs up to `operand`
  NotInClass = 8,      // the character must lie in none of the pairs up to `operand`
  Plus = 9,            // quantifier `+` (compile time only)
  LazyPlus = 10,       // quantifier `+?` (compile time only)
  Optional = 11,       // quantifier `?` (compile time only)
  LazyOptional = 12,   // quantifier `??` (compile time only)
  Jump = 13,           // continue at `operand`
  PushPos = 14,        // push the current position
  PopPos = 15,         // pop a position and make it current
  Call = 16,           // push the next instruction index, continue at `operand`
  Return = 17,         // backtrack: pop an instruction index and continue there
  Star = 18,           // quantifier `*` (compile time only)
  LazyStar = 19,       // quantifier `*?` (compile time only)
  PushSlot = 20,       // push the value of slot `operand`
  PopSlot = 21,        // pop a value into slot `operand`
  SavePos = 22,        // slot `operand` = current position
  SaveStack = 23,      // slot `operand` = current height of the backtrack stack
  LoadPos = 24,        // current position = slot `operand`
  LoadStack = 25,      // stack height = slot `operand`
  ReturnIfEmpty = 26,  // backtrack if the current position equals slot `operand`
  BackRef = 27,        // the text at the position must equal group `operand`'s text
  Fail = 28,           // the whole match fails
  Advance = 29,        // retry the program one character further on
  Match = 30,          // the match succeeds
  PushGroup = 31,      // push group `operand`'s start and end
  PopGroup = 32,       // pop group `operand`'s end, then its start
};

// Name of an opcode as Dump prints it ("Call", "InClass", ...).
const char* OpName(Op op);

struct Instruction {
  Op op;
  int32_t operand;
};

// Parse error codes returned by Compile.
enum ParseError : int32_t {
  kParseOk = 0,
  kParseOutOfMemory = 1,
  kParseMissingBrace = 2,      // `{` without `}`
  kParseMissingParen = 3,      // `(` without `)`
  kParseMissingBracket = 4,    // `[` without `]`, or a range with nothing after `-`
  kParseBadAbbreviation = 5,   // an abbreviation's expansion does not compile
  kParseEmptyClass = 6,        // `[]` or `[^]`
  kParseBadBackReference = 7,  // group number not below the groups opened so far
  kParseBadRange = 8,          // upper bound below lower bound
  kParseEmptyLoopOperand = 9,  // operand of `*`, `+`, `*?`, `+?` can match empty
  kParseNullPattern = 10,
};

// A compiled pattern: the program and what a run needs to size its state.
struct CompiledPattern {
  int32_t lastError = 0;
  std::vector<Instruction> instructions;
  uint32_t groupCount = 0;
  uint32_t slotCount = 0;
  int32_t caseSensitive = 1;

  // Rebuilds the program from `pattern`; returns 0 or a ParseError code.
  // A null pointer gives kParseNullPattern. A pattern ends at its first NUL;
  // a failed compilation leaves no program (MatchPattern then gives false).
  int Compile(const char16_t* pattern);
  int Compile(std::u16string_view pattern);

  // One instruction a line: "index opcode operand", for tests and debugging.
  std::string Dump() const;
};

// Start and end of a group's match; both -1 while the group took no part.
struct GroupSpan {
  int32_t start = -1;
  int32_t end = -1;
  bool matched() const { return start >= 0 && end >= 0; }
};

// Working memory of a run; one state can serve many runs (it is reset at
// the start of each) so that a search over many lines allocates once.
// Where PushGroup saved a group's span on the backtrack stack, so that a
// look-ahead that drops stack entries can put the span back.
struct GroupSave {
  uint32_t height;  // stack index of the saved start; the end is one above
  int32_t group;
};

// What the accelerated search remembers of one greedy single-unit loop
// during a run over one text.
struct LoopMemo {
  // text[runFrom, runEnd) all pass the loop's unit test and runEnd does not
  // (or is the end): the run last scanned. runFrom < 0: none yet.
  int32_t runFrom = -1;
  int32_t runEnd = -1;
  // Positions after which the rest of the pattern is known to fail, as
  // skip links over index position + 1 (a root is a position not known to
  // fail; index 0 stands for -1). Valid only while `failuresKnown`; the
  // positions past its end are not known to fail.
  bool failuresKnown = false;
  std::vector<int32_t> below;
  // A linear program's loop (regex/search.h): the end of the run from
  // which the rest of the program failed, or -1.
  int32_t failedFrom = -1;
};

struct MatchState {
  uint32_t groupCount = 0;
  std::vector<int32_t> slots;
  std::vector<GroupSpan> groups;
  std::vector<int32_t> stack;  // entry 0 is never used
  uint32_t height = 0;
  std::vector<GroupSave> saves;  // PushGroup frames still on the stack
  std::vector<LoopMemo> loops;   // accelerated search only: one per unit loop
};

// Runs `pattern` against `text`; true when it matches at some start
// position (leftmost first), with the spans of every group in `state`.
// A null text or state gives false, and so does a program that did not
// compile or a run that runs out of memory. The end of the text is its
// length (the pointer form measures up to the NUL). A group that took no part
// is unset, and a back-reference to an unset group does not match.
bool MatchPattern(const CompiledPattern& pattern, const char16_t* text, MatchState* state);
bool MatchPattern(const CompiledPattern& pattern, std::u16string_view text, MatchState& state);

#endif  // CNV_REGEX_REGEX_H_
