#include "engine/indexed_lines.h"

#include <utility>

namespace {

// Lines up to this long are searched by FindFirst without the searcher's
// analysis of the pattern.
constexpr std::size_t kShortLine = 256;

// Whether FindLines would record `text` for the searcher's pattern.
bool Records(PatternSearcher& searcher, std::u16string_view text) {
  return searcher.Match(text) && !searcher.state().groups.empty() &&
         searcher.state().groups[0].matched();
}

}  // namespace

int LineOrder::AddAfter(int after) {
  const int id = static_cast<int>(nodes_.size());
  random_ ^= random_ << 13;
  random_ ^= random_ >> 17;
  random_ ^= random_ << 5;
  nodes_.push_back(Node{});
  nodes_.back().priority = random_;
  if (after < 0) {
    root_ = id;
    return id;
  }
  // Directly after `after`: its right child, else the leftmost line of its
  // right subtree gets the new line as left child.
  int parent = after;
  if (nodes_[Index(after)].right < 0) {
    nodes_[Index(after)].right = id;
  } else {
    parent = nodes_[Index(after)].right;
    while (nodes_[Index(parent)].left >= 0) parent = nodes_[Index(parent)].left;
    nodes_[Index(parent)].left = id;
  }
  nodes_[Index(id)].parent = parent;
  for (int p = parent; p >= 0; p = nodes_[Index(p)].parent) Pull(p);
  while (nodes_[Index(id)].parent >= 0 &&
         nodes_[Index(nodes_[Index(id)].parent)].priority < nodes_[Index(id)].priority) {
    RotateUp(id);
  }
  return id;
}

int LineOrder::Position(int id) const {
  int position = Size(nodes_[Index(id)].left);
  for (int child = id, p = nodes_[Index(id)].parent; p >= 0;
       child = p, p = nodes_[Index(p)].parent) {
    if (nodes_[Index(p)].right == child) position += Size(nodes_[Index(p)].left) + 1;
  }
  return position;
}

void LineOrder::SetMarked(int id, bool marked) {
  if (nodes_[Index(id)].own == marked) return;
  nodes_[Index(id)].own = marked;
  for (int p = id; p >= 0; p = nodes_[Index(p)].parent) Pull(p);
}

int LineOrder::NthMarked(int n) const {
  if (n < 0 || n >= MarkedCount()) return -1;
  int id = root_;
  while (id >= 0) {
    const Node& node = nodes_[Index(id)];
    const int before = Marked(node.left);
    if (n < before) {
      id = node.left;
      continue;
    }
    n -= before;
    if (node.own) {
      if (n == 0) return id;
      --n;
    }
    id = node.right;
  }
  return -1;
}

std::vector<int> LineOrder::InOrder() const {
  std::vector<int> ids;
  ids.reserve(nodes_.size());
  std::vector<int> pending;  // lines whose left subtree is being listed
  int id = root_;
  while (id >= 0 || !pending.empty()) {
    for (; id >= 0; id = nodes_[Index(id)].left) pending.push_back(id);
    id = pending.back();
    pending.pop_back();
    ids.push_back(id);
    id = nodes_[Index(id)].right;
  }
  return ids;
}

void LineOrder::Pull(int id) {
  Node& node = nodes_[Index(id)];
  node.size = 1 + Size(node.left) + Size(node.right);
  node.marked = (node.own ? 1 : 0) + Marked(node.left) + Marked(node.right);
}

// Puts line `id` in its parent's place, the parent becoming its child.
void LineOrder::RotateUp(int id) {
  const int parent = nodes_[Index(id)].parent;
  const int grandparent = nodes_[Index(parent)].parent;
  Node& node = nodes_[Index(id)];
  Node& up = nodes_[Index(parent)];
  if (up.left == id) {
    up.left = node.right;
    if (node.right >= 0) nodes_[Index(node.right)].parent = parent;
    node.right = parent;
  } else {
    up.right = node.left;
    if (node.left >= 0) nodes_[Index(node.left)].parent = parent;
    node.left = parent;
  }
  up.parent = id;
  node.parent = grandparent;
  if (grandparent < 0) {
    root_ = id;
  } else if (nodes_[Index(grandparent)].left == parent) {
    nodes_[Index(grandparent)].left = id;
  } else {
    nodes_[Index(grandparent)].right = id;
  }
  Pull(parent);
  Pull(id);
}

IndexedLines::IndexedLines(CCnvBase& store, std::u16string_view markPattern,
                           std::vector<Candidates> searches)
    : store_(store),
      searches_(std::move(searches)),
      stored_(store.LineCount()),
      byNumber_(searches_.size()) {
  if (markPattern_.Compile(markPattern) == kParseOk) {
    marks_.emplace(markPattern_);
  } else {
    store_.SetError(kCnvOperationError);
  }
  for (int id = 0; id < stored_; ++id) {
    order_.AddAfter(id - 1);
    Index(id);
  }
}

const std::u16string& IndexedLines::Text(int id) const {
  return id < stored_ ? store_.m_cmdLines[static_cast<std::size_t>(id)]
                      : addedCmds_[static_cast<std::size_t>(id - stored_)];
}

InputLine IndexedLines::InputLineOf(int id) const {
  // The store itself is unchanged until Apply.
  return id < stored_ ? LineAt(store_, id) : InputLine{};
}

bool IndexedLines::FindFirst(std::size_t search, int number, std::u16string_view pattern,
                             CCnvMatch& match) {
  CompiledPattern compiled;
  if (compiled.Compile(pattern) != kParseOk) {
    store_.SetError(kCnvOperationError);
    return false;
  }
  const auto filed = byNumber_[search].find(number);
  if (filed == byNumber_[search].end()) return false;
  // The analysis that speeds a search up costs more than a plain run over
  // a short line, so it is made only for a long one; both give the results
  // of the same match.
  PatternSearcher plain(compiled, false);
  std::optional<PatternSearcher> accelerated;
  LineSet& lines = filed->second;
  for (auto line = lines.begin(); line != lines.end();) {
    const std::u16string& text = Text(*line);
    PatternSearcher& searcher = text.size() <= kShortLine ? plain
                                : accelerated             ? *accelerated
                                                          : accelerated.emplace(compiled);
    if (Records(searcher, text)) {
      const GroupSpan& group = searcher.state().groups[0];
      match = CCnvMatch(*line, text, group.start, group.end, 0);
      return true;
    }
    // Only a rewrite can make the line match again, and it files it anew.
    line = lines.erase(line);
  }
  return false;
}

void IndexedLines::Rewrite(int id, std::u16string text) {
  if (id < stored_) {
    SetCommandPart(store_, id, std::move(text));
  } else {
    addedCmds_[static_cast<std::size_t>(id - stored_)] = std::move(text);
  }
  Index(id);
}

int IndexedLines::InsertAfter(int id, const std::vector<std::u16string>& lines, int asComment) {
  int after = id;
  for (const std::u16string& line : lines) {
    after = order_.AddAfter(after);
    addedCmds_.push_back(asComment != 0 ? std::u16string() : line);
    addedComments_.push_back(asComment != 0 ? line : std::u16string());
    Index(after);
  }
  return 1;
}

void IndexedLines::Apply() {
  if (addedCmds_.empty()) return;
  // Each inserted line goes in front of the store line that follows it.
  std::vector<LineInsert> inserts;
  inserts.reserve(addedCmds_.size());
  int next = 0;
  for (int id : order_.InOrder()) {
    if (id < stored_) {
      next = id + 1;
      continue;
    }
    const std::size_t i = static_cast<std::size_t>(id - stored_);
    inserts.push_back({next, std::move(addedCmds_[i]), std::move(addedComments_[i])});
  }
  InsertLinesAt(store_, std::move(inserts));
}

void IndexedLines::Index(int id) {
  const std::u16string& text = Text(id);
  if (marks_) order_.SetMarked(id, Records(*marks_, text));
  for (std::size_t search = 0; search < searches_.size(); ++search) {
    numbers_.clear();
    searches_[search](text, numbers_);
    for (int number : numbers_) {
      byNumber_[search].try_emplace(number, ByPosition{&order_}).first->second.insert(id);
    }
  }
}
