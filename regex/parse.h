// Private to the matcher: the parse tree of a pattern and the parser that
// builds it, which the compiler (regex/compile.cpp) emits a program from.
#ifndef CNV_REGEX_PARSE_H_
#define CNV_REGEX_PARSE_H_

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "regex/regex.h"

namespace regex_internal {

// Thrown where a pattern cannot be compiled: a ParseError code.
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

// Parses `pattern` into `tree`, from after a leading `^` up to its end or
// to the first `)`, `}` or `]` that closes nothing; returns the index of the
// root sequence. Throws CompileFailure.
int32_t ParsePattern(Tree& tree, std::u16string_view pattern);

}  // namespace regex_internal

#endif  // CNV_REGEX_PARSE_H_
