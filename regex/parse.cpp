// Recursive-descent parser of the pattern syntax into the small tree the
// compiler emits a program from.
#include "regex/parse.h"

#include <limits>
#include <utility>

namespace regex_internal {

namespace {

// Deeper nesting than this is refused (as out of memory) so that the
// recursive parser, and the emitter that walks the tree it builds, cannot
// exhaust the call stack.
constexpr int kMaxNesting = 200;

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

}  // namespace

int32_t ParsePattern(Tree& tree, std::u16string_view pattern) {
  Parser parser(tree, pattern, 0);
  parser.SkipLeadingCaret();
  return parser.ParseSequence();
}

}  // namespace regex_internal
