// Compiler of the pattern syntax into a flat instruction program.
//
// The pattern is parsed once into a small tree, then the tree is emitted with
// the instruction templates below. Emitting a quantifier's operand twice (the
// kept first copy of `+`, the copy inside a loop) is done from the same
// subtree, so compilation stays linear in the pattern except where the
// program itself duplicates code.
#include <limits>
#include <new>
#include <string>

#include "regex/regex.h"

namespace {

// Deeper nesting than this is refused (as out of memory) so that the
// recursive parser and emitter cannot exhaust the call stack.
constexpr int kMaxNesting = 200;
// Nested `+` operands double the program at each level; this bounds it.
constexpr size_t kMaxInstructions = size_t{1} << 20;

struct CompileFailure {
  int code;
};

enum class Kind : uint8_t {
  Literal,   // value: character code
  Any,       // `.`
  End,       // trailing `$`
  Class,     // negated; bounds: low, high pairs
  Paren,     // children[0]: the sequence
  Brace,     // value: group; children[0]: the sequence
  Look,      // children[0]: the atom
  BackRef,   // value: group; emptyOk: may match the empty string
  Quant,     // quant: the quantifier; children[0]: the atom
  Alt,       // children[0], children[1]: the two items
  Sequence,  // children: the items
};

struct Node {
  Kind kind = Kind::Sequence;
  Op quant = Op::Nop;
  bool negated = false;
  bool emptyOk = false;
  int32_t value = 0;
  std::vector<int32_t> children;
  std::vector<int32_t> bounds;
};

// What the parsers of a pattern and of its abbreviations share.
struct Tree {
  std::vector<Node> nodes;
  uint32_t groupsOpened = 0;
  std::vector<int32_t> groupNodes;  // group -> its Brace node
  std::vector<bool> groupClosed;

  int32_t Add(Node node) {
    nodes.push_back(std::move(node));
    return static_cast<int32_t>(nodes.size() - 1);
  }
};

constexpr int32_t kNoAtom = -1;

struct Abbreviation {
  char16_t letter;
  const char16_t* expansion;
};

constexpr Abbreviation kAbbreviations[] = {
    {u'a', u"([a-zA-Z0-9])"},
    {u'b', u"([ \t])"},
    {u'c', u"([a-zA-Z])"},
    {u'd', u"([0-9])"},
    {u'h', u"([0-9a-fA-F])"},
    {u'n', u"(\r|(\r?\n))"},
    {u'q', u"(\"[^\"]*\")|('[^']*')"},
    {u'w', u"([a-zA-Z]+)"},
    {u'z', u"([0-9]+)"},
};

const char16_t* FindAbbreviation(char16_t letter) {
  for (const Abbreviation& a : kAbbreviations) {
    if (a.letter == letter) return a.expansion;
  }
  return nullptr;
}

bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// Recursive-descent parser of one pattern text into `tree`.
class Parser {
 public:
  Parser(Tree& tree, std::u16string_view text, int depth)
      : tree_(tree), text_(text), depth_(depth) {}

  void SkipLeadingCaret() {
    if (!text_.empty() && text_[0] == u'^') pos_ = 1;
  }

  // A sequence of items, up to `)`, `}`, `]` or the end of the text.
  int32_t ParseSequence() {
    Enter();
    Node seq;
    seq.kind = Kind::Sequence;
    for (;;) {
      int32_t item = ParseItem();
      if (item == kNoAtom) break;
      seq.children.push_back(item);
    }
    Leave();
    return tree_.Add(std::move(seq));
  }

  // One quantified item without alternation (how abbreviations are read).
  int32_t ParseQuantified() {
    int32_t atom = ParseAtom();
    if (atom == kNoAtom) return kNoAtom;
    Op quant = ReadQuantifier();
    if (quant == Op::Nop) return atom;
    bool loop =
        quant == Op::Star || quant == Op::Plus || quant == Op::LazyStar || quant == Op::LazyPlus;
    if (loop && CanBeEmpty(atom)) throw CompileFailure{kParseEmptyLoopOperand};
    Node node;
    node.kind = Kind::Quant;
    node.quant = quant;
    node.children.push_back(atom);
    return tree_.Add(std::move(node));
  }

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  char16_t Peek() const { return AtEnd() ? u'\0' : text_[pos_]; }

  void Enter() {
    if (++depth_ > kMaxNesting) throw CompileFailure{kParseOutOfMemory};
  }
  void Leave() { --depth_; }

  // An item, with `|` and a further item when one follows. A chain
  // `A|B|C` nests to the right, A|(B|C); it is read in a loop.
  int32_t ParseItem() {
    int32_t first = ParseQuantified();
    if (first == kNoAtom) return first;
    std::vector<int32_t> items{first};
    while (!AtEnd() && Peek() == u'|') {
      ++pos_;
      int32_t next = ParseQuantified();
      if (next == kNoAtom) {
        // `a|` before the end of a sequence: the last alternative is empty.
        Node empty;
        empty.kind = Kind::Sequence;
        items.push_back(tree_.Add(std::move(empty)));
        break;
      }
      items.push_back(next);
    }
    int32_t result = items.back();
    for (size_t i = items.size() - 1; i-- > 0;) {
      Node alt;
      alt.kind = Kind::Alt;
      alt.children = {items[i], result};
      result = tree_.Add(std::move(alt));
    }
    return result;
  }

  Op ReadQuantifier() {
    char16_t c = Peek();
    if (AtEnd() || (c != u'*' && c != u'+' && c != u'?')) return Op::Nop;
    ++pos_;
    bool lazy = !AtEnd() && Peek() == u'?';
    if (lazy) ++pos_;
    switch (c) {
      case u'*':
        return lazy ? Op::LazyStar : Op::Star;
      case u'+':
        return lazy ? Op::LazyPlus : Op::Plus;
      default:
        return lazy ? Op::LazyOptional : Op::Optional;
    }
  }

  int32_t ParseAtom() {
    if (AtEnd()) return kNoAtom;
    char16_t c = text_[pos_];
    switch (c) {
      case u')':
      case u'}':
      case u']':
        return kNoAtom;
      case u'(':
        return ParseParen();
      case u'{':
        return ParseBrace();
      case u'[':
        return ParseClass();
      case u'.':
        ++pos_;
        return Simple(Kind::Any, 0);
      case u'!':
        return ParseLook();
      case u'\\':
        return ParseEscape();
      case u'$':
        ++pos_;
        return pos_ == text_.size() ? Simple(Kind::End, 0) : Simple(Kind::Literal, c);
      default:
        ++pos_;
        return Simple(Kind::Literal, c);
    }
  }

  int32_t Simple(Kind kind, int32_t value) {
    Node node;
    node.kind = kind;
    node.value = value;
    return tree_.Add(std::move(node));
  }

  int32_t ParseParen() {
    ++pos_;
    int32_t seq = ParseSequence();
    if (Peek() != u')' || AtEnd()) throw CompileFailure{kParseMissingParen};
    ++pos_;
    Node node;
    node.kind = Kind::Paren;
    node.children.push_back(seq);
    return tree_.Add(std::move(node));
  }

  int32_t ParseBrace() {
    ++pos_;
    uint32_t group = tree_.groupsOpened++;
    int32_t self = tree_.Add(Node{});
    tree_.groupNodes.push_back(self);
    tree_.groupClosed.push_back(false);
    int32_t seq = ParseSequence();
    if (Peek() != u'}' || AtEnd()) throw CompileFailure{kParseMissingBrace};
    ++pos_;
    tree_.groupClosed[group] = true;
    Node& node = tree_.nodes[self];
    node.kind = Kind::Brace;
    node.value = static_cast<int32_t>(group);
    node.children.push_back(seq);
    return self;
  }

  int32_t ParseLook() {
    size_t bang = pos_++;
    Enter();
    int32_t atom = ParseAtom();
    Leave();
    if (atom == kNoAtom) {
      // Nothing to look ahead at: the `!` is an ordinary character.
      pos_ = bang + 1;
      return Simple(Kind::Literal, u'!');
    }
    Node node;
    node.kind = Kind::Look;
    node.children.push_back(atom);
    return tree_.Add(std::move(node));
  }

  int32_t ParseEscape() {
    ++pos_;
    if (AtEnd()) return Simple(Kind::Literal, u'\\');  // a trailing backslash is itself
    char16_t c = text_[pos_];
    if (IsDigit(c)) return ParseBackReference();
    if (const char16_t* expansion = FindAbbreviation(c)) {
      ++pos_;
      return ParseAbbreviation(expansion);
    }
    ++pos_;
    return Simple(Kind::Literal, c);
  }

  int32_t ParseBackReference() {
    uint64_t number = 0;
    while (!AtEnd() && IsDigit(text_[pos_])) {
      number = number * 10 + (text_[pos_] - u'0');
      if (number > std::numeric_limits<uint32_t>::max())
        number = std::numeric_limits<uint32_t>::max();
      ++pos_;
    }
    if (number >= tree_.groupsOpened) throw CompileFailure{kParseBadBackReference};
    int32_t node = Simple(Kind::BackRef, static_cast<int32_t>(number));
    // A reference to a finished group is empty when the group can be. One
    // to an unfinished group counts as possibly empty too: the group is
    // unset on the way in, but once a failed continuation has passed its
    // end it holds a span, maybe an empty one, when the run backtracks
    // into it (`{\0*?}x` looped for ever).
    bool closed = tree_.groupClosed[number];
    bool emptyOk = !closed || CanBeEmpty(tree_.groupNodes[number]);
    tree_.nodes[node].emptyOk = emptyOk;
    return node;
  }

  int32_t ParseAbbreviation(const char16_t* expansion) {
    try {
      Parser sub(tree_, expansion, depth_);
      int32_t item = sub.ParseQuantified();
      if (item == kNoAtom) throw CompileFailure{kParseBadAbbreviation};
      return item;
    } catch (const CompileFailure& failure) {
      if (failure.code == kParseOutOfMemory) throw;
      throw CompileFailure{kParseBadAbbreviation};
    }
  }

  // Reads one class member character, with `\t` and `\` escapes.
  char16_t ReadClassChar() {
    if (AtEnd()) throw CompileFailure{kParseMissingBracket};
    char16_t c = text_[pos_++];
    if (c != u'\\') return c;
    if (AtEnd()) throw CompileFailure{kParseMissingBracket};
    c = text_[pos_++];
    return c == u't' ? u'\t' : c;
  }

  int32_t ParseClass() {
    ++pos_;
    Node node;
    node.kind = Kind::Class;
    if (Peek() == u'^' && !AtEnd()) {
      node.negated = true;
      ++pos_;
    }
    for (;;) {
      if (AtEnd()) throw CompileFailure{kParseMissingBracket};
      if (text_[pos_] == u']') {
        ++pos_;
        break;
      }
      char16_t low = ReadClassChar();
      char16_t high = low;
      if (!AtEnd() && text_[pos_] == u'-') {
        ++pos_;
        if (AtEnd()) throw CompileFailure{kParseMissingBracket};
        high = text_[pos_++];  // the upper bound is taken as written
        if (high < low) throw CompileFailure{kParseBadRange};
      }
      node.bounds.push_back(low);
      node.bounds.push_back(high);
    }
    if (node.bounds.empty()) throw CompileFailure{kParseEmptyClass};
    return tree_.Add(std::move(node));
  }

  // Whether the atom or item `index` can match the empty string.
  bool CanBeEmpty(int32_t index) const {
    const Node& node = tree_.nodes[index];
    switch (node.kind) {
      case Kind::Literal:
      case Kind::Any:
      case Kind::End:
      case Kind::Class:
        return false;
      case Kind::BackRef:
        return node.emptyOk;
      case Kind::Look:
        return true;  // it never consumes anything
      case Kind::Paren:
      case Kind::Brace:
        return CanBeEmpty(node.children[0]);
      case Kind::Quant:
        return node.quant != Op::Plus || CanBeEmpty(node.children[0]);
      case Kind::Alt: {
        int32_t at = index;
        while (tree_.nodes[at].kind == Kind::Alt) {
          if (CanBeEmpty(tree_.nodes[at].children[0])) return true;
          at = tree_.nodes[at].children[1];
        }
        return CanBeEmpty(at);
      }
      case Kind::Sequence:
        for (int32_t child : node.children) {
          if (!CanBeEmpty(child)) return false;
        }
        return true;
    }
    return false;
  }

  Tree& tree_;
  std::u16string_view text_;
  size_t pos_ = 0;
  int depth_;
};

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
    Parser parser(tree, pattern, 0);
    parser.SkipLeadingCaret();
    int32_t root = parser.ParseSequence();

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
