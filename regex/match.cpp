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

// Runs the program. With `hints`, start positions that cannot begin a
// match are passed over; every other step is the same. The first start is
// `firstStart`, or the first NextStart gives when it is negative.
bool Run(const CompiledPattern& pattern, const char16_t* text, int32_t len, MatchState& state,
         const SearchHints* hints, int32_t firstStart) {
  const Instruction* prog = pattern.instructions.data();
  const uint32_t size = static_cast<uint32_t>(pattern.instructions.size());
  Stack stack(state.stack, state.height);
  std::vector<GroupSave>& saves = state.saves;  // to undo when a look-ahead drops frames
  saves.clear();
  const bool skipStarts = hints != nullptr && hints->skipStarts;
  const int32_t* unitLoopAt =
      hints != nullptr && !hints->unitLoopAt.empty() ? hints->unitLoopAt.data() : nullptr;
  GroupSpan* groups = state.groups.data();
  int32_t* slots = state.slots.data();
  const UnitLoop* unitLoops = unitLoopAt != nullptr ? hints->unitLoops.data() : nullptr;
  const uint32_t loopCount =
      unitLoopAt != nullptr ? static_cast<uint32_t>(hints->unitLoops.size()) : 0;
  state.loops.resize(loopCount);
  for (LoopMemo& memo : state.loops) {
    memo.runFrom = -1;
    memo.failuresKnown = false;
  }
  uint32_t ip = 0;
  int32_t attempt = firstStart >= 0 ? firstStart : skipStarts ? NextStart(*hints, text, len, 0) : 0;
  if (skipStarts && attempt >= len) return false;
  int32_t pos = attempt;

  for (;;) {
    if (ip >= size) {
      // Only a unit loop's frame resumes beyond the program (and past the
      // index a final Call would push).
      const uint32_t k = ip - size - 1;
      if (ip == size || k >= loopCount) return false;
      const int left = ResumeUnitLoop(unitLoops[k], ip, state.loops[k], len, stack, slots, pos, ip);
      if (left < 0) return false;
      if (left == 0) ip = static_cast<uint32_t>(stack.Pop());
      continue;
    }
    const Instruction in = prog[ip];
    bool ok = true;
    switch (in.op) {
      case Op::Nop:
        ++ip;
        break;
      case Op::GroupStart:
        // The end is cleared too: inside itself a group is unset.
        groups[in.operand] = GroupSpan{pos, -1};
        ++ip;
        break;
      case Op::GroupEnd:
        groups[in.operand].end = pos;
        ++ip;
        break;
      case Op::Char:
        if (in.operand == 0) {
          ok = pos == len;  // the end of the text; nothing is consumed
        } else {
          ok = InText(pos, len) && text[pos] == in.operand;
          if (ok) ++pos;
        }
        if (ok) ++ip;
        break;
      case Op::AnyChar:
        ok = InText(pos, len);
        if (ok) ++pos, ++ip;
        break;
      case Op::InClass:
      case Op::NotInClass:
        ok = UnitMatches(prog, ip, text, pos, len);
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
        if (unitLoopAt != nullptr && unitLoopAt[ip] >= 0) {
          const uint32_t k = static_cast<uint32_t>(unitLoopAt[ip]);
          ok = EnterUnitLoop(prog, unitLoops[k], size + 1 + k, state.loops[k], text, len, stack,
                             slots, pos, ip);
          break;
        }
        stack.Push(slots[in.operand]);
        ++ip;
        break;
      case Op::PopSlot:
        slots[in.operand] = stack.Pop();
        ++ip;
        break;
      case Op::SavePos:
        slots[in.operand] = pos;
        ++ip;
        break;
      case Op::SaveStack:
        slots[in.operand] = static_cast<int32_t>(stack.height());
        ++ip;
        break;
      case Op::LoadPos:
        pos = slots[in.operand];
        ++ip;
        break;
      case Op::LoadStack: {
        const int32_t target = slots[in.operand];
        if (target < 0 || static_cast<uint32_t>(target) > stack.height()) return false;
        // Spans saved by groups inside a look-ahead that matched are put back
        // as they were, since that match is being undone.
        while (!saves.empty() && saves.back().height > static_cast<uint32_t>(target)) {
          const GroupSave& save = saves.back();
          groups[save.group] = GroupSpan{stack.At(save.height), stack.At(save.height + 1)};
          saves.pop_back();
        }
        stack.SetHeight(static_cast<uint32_t>(target));
        ++ip;
        break;
      }
      case Op::ReturnIfEmpty:
        ok = pos != slots[in.operand];
        if (ok) ++ip;
        break;
      case Op::BackRef: {
        const GroupSpan span = groups[in.operand];
        ok = span.start >= 0 && span.end >= span.start && span.end <= len && pos >= 0 &&
             pos <= len && span.end - span.start <= len - pos &&
             std::char_traits<char16_t>::compare(text + pos, text + span.start,
                                                 span.end - span.start) == 0;
        if (ok) pos += span.end - span.start, ++ip;
        break;
      }
      case Op::Fail:
        return false;
      case Op::Advance:
        ++attempt;
        if (skipStarts) attempt = NextStart(*hints, text, len, attempt);
        if (attempt >= len) return false;
        pos = attempt;
        stack.SetHeight(0);
        saves.clear();
        ip = 0;
        break;
      case Op::Match:
        return true;
      case Op::PushGroup:
        saves.push_back({stack.height() + 1, in.operand});
        stack.Push(groups[in.operand].start);
        stack.Push(groups[in.operand].end);
        ++ip;
        break;
      case Op::PopGroup:
        groups[in.operand].end = stack.Pop();
        groups[in.operand].start = stack.Pop();
        while (!saves.empty() && saves.back().height > stack.height()) saves.pop_back();
        ++ip;
        break;
      default:
        return false;  // a compile-time code has no meaning in a program
    }
    if (!ok) ip = static_cast<uint32_t>(stack.Pop());  // backtrack
  }
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
