// The instruction graph and its flow analyses: successors, walks,
// dominators and the slots written before they are read.
#include "regex/program_graph.h"

#include <algorithm>

namespace regex_internal {

namespace {

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

}  // namespace

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

Consumers ConsumersFrom(const std::vector<Instruction>& prog, const Graph& g,
                        const std::vector<int32_t>& from) {
  Consumers found;
  Walk(g, from, [&](int32_t i) {
    const Instruction in = prog[static_cast<size_t>(i)];
    if (in.op == Op::Match) found.reachesMatch = true;
    if (in.op == Op::Char && in.operand == 0) found.reachesEndTest = true;
    if (!Consumes(in)) return true;
    found.at.push_back(i);
    return false;
  });
  return found;
}

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

}  // namespace regex_internal
