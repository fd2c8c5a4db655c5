// Interpreter of compiled pattern programs: a backtracking machine whose
// backtrack stack lives on the heap, so it never recurses.
#include <algorithm>
#include <limits>
#include <new>
#include <string>

#include "regex/regex.h"
#include "regex/search.h"

namespace {

constexpr uint32_t kInitialRoom = 256;
// Heights are stored in 32-bit slots; the stack never grows beyond that.
constexpr size_t kMaxRoom = static_cast<size_t>(std::numeric_limits<int32_t>::max());

struct StackFull {};

// Checks the operands that index the state, so that a hand-built or
// damaged program cannot make a run read or write out of bounds.
bool IsRunnable(const CompiledPattern& pattern) {
  const std::vector<Instruction>& prog = pattern.instructions;
  if (pattern.lastError != kParseOk || prog.empty()) return false;
  const size_t n = prog.size();
  for (size_t i = 0; i < n; ++i) {
    const int64_t operand = prog[i].operand;
    switch (prog[i].op) {
      case Op::GroupStart:
      case Op::GroupEnd:
      case Op::BackRef:
      case Op::PushGroup:
      case Op::PopGroup:
        if (operand < 0 || operand >= pattern.groupCount) return false;
        break;
      case Op::PushSlot:
      case Op::PopSlot:
      case Op::SavePos:
      case Op::SaveStack:
      case Op::LoadPos:
      case Op::LoadStack:
      case Op::ReturnIfEmpty:
        if (operand < 0 || operand >= pattern.slotCount) return false;
        break;
      case Op::InClass:
      case Op::NotInClass:
        if (operand <= static_cast<int64_t>(i) || static_cast<size_t>(operand) > n ||
            (operand - static_cast<int64_t>(i) - 1) % 2 != 0) {
          return false;
        }
        break;
      default:
        break;
    }
  }
  return true;
}

// The backtrack stack: entry 0 is never used; `height` is the top entry.
class Stack {
 public:
  Stack(std::vector<int32_t>& room, uint32_t& height) : room_(room), height_(height) {}

  void Push(int32_t value) {
    if (height_ + 1 >= room_.size()) Grow();
    room_[++height_] = value;
  }
  int32_t Pop() { return height_ == 0 ? 0 : room_[height_--]; }
  int32_t At(uint32_t index) const { return room_[index]; }
  uint32_t height() const { return height_; }
  void SetHeight(uint32_t height) { height_ = height; }

 private:
  void Grow() {
    const size_t room = 2 * static_cast<size_t>(height_) + 2;
    if (room > kMaxRoom) throw StackFull{};
    room_.resize(room);
  }

  std::vector<int32_t>& room_;
  uint32_t& height_;
};

// Whether `pos` is a character of the text (not its end).
inline bool InText(int32_t pos, int32_t len) {
  return static_cast<uint32_t>(pos) < static_cast<uint32_t>(len);
}

// Whether the single code unit test `in` (Char, AnyChar or a class) accepts
// the unit at `pos`, as the instruction does when executed.
inline bool UnitMatches(const Instruction* prog, uint32_t ip, const char16_t* text, int32_t pos,
                        int32_t len) {
  const Instruction in = prog[ip];
  if (!InText(pos, len)) return false;
  if (in.op == Op::Char) return text[pos] == in.operand;
  if (in.op == Op::AnyChar) return true;
  const int32_t c = text[pos];
  bool inside = false;
  for (uint32_t k = ip + 1; k + 1 < static_cast<uint32_t>(in.operand); k += 2) {
    if (c >= prog[k].operand && c <= prog[k + 1].operand) {
      inside = true;
      break;
    }
  }
  return inside == (in.op == Op::InClass);
}

// The highest position at or below `q` after which the rest of the pattern
// is not known to fail (-1 when there is none); -1 <= q <= len.
int32_t HighestUntried(LoopMemo& memo, int32_t q) {
  if (!memo.failuresKnown) return q;
  std::vector<int32_t>& below = memo.below;
  int32_t i = q + 1;
  if (static_cast<size_t>(i) >= below.size()) return q;  // no failure known that far
  while (below[static_cast<size_t>(i)] != i) {
    below[static_cast<size_t>(i)] = below[static_cast<size_t>(below[static_cast<size_t>(i)])];
    i = below[static_cast<size_t>(i)];
  }
  return i - 1;
}

// Records that the rest of the pattern failed after position q (0 <= q <=
// len). The links reach only as far as the failures do: a text searched
// again and again from later starts (MatchAllInText) would otherwise pay
// for its whole length at each failing search.
void MarkFailed(LoopMemo& memo, int32_t q) {
  std::vector<int32_t>& below = memo.below;
  if (!memo.failuresKnown) {
    below.clear();
    memo.failuresKnown = true;
  }
  while (below.size() < static_cast<size_t>(q) + 2)
    below.push_back(static_cast<int32_t>(below.size()));
  below[static_cast<size_t>(q) + 1] = q;
}

// The single frame that stands for the backtrack frames of a unit loop's
// iterations: the slot's value before the loop, the position the loop
// began at, the next (shorter) way out to try, and the resume code, which
// is the program size plus one plus the loop's index.
template <typename StackT>
void LeaveUnitLoop(const UnitLoop& loop, uint32_t resume, int32_t outer, int32_t from, int32_t at,
                   StackT& stack, int32_t* slots, int32_t& pos, uint32_t& ip) {
  stack.Push(outer);
  stack.Push(from);
  stack.Push(at - 1);
  stack.Push(static_cast<int32_t>(resume));
  pos = at;
  // Leaving after n > 0 iterations, the slot holds where the last began.
  slots[loop.slot] = at == from ? outer : at;
  ip = loop.end;
}

// Enters a greedy unit loop at `pos`: the run of units is scanned (or
// known from an earlier entry into the same run) and the loop is left by the
// longest way out. False when every way out is known to fail, which leaves
// the state as the loop's failure would.
template <typename StackT>
bool EnterUnitLoop(const Instruction* prog, const UnitLoop& loop, uint32_t resume, LoopMemo& memo,
                   const char16_t* text, int32_t len, StackT& stack, int32_t* slots, int32_t& pos,
                   uint32_t& ip) {
  const int32_t from = pos;
  int32_t end = memo.runEnd;
  if (memo.runFrom < 0 || from < memo.runFrom || from > memo.runEnd) {
    end = from;
    if (loop.unitsExact) {
      while (InText(end, len) && loop.units.Has(text[end])) ++end;
    } else {
      while (UnitMatches(prog, loop.unit, text, end, len)) ++end;
    }
    memo.runFrom = from;
    memo.runEnd = end;
  }
  const int32_t at = loop.positionDecides ? HighestUntried(memo, end) : end;
  if (at < from) return false;
  LeaveUnitLoop(loop, resume, slots[loop.slot], from, at, stack, slots, pos, ip);
  return true;
}

// Backtracks into a unit loop's frame (its resume code already popped):
// the way out just tried failed, so the next shorter one is taken. Returns
// 1 when the loop was left again, 0 when its ways out are exhausted (the
// caller backtracks further) and -1 for a frame that is not one.
template <typename StackT>
int ResumeUnitLoop(const UnitLoop& loop, uint32_t resume, LoopMemo& memo, int32_t len,
                   StackT& stack, int32_t* slots, int32_t& pos, uint32_t& ip) {
  const uint32_t h = stack.height();
  if (h < 3) return -1;
  int32_t next = stack.At(h);
  const int32_t from = stack.At(h - 1);
  const int32_t outer = stack.At(h - 2);
  if (from < 0 || from > len || next < from - 1 || next >= len) return -1;
  stack.SetHeight(h - 3);
  if (loop.positionDecides) {
    MarkFailed(memo, next + 1);
    next = HighestUntried(memo, next);
  }
  if (next < from) {
    slots[loop.slot] = outer;
    pos = from;
    return 0;
  }
  LeaveUnitLoop(loop, resume, outer, from, next, stack, slots, pos, ip);
  return 1;
}

void ResetState(const CompiledPattern& pattern, MatchState& state) {
  state.groupCount = pattern.groupCount;
  state.groups.assign(pattern.groupCount, GroupSpan{});
  state.slots.assign(pattern.slotCount, 0);
  if (state.stack.size() < kInitialRoom) state.stack.resize(kInitialRoom);
  state.height = 0;
}

// Helpers of the run loop that are part of it: inlined always, so that the
// run's registers and what it works on stay in machine registers.
#define CNV_RUN_INLINE [[gnu::always_inline]] inline

// What a run works on besides its registers (the instruction index, the
// position and the start being tried) and its backtrack stack: the
// program, the text, the state's groups and slots and the hints' loops.
struct Machine {
  Machine(const CompiledPattern& pattern, const char16_t* text, int32_t len, MatchState& state,
          const SearchHints* hints);

  const Instruction* prog;
  uint32_t size;
  const char16_t* text;
  int32_t len;
  std::vector<GroupSave>& saves;  // to undo when a look-ahead drops frames
  GroupSpan* groups;
  int32_t* slots;
  const SearchHints* hints;  // with skipStarts, starts come from NextStart
  bool skipStarts;
  const int32_t* unitLoopAt;  // null: no loop is run as a whole
  const UnitLoop* unitLoops;
  uint32_t loopCount;
  std::vector<LoopMemo>& loops;
};

Machine::Machine(const CompiledPattern& pattern, const char16_t* text, int32_t len,
                 MatchState& state, const SearchHints* hints)
    : prog(pattern.instructions.data()),
      size(static_cast<uint32_t>(pattern.instructions.size())),
      text(text),
      len(len),
      saves(state.saves),
      groups(state.groups.data()),
      slots(state.slots.data()),
      hints(hints),
      skipStarts(hints != nullptr && hints->skipStarts),
      unitLoopAt(hints != nullptr && !hints->unitLoopAt.empty() ? hints->unitLoopAt.data()
                                                                : nullptr),
      unitLoops(unitLoopAt != nullptr ? hints->unitLoops.data() : nullptr),
      loopCount(unitLoopAt != nullptr ? static_cast<uint32_t>(hints->unitLoops.size()) : 0),
      loops(state.loops) {
  saves.clear();
  loops.resize(loopCount);
  for (LoopMemo& memo : loops) {
    memo.runFrom = -1;
    memo.failuresKnown = false;
  }
}

// Backtracking to beyond the program: only a unit loop's frame resumes
// there (and past the index a final Call would push). False when the run
// fails.
CNV_RUN_INLINE bool ResumeBeyondProgram(Machine& m, Stack& stack, int32_t& pos, uint32_t& ip) {
  const uint32_t k = ip - m.size - 1;
  if (ip == m.size || k >= m.loopCount) return false;
  const int left = ResumeUnitLoop(m.unitLoops[k], ip, m.loops[k], m.len, stack, m.slots, pos, ip);
  if (left < 0) return false;
  if (left == 0) ip = static_cast<uint32_t>(stack.Pop());
  return true;
}

// Char: the unit at `pos`, consumed, or the end of the text, which is not.
CNV_RUN_INLINE bool CharMatches(const Machine& m, Instruction in, int32_t& pos) {
  if (in.operand == 0) return pos == m.len;
  if (!InText(pos, m.len) || m.text[pos] != in.operand) return false;
  ++pos;
  return true;
}

// PushSlot, or the whole of the unit loop that begins there; false when
// every way out of the loop is known to fail.
CNV_RUN_INLINE bool PushSlotOrLoop(Machine& m, Stack& stack, Instruction in, int32_t& pos,
                                   uint32_t& ip) {
  if (m.unitLoopAt != nullptr && m.unitLoopAt[ip] >= 0) {
    const uint32_t k = static_cast<uint32_t>(m.unitLoopAt[ip]);
    return EnterUnitLoop(m.prog, m.unitLoops[k], m.size + 1 + k, m.loops[k], m.text, m.len, stack,
                         m.slots, pos, ip);
  }
  stack.Push(m.slots[in.operand]);
  ++ip;
  return true;
}

// LoadStack: the stack cut back to the height in `slot`. Spans saved by
// groups inside a look-ahead that matched are put back as they were, since
// that match is being undone. False for a height the stack never had.
CNV_RUN_INLINE bool CutStack(Machine& m, Stack& stack, int32_t slot) {
  const int32_t target = m.slots[slot];
  if (target < 0 || static_cast<uint32_t>(target) > stack.height()) return false;
  while (!m.saves.empty() && m.saves.back().height > static_cast<uint32_t>(target)) {
    const GroupSave& save = m.saves.back();
    m.groups[save.group] = GroupSpan{stack.At(save.height), stack.At(save.height + 1)};
    m.saves.pop_back();
  }
  stack.SetHeight(static_cast<uint32_t>(target));
  return true;
}

// BackRef: the text at `pos` equals the group's, and is consumed.
CNV_RUN_INLINE bool BackRefMatches(const Machine& m, int32_t group, int32_t& pos) {
  const GroupSpan span = m.groups[group];
  const int32_t len = m.len;
  const bool ok = span.start >= 0 && span.end >= span.start && span.end <= len && pos >= 0 &&
                  pos <= len && span.end - span.start <= len - pos &&
                  std::char_traits<char16_t>::compare(m.text + pos, m.text + span.start,
                                                      span.end - span.start) == 0;
  if (ok) pos += span.end - span.start;
  return ok;
}

// Advance: the program again from the next start; false when none is left.
CNV_RUN_INLINE bool NextAttempt(Machine& m, Stack& stack, int32_t& attempt, int32_t& pos,
                                uint32_t& ip) {
  ++attempt;
  if (m.skipStarts) attempt = NextStart(*m.hints, m.text, m.len, attempt);
  if (attempt >= m.len) return false;
  pos = attempt;
  stack.SetHeight(0);
  m.saves.clear();
  ip = 0;
  return true;
}

// The instructions that record or restore a position, a span or a height
// and go on with the next one. False for a code that has no meaning in a
// program.
CNV_RUN_INLINE bool Record(Machine& m, Stack& stack, Instruction in, int32_t& pos) {
  switch (in.op) {
    case Op::Nop:
      return true;
    case Op::GroupStart:
      m.groups[in.operand] = GroupSpan{pos, -1};  // inside itself a group is unset
      return true;
    case Op::GroupEnd:
      m.groups[in.operand].end = pos;
      return true;
    case Op::SaveStack:
      m.slots[in.operand] = static_cast<int32_t>(stack.height());
      return true;
    case Op::LoadPos:
      pos = m.slots[in.operand];
      return true;
    case Op::PushGroup:
      m.saves.push_back({stack.height() + 1, in.operand});
      stack.Push(m.groups[in.operand].start);
      stack.Push(m.groups[in.operand].end);
      return true;
    case Op::PopGroup:
      m.groups[in.operand].end = stack.Pop();
      m.groups[in.operand].start = stack.Pop();
      while (!m.saves.empty() && m.saves.back().height > stack.height()) m.saves.pop_back();
      return true;
    default:
      return false;
  }
}

// The run loop from `attempt` on: one instruction a step, backtracking by
// popping the instruction index to go on at.
CNV_RUN_INLINE bool Execute(Machine& m, Stack& stack, int32_t attempt) {
  uint32_t ip = 0;
  int32_t pos = attempt;
  for (;;) {
    if (ip >= m.size) {
      if (!ResumeBeyondProgram(m, stack, pos, ip)) return false;
      continue;
    }
    const Instruction in = m.prog[ip];
    bool ok = true;
    switch (in.op) {
      case Op::Char:
        ok = CharMatches(m, in, pos);
        if (ok) ++ip;
        break;
      case Op::AnyChar:
        ok = InText(pos, m.len);
        if (ok) ++pos, ++ip;
        break;
      case Op::InClass:
      case Op::NotInClass:
        ok = UnitMatches(m.prog, ip, m.text, pos, m.len);
        if (ok) ++pos, ip = static_cast<uint32_t>(in.operand);
        break;
      case Op::Jump:
        ip = static_cast<uint32_t>(in.operand);
        break;
      case Op::PushPos:
        stack.Push(pos);
        ++ip;
        break;
      case Op::PopPos:
        pos = stack.Pop();
        ++ip;
        break;
      case Op::Call:
        stack.Push(static_cast<int32_t>(ip + 1));
        ip = static_cast<uint32_t>(in.operand);
        break;
      case Op::Return:
        ok = false;
        break;
      case Op::PushSlot:
        ok = PushSlotOrLoop(m, stack, in, pos, ip);
        break;
      case Op::PopSlot:
        m.slots[in.operand] = stack.Pop();
        ++ip;
        break;
      case Op::SavePos:
        m.slots[in.operand] = pos;
        ++ip;
        break;
      case Op::ReturnIfEmpty:
        ok = pos != m.slots[in.operand];
        if (ok) ++ip;
        break;
      case Op::LoadStack:
        if (!CutStack(m, stack, in.operand)) return false;
        ++ip;
        break;
      case Op::BackRef:
        ok = BackRefMatches(m, in.operand, pos);
        if (ok) ++ip;
        break;
      case Op::Advance:
        if (!NextAttempt(m, stack, attempt, pos, ip)) return false;
        break;
      case Op::Match:
        return true;
      default:  // the recording instructions; Fail and compile-time codes end the run
        if (!Record(m, stack, in, pos)) return false;
        ++ip;
        break;
    }
    if (!ok) ip = static_cast<uint32_t>(stack.Pop());  // backtrack
  }
}

// Runs the program. With `hints`, start positions that cannot begin a
// match are passed over; every other step is the same. The first start is
// `firstStart`, or the first NextStart gives when it is negative.
bool Run(const CompiledPattern& pattern, const char16_t* text, int32_t len, MatchState& state,
         const SearchHints* hints, int32_t firstStart) {
  Machine m(pattern, text, len, state, hints);
  Stack stack(state.stack, state.height);
  const int32_t attempt = firstStart >= 0 ? firstStart
                          : m.skipStarts  ? NextStart(*hints, text, len, 0)
                                          : 0;
  if (m.skipStarts && attempt >= len) return false;
  return Execute(m, stack, attempt);
}

// Run with the state reset first; false when memory runs out.
bool RunGuarded(const CompiledPattern& pattern, std::u16string_view text, MatchState& state,
                const SearchHints* hints, int32_t firstStart) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  try {
    ResetState(pattern, state);
    return Run(pattern, text.data(), static_cast<int32_t>(text.size()), state, hints, firstStart);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const StackFull&) {
    return false;
  }
}

}  // namespace

bool IsRunnableProgram(const CompiledPattern& pattern) {
  return IsRunnable(pattern);
}

bool RunProgram(const CompiledPattern& pattern, std::u16string_view text, MatchState& state,
                const SearchHints* hints) {
  return RunGuarded(pattern, text, state, hints, -1);
}

bool RunProgramFrom(const CompiledPattern& pattern, std::u16string_view text, MatchState& state,
                    const SearchHints& hints, int32_t firstStart) {
  return RunGuarded(pattern, text, state, &hints, std::max(firstStart, 0));
}

bool MatchPattern(const CompiledPattern& pattern, std::u16string_view text, MatchState& state) {
  if (text.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return false;
  if (!IsRunnable(pattern)) return false;
  return RunProgram(pattern, text, state, nullptr);
}

bool MatchPattern(const CompiledPattern& pattern, const char16_t* text, MatchState* state) {
  if (text == nullptr || state == nullptr) return false;
  return MatchPattern(pattern, std::u16string_view(text), *state);
}
