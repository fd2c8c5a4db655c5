// A working view of the store for a step that inserts lines and searches
// again after each insertion: lines are found by number through indexes
// kept up to date with the step's own edits, a line's place is known in log
// time, and the inserted lines go into the store in one pass at the end
// (InsertLinesAt, so the conversion report sees them). The step's cost then
// grows with its lines, not with searches times lines.
#ifndef CNV_ENGINE_INDEXED_LINES_H_
#define CNV_ENGINE_INDEXED_LINES_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cnv_base.h"
#include "engine/line_ops.h"
#include "engine/report.h"
#include "regex/regex.h"
#include "regex/search.h"

// A sequence of lines in which a line can be added directly after any
// other, with the position of a line and the n-th marked line in log time:
// a tree ordered by position and heap-ordered by random priorities.
class LineOrder {
 public:
  // Adds a line directly after line `after` (-1: the first line of an empty
  // sequence) and returns its id; ids are given out 0, 1, 2, ...
  int AddAfter(int after);
  int Position(int id) const;
  void SetMarked(int id, bool marked);
  int MarkedCount() const { return root_ < 0 ? 0 : nodes_[Index(root_)].marked; }
  // The id of the n-th marked line (from 0), -1 when there are not so many.
  int NthMarked(int n) const;
  // Every id, in sequence order.
  std::vector<int> InOrder() const;

 private:
  struct Node {
    int left = -1;
    int right = -1;
    int parent = -1;
    uint32_t priority = 0;
    int size = 1;      // lines in the subtree
    int marked = 0;    // marked lines in the subtree
    bool own = false;  // whether this line is marked
  };

  static std::size_t Index(int id) { return static_cast<std::size_t>(id); }
  int Size(int id) const { return id < 0 ? 0 : nodes_[Index(id)].size; }
  int Marked(int id) const { return id < 0 ? 0 : nodes_[Index(id)].marked; }
  void Pull(int id);
  void RotateUp(int id);

  std::vector<Node> nodes_;
  int root_ = -1;
  uint32_t random_ = 2463534242u;  // xorshift state: the same tree on every run
};

class IndexedLines {
 public:
  // Appends the numbers N whose pattern (of one search) `text` may match.
  // Naming too many is harmless, as a line is checked with the pattern
  // before it is given; naming too few would hide a line.
  using Candidates = void (*)(std::u16string_view text, std::vector<int>& numbers);

  // Indexes the command parts of `store`: the lines matching `markPattern`
  // are marked, and search k finds lines by the numbers `searches[k]` names.
  IndexedLines(CCnvBase& store, std::u16string_view markPattern, std::vector<Candidates> searches);
  IndexedLines(const IndexedLines&) = delete;
  IndexedLines& operator=(const IndexedLines&) = delete;

  int MarkedCount() const { return order_.MarkedCount(); }
  // The id of the n-th marked line in store order, -1 past the last.
  int NthMarked(int n) const { return order_.NthMarked(n); }
  // The command part of line `id`.
  const std::u16string& Text(int id) const;
  // The first line in store order whose command part matches `pattern`,
  // which is search `search`'s pattern for `number` (always the same for
  // the same two), recorded as FindLines does but with m_line holding the
  // line's id; false when none matches. A pattern that does not compile
  // sets error 3, as in FindLines.
  bool FindFirst(std::size_t search, int number, std::u16string_view pattern, CCnvMatch& match);
  // The input line of line `id`, as LineAt gives it: none for an inserted
  // line.
  InputLine InputLineOf(int id) const;
  // Gives line `id` a new command part (a line of the store through
  // SetCommandPart).
  void Rewrite(int id, std::u16string text);
  // Inserts `lines` directly after line `id`, as command parts or, with
  // asComment, as comment parts of empty lines; always 1, like InsertLines.
  int InsertAfter(int id, const std::vector<std::u16string>& lines, int asComment);
  // Puts the inserted lines into the store with InsertLinesAt; the view is
  // not used after.
  void Apply();

 private:
  // Orders line ids by their place; adding lines never changes the order
  // of the lines already there.
  struct ByPosition {
    const LineOrder* order;
    bool operator()(int a, int b) const { return order->Position(a) < order->Position(b); }
  };
  using LineSet = std::set<int, ByPosition>;

  // Marks line `id` by its text and files it under the numbers it may match.
  void Index(int id);

  CCnvBase& store_;
  CompiledPattern markPattern_;
  std::optional<PatternSearcher> marks_;  // none when the mark pattern does not compile
  std::vector<Candidates> searches_;
  int stored_ = 0;  // lines of the store; higher ids are inserted lines
  std::vector<std::u16string> addedCmds_;
  std::vector<std::u16string> addedComments_;
  LineOrder order_;
  // For each search, by number: lines that may match, in store order. A
  // line that matches is always filed; one found not to match is dropped.
  std::vector<std::map<int, LineSet>> byNumber_;
  std::vector<int> numbers_;  // scratch for Index
};

#endif  // CNV_ENGINE_INDEXED_LINES_H_
