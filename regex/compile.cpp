// Compiler of the pattern syntax into a flat instruction program.
//
// The pattern is parsed once into a small tree (regex/parse.h), then the
// tree is emitted with the instruction templates below. Emitting a
// quantifier's operand twice (the kept first copy of `+`, the copy inside a
// loop) is done from the same subtree, so compilation stays linear in the
// pattern except where the program itself duplicates code.
#include <new>
#include <string>

#include "regex/parse.h"
#include "regex/regex.h"

using regex_internal::CompileFailure;
using regex_internal::Kind;
using regex_internal::Node;
using regex_internal::Tree;

namespace {

// Nested `+` operands double the program at each level; this bounds it.
constexpr size_t kMaxInstructions = size_t{1} << 20;

// Emits the instruction templates for a parsed tree.
class Emitter {
 public:
  Emitter(const Tree& tree, std::vector<Instruction>& out) : tree_(tree), out_(out) {}

  uint32_t slotCount() const { return slots_; }

  void Emit(int32_t index) {
    const Node& node = tree_.nodes[index];
    switch (node.kind) {
      case Kind::Literal:
        Add(Op::Char, node.value);
        break;
      case Kind::Any:
        Add(Op::AnyChar, 0);
        break;
      case Kind::End:
        Add(Op::Char, 0);
        break;
      case Kind::Class:
        EmitClass(node);
        break;
      case Kind::Paren:
        EmitParen(node);
        break;
      case Kind::Brace:
        EmitBrace(node);
        break;
      case Kind::Look:
        EmitLook(node);
        break;
      case Kind::BackRef:
        Add(Op::BackRef, node.value);
        break;
      case Kind::Quant:
        EmitQuant(node);
        break;
      case Kind::Alt:
        EmitAlt(node);
        break;
      case Kind::Sequence:
        for (int32_t child : node.children) Emit(child);
        break;
    }
  }

  int32_t Add(Op op, int32_t operand) {
    if (out_.size() >= kMaxInstructions) throw CompileFailure{kParseOutOfMemory};
    out_.push_back({op, operand});
    return static_cast<int32_t>(out_.size() - 1);
  }
  int32_t Here() const { return static_cast<int32_t>(out_.size()); }
  void Patch(int32_t at, int32_t target) { out_[at].operand = target; }

 private:
  int32_t NewSlot() { return static_cast<int32_t>(slots_++); }

  void EmitClass(const Node& node) {
    int32_t head = Add(node.negated ? Op::NotInClass : Op::InClass, 0);
    for (int32_t bound : node.bounds) Add(Op::Nop, bound);
    Patch(head, Here());
  }

  // The body of `(X)` or `{X}`: a single Nop when X is empty.
  void EmitBody(int32_t seq) {
    int32_t before = Here();
    Emit(seq);
    if (Here() == before) Add(Op::Nop, 0);
  }

  void EmitParen(const Node& node) {
    int32_t call = Add(Op::Call, 0);
    Add(Op::Return, 0);
    Patch(call, Here());
    EmitBody(node.children[0]);
  }

  void EmitBrace(const Node& node) {
    int32_t g = node.value;
    Add(Op::PushGroup, g);
    Add(Op::GroupStart, g);
    int32_t call = Add(Op::Call, 0);
    Add(Op::PopGroup, g);
    Add(Op::Return, 0);
    Patch(call, Here());
    EmitBody(node.children[0]);
    Add(Op::GroupEnd, g);
  }

  void EmitLook(const Node& node) {
    int32_t pos = NewSlot();
    int32_t height = NewSlot();
    Add(Op::SavePos, pos);
    Add(Op::SaveStack, height);
    int32_t call = Add(Op::Call, 0);
    Add(Op::LoadPos, pos);
    Add(Op::LoadStack, height);
    int32_t jump = Add(Op::Jump, 0);
    Patch(call, Here());
    Emit(node.children[0]);
    Add(Op::LoadPos, pos);
    Add(Op::LoadStack, height);
    Add(Op::Return, 0);
    Patch(jump, Here());
  }

  // A|B: PushPos; Call -> A; PopPos; Jump -> B; A; Jump -> end; B; end.
  // A chain A|(B|C) is emitted in a loop; every Jump -> end meets at its end.
  void EmitAlt(const Node& node) {
    std::vector<int32_t> toEnd;
    const Node* alt = &node;
    for (;;) {
      Add(Op::PushPos, 0);
      int32_t call = Add(Op::Call, 0);
      Add(Op::PopPos, 0);
      int32_t toSecond = Add(Op::Jump, 0);
      Patch(call, Here());
      Emit(alt->children[0]);
      toEnd.push_back(Add(Op::Jump, 0));
      Patch(toSecond, Here());
      const Node& second = tree_.nodes[alt->children[1]];
      if (second.kind != Kind::Alt) {
        Emit(alt->children[1]);
        break;
      }
      alt = &second;
    }
    for (int32_t jump : toEnd) Patch(jump, Here());
  }

  // Greedy `*` (loop) or `?` (no loop) around a copy of `atom`.
  void EmitGreedy(int32_t atom, bool loop) {
    int32_t m = NewSlot();
    int32_t top = Add(Op::PushSlot, m);
    Add(Op::SavePos, m);
    Add(Op::PushPos, 0);
    int32_t call = Add(Op::Call, 0);
    Add(Op::PopPos, 0);
    Add(Op::PopSlot, m);
    int32_t exit = Add(Op::Jump, 0);
    Patch(call, Here());
    Emit(atom);
    Add(Op::ReturnIfEmpty, m);
    Add(Op::SavePos, m);
    if (loop) Add(Op::Jump, top);
    Patch(exit, Here());
  }

  // Lazy forms try the continuation first and the operand when that fails:
  // C: PushPos; Call -> end; PopPos; X; [Jump -> C;] end. The position is
  // saved with the frame, since the continuation may have consumed text
  // before it failed.
  void EmitLazy(int32_t atom, bool loop) {
    int32_t top = Add(Op::PushPos, 0);
    int32_t call = Add(Op::Call, 0);
    Add(Op::PopPos, 0);
    Emit(atom);
    if (loop) Add(Op::Jump, top);
    Patch(call, Here());
  }

  void EmitQuant(const Node& node) {
    int32_t atom = node.children[0];
    switch (node.quant) {
      case Op::Star:
        EmitGreedy(atom, true);
        break;
      case Op::Optional:
        EmitGreedy(atom, false);
        break;
      case Op::Plus:
        Emit(atom);
        EmitGreedy(atom, true);
        break;
      case Op::LazyStar:
        EmitLazy(atom, true);
        break;
      case Op::LazyPlus:
        Emit(atom);
        EmitLazy(atom, true);
        break;
      case Op::LazyOptional:
        EmitLazy(atom, false);
        break;
      default:
        break;
    }
  }

  const Tree& tree_;
  std::vector<Instruction>& out_;
  uint32_t slots_ = 0;
};

}  // namespace

const char* OpName(Op op) {
  switch (op) {
    case Op::Nop:
      return "Nop";
    case Op::GroupStart:
      return "GroupStart";
    case Op::GroupEnd:
      return "GroupEnd";
    case Op::Char:
      return "Char";
    case Op::AnyChar:
      return "AnyChar";
    case Op::InClass:
      return "InClass";
    case Op::NotInClass:
      return "NotInClass";
    case Op::Plus:
      return "Plus";
    case Op::LazyPlus:
      return "LazyPlus";
    case Op::Optional:
      return "Optional";
    case Op::LazyOptional:
      return "LazyOptional";
    case Op::Jump:
      return "Jump";
    case Op::PushPos:
      return "PushPos";
    case Op::PopPos:
      return "PopPos";
    case Op::Call:
      return "Call";
    case Op::Return:
      return "Return";
    case Op::Star:
      return "Star";
    case Op::LazyStar:
      return "LazyStar";
    case Op::PushSlot:
      return "PushSlot";
    case Op::PopSlot:
      return "PopSlot";
    case Op::SavePos:
      return "SavePos";
    case Op::SaveStack:
      return "SaveStack";
    case Op::LoadPos:
      return "LoadPos";
    case Op::LoadStack:
      return "LoadStack";
    case Op::ReturnIfEmpty:
      return "ReturnIfEmpty";
    case Op::BackRef:
      return "BackRef";
    case Op::Fail:
      return "Fail";
    case Op::Advance:
      return "Advance";
    case Op::Match:
      return "Match";
    case Op::PushGroup:
      return "PushGroup";
    case Op::PopGroup:
      return "PopGroup";
  }
  return "?";
}

int CompiledPattern::Compile(const char16_t* pattern) {
  if (pattern == nullptr) {
    instructions.clear();
    groupCount = 0;
    slotCount = 0;
    lastError = kParseNullPattern;
    return lastError;
  }
  return Compile(std::u16string_view(pattern));
}

int CompiledPattern::Compile(std::u16string_view pattern) {
  instructions.clear();
  groupCount = 0;
  slotCount = 0;
  lastError = kParseOk;
  caseSensitive = 1;
  // A pattern is a NUL-terminated text: a view ends at its first NUL too.
  pattern = pattern.substr(0, pattern.find(u'\0'));
  try {
    Tree tree;
    const int32_t root = regex_internal::ParsePattern(tree, pattern);

    Emitter emitter(tree, instructions);
    emitter.Add(Op::Call, 0);
    emitter.Add(!pattern.empty() && pattern[0] == u'^' ? Op::Fail : Op::Advance, 0);
    emitter.Emit(root);
    emitter.Patch(0, 2);
    emitter.Add(Op::Match, 0);
    groupCount = tree.groupsOpened;
    slotCount = emitter.slotCount();
  } catch (const CompileFailure& failure) {
    lastError = failure.code;
  } catch (const std::bad_alloc&) {
    lastError = kParseOutOfMemory;
  }
  if (lastError != kParseOk) {
    instructions.clear();
    groupCount = 0;
    slotCount = 0;
  }
  return lastError;
}

std::string CompiledPattern::Dump() const {
  std::string out;
  for (size_t i = 0; i < instructions.size(); ++i) {
    out += std::to_string(i);
    out += ' ';
    out += OpName(instructions[i].op);
    out += ' ';
    out += std::to_string(instructions[i].operand);
    out += '\n';
  }
  return out;
}
