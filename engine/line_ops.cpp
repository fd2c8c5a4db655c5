#include "engine/line_ops.h"

#include <algorithm>
#include <limits>

#include "engine/index_erase.h"
#include "engine/index_insert.h"
#include "engine/report.h"
#include "regex/regex.h"
#include "regex/search.h"

// The one way into the store's lines for the operations that change them.
class LineStoreEdits {
 public:
  static std::vector<std::u16string>& Cmd(CCnvBase& store) { return store.m_cmdLines; }
  static std::vector<std::u16string>& Comment(CCnvBase& store) { return store.m_commentLines; }
};

namespace {

// Appends a record for group 0 of the last match when the pattern has a
// group that took part in it.
bool AppendGroup0(CCnvMatchList& list, const MatchState& state, int line,
                  const std::u16string& text, int inComment) {
  if (state.groups.empty() || !state.groups[0].matched()) return false;
  list.emplace_back(line, CCnvMatchText(text), state.groups[0].start, state.groups[0].end,
                    inComment);
  return true;
}

}  // namespace

int FindLines(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list, int first,
              int last, int includeComments) {
  return FindLinesUpTo(store, pattern, list, first, last, includeComments,
                       std::numeric_limits<size_t>::max());
}

int FindLinesUpTo(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list, int first,
                  int last, int includeComments, size_t limit) {
  list.clear();
  const int count = store.LineCount();
  if (first < 0 || last > count - 1 || (last >= 0 && last < first)) {
    store.SetError(kCnvOperationError);
    return 0;
  }
  // Compiled and analysed once per process; one working memory serves every
  // line of the search.
  PatternSearcher searcher(SharedSearchProgram(pattern));
  if (searcher.program().error() != kParseOk) {
    store.SetError(kCnvOperationError);
    return 0;
  }
  if (last < 0) last = count - 1;
  for (int i = first; i <= last && list.size() < limit; ++i) {
    const std::u16string& cmd = store.CmdLines()[static_cast<size_t>(i)];
    if (searcher.Match(cmd)) AppendGroup0(list, searcher.state(), i, cmd, 0);
    if (includeComments != 0 && list.size() < limit) {
      const std::u16string& comment = store.CommentLines()[static_cast<size_t>(i)];
      if (searcher.Match(comment)) AppendGroup0(list, searcher.state(), i, comment, 1);
    }
  }
  return list.empty() ? 0 : 1;
}

int MatchLines(CCnvBase& store, std::u16string_view pattern, const std::vector<int32_t>& lines,
               CCnvMatchList& list, size_t limit) {
  list.clear();
  CompiledPattern compiled;
  if (compiled.Compile(pattern) != kParseOk) {
    store.SetError(kCnvOperationError);
    return 0;
  }
  MatchState state;
  for (const int32_t i : lines) {
    if (list.size() >= limit) break;
    if (i < 0 || i >= store.LineCount()) {
      list.clear();
      store.SetError(kCnvOperationError);
      return 0;
    }
    const std::u16string& cmd = store.CmdLines()[static_cast<size_t>(i)];
    if (MatchPattern(compiled, cmd, state)) AppendGroup0(list, state, i, cmd, 0);
  }
  return list.empty() ? 0 : 1;
}

int MatchAllInText(std::u16string_view pattern, std::u16string_view text, CCnvMatchList& list) {
  list.clear();
  PatternSearcher searcher(SharedSearchProgram(pattern));
  const CompiledPattern& compiled = searcher.program().compiled();
  if (searcher.program().error() != kParseOk || compiled.groupCount == 0) return 0;
  // Every record holds the whole text: one shared copy, however many matches.
  const CCnvMatchText whole(text);
  const MatchState& state = searcher.state();
  size_t offset = 0;  // where the rest begins in the whole text
  while (offset < text.size()) {
    if (!searcher.Match(text.substr(offset))) break;
    const size_t groups = std::min<size_t>(state.groups.size(), compiled.groupCount);
    for (size_t g = 0; g < groups; ++g) {
      const GroupSpan& span = state.groups[g];
      if (!span.matched()) continue;  // a group that took no part has no place
      list.emplace_back(0, whole, static_cast<int32_t>(offset) + span.start,
                        static_cast<int32_t>(offset) + span.end, 0);
    }
    // Go on after the last group. Without a place for it, or when the rest
    // would not shrink (an empty last group), there is nothing sound to go
    // on from, and the search stops after this match.
    const GroupSpan& lastGroup = state.groups[groups - 1];
    if (!lastGroup.matched() || lastGroup.end <= lastGroup.start) break;
    offset += static_cast<size_t>(lastGroup.end);
  }
  return list.empty() ? 0 : 1;
}

bool FirstMatchInText(std::u16string_view pattern, std::u16string_view text, CCnvMatch& match) {
  CompiledPattern compiled;
  MatchState state;
  if (compiled.Compile(pattern) != kParseOk || !MatchPattern(compiled, text, state)) return false;
  const size_t groups = std::min<size_t>(state.groups.size(), compiled.groupCount);
  for (size_t g = 0; g < groups; ++g) {
    if (!state.groups[g].matched()) continue;
    match = CCnvMatch(0, text, state.groups[g].start, state.groups[g].end, 0);
    return true;
  }
  return false;
}

int FindLineSequence(CCnvBase& store, const std::vector<std::u16string>& patterns,
                     CCnvMatchList& list) {
  list.clear();
  std::vector<PatternSearcher> searchers;
  searchers.reserve(patterns.size());
  for (const std::u16string& pattern : patterns) {
    searchers.emplace_back(SharedSearchProgram(pattern));
    if (searchers.back().program().error() != kParseOk) {
      store.SetError(kCnvOperationError);
      return 0;
    }
  }
  const int n = static_cast<int>(patterns.size());
  const int count = store.LineCount();
  if (n == 0) return 0;
  // A run lies wholly in command parts or wholly in comment parts.
  const auto runMatches = [&](const std::vector<std::u16string>& parts, int s) {
    for (int k = 0; k < n; ++k) {
      if (searchers[static_cast<size_t>(k)].program().compiled().groupCount == 0 ||
          !searchers[static_cast<size_t>(k)].Match(parts[static_cast<size_t>(s + k)])) {
        return false;
      }
    }
    return true;
  };
  const MatchState& last = searchers[static_cast<size_t>(n - 1)].state();
  for (int s = 0; s + n <= count; ++s) {
    const int line = s + n - 1;
    if (runMatches(store.CmdLines(), s)) {
      AppendGroup0(list, last, line, store.CmdLines()[static_cast<size_t>(line)], 0);
    }
    if (runMatches(store.CommentLines(), s)) {
      AppendGroup0(list, last, line, store.CommentLines()[static_cast<size_t>(line)], 1);
    }
  }
  return list.empty() ? 0 : 1;
}

int InsertLines(CCnvBase& store, const std::vector<std::u16string>& lines, int index,
                int asComment) {
  const std::vector<std::u16string> empty(lines.size());
  return asComment != 0 ? InsertLineParts(store, empty, lines, index)
                        : InsertLineParts(store, lines, empty, index);
}

int InsertLineParts(CCnvBase& store, const std::vector<std::u16string>& cmds,
                    const std::vector<std::u16string>& comments, int index) {
  if (cmds.size() != comments.size()) {
    store.SetError(kCnvOperationError);
    return 0;
  }
  const int count = store.LineCount();
  const size_t at =
      index >= 0 && index < count ? static_cast<size_t>(index) : store.CmdLines().size();
  std::vector<std::u16string>& cmd = LineStoreEdits::Cmd(store);
  std::vector<std::u16string>& comment = LineStoreEdits::Comment(store);
  cmd.insert(cmd.begin() + static_cast<ptrdiff_t>(at), cmds.begin(), cmds.end());
  comment.insert(comment.begin() + static_cast<ptrdiff_t>(at), comments.begin(), comments.end());
  NoteLinesInserted(store, at, cmds.size());
  return 1;
}

int InsertLineGroups(CCnvBase& store, const std::vector<LineGroup>& groups) {
  const size_t count = store.CmdLines().size();
  std::vector<IndexRun> runs;
  runs.reserve(groups.size());
  for (const LineGroup& group : groups) {
    const size_t before =
        group.before >= 0 && static_cast<size_t>(group.before) < count ? group.before : count;
    if (group.cmds.size() != group.comments.size() ||
        (!runs.empty() && before < runs.back().before)) {
      store.SetError(kCnvOperationError);
      return 0;
    }
    runs.push_back({before, group.cmds.size()});
  }
  InsertRuns(LineStoreEdits::Cmd(store), runs,
             [&](size_t r, size_t i) { return groups[r].cmds[i]; });
  InsertRuns(LineStoreEdits::Comment(store), runs,
             [&](size_t r, size_t i) { return groups[r].comments[i]; });
  NoteLineRunsInserted(store, runs);
  return 1;
}

int AppendCommentLines(CCnvBase& store, const std::vector<std::u16string>& lines) {
  return InsertLines(store, lines, store.LineCount(), 1);
}

void DeleteLine(CCnvBase& store, int index) {
  if (index < 0 || index >= store.LineCount()) return;
  NoteLinesDeleting(store, {static_cast<size_t>(index)});
  LineStoreEdits::Cmd(store).erase(LineStoreEdits::Cmd(store).begin() + index);
  LineStoreEdits::Comment(store).erase(LineStoreEdits::Comment(store).begin() + index);
}

void SetCommandPart(CCnvBase& store, int index, std::u16string text) {
  NoteLineChanging(store, static_cast<size_t>(index));
  LineStoreEdits::Cmd(store)[static_cast<size_t>(index)] = std::move(text);
}

int DeleteMatchedLines(CCnvBase& converter, const CCnvMatchList& list) {
  // The distinct lines the records name, in ascending order: a line found in
  // both of its parts, or records out of order, must not remove a line no
  // record names. One pass over each part then moves every kept line once.
  std::vector<std::size_t> drop;
  drop.reserve(list.size());
  for (const CCnvMatch& record : list) {
    if (record.m_line >= 0 && record.m_line < converter.LineCount())
      drop.push_back(static_cast<std::size_t>(record.m_line));
  }
  std::sort(drop.begin(), drop.end());
  drop.erase(std::unique(drop.begin(), drop.end()), drop.end());
  if (drop.empty()) return 1;
  NoteLinesDeleting(converter, drop);
  EraseIndexes(LineStoreEdits::Cmd(converter), drop);
  EraseIndexes(LineStoreEdits::Comment(converter), drop);
  return 1;
}

std::u16string TextBeforeQuote(std::u16string_view text) {
  const size_t quote = text.rfind(u'"');
  if (quote == std::u16string_view::npos) return std::u16string(text);
  if (quote == 0) return {};
  if (text[quote - 1] == u'\\') return std::u16string(text);
  return std::u16string(text.substr(0, quote));
}

std::u16string TextBeforeSyslog(std::u16string_view text) {
  const size_t p = text.find(u"syslog");
  if (p == std::u16string_view::npos) return std::u16string(text);
  if (p <= 1) return {};
  return std::u16string(text.substr(0, p - 1));
}

LiteralLines::LiteralLines(const CCnvBase& store, std::vector<std::u16string> literals) {
  for (std::u16string& literal : literals)
    literals_.push_back(MakeRequiredLiteral(std::move(literal)));
  lines_.resize(literals_.size());
  count_ = store.LineCount();
  for (int32_t i = 0; i < count_; ++i) File(store, i);
}

void LiteralLines::File(const CCnvBase& store, int32_t index) {
  const std::u16string& cmd = store.CmdLines()[static_cast<size_t>(index)];
  // A text too long for a scan's positions is filed everywhere: it may hold
  // any of them.
  const bool tooLong = cmd.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max());
  for (size_t k = 0; k < literals_.size(); ++k) {
    if (!tooLong &&
        FindLiteral(literals_[k], cmd.data(), static_cast<int32_t>(cmd.size()), 0) < 0) {
      continue;
    }
    std::vector<int32_t>& lines = lines_[k];
    lines.insert(std::lower_bound(lines.begin(), lines.end(), index), index);
  }
}

int LiteralLines::FindUpTo(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list,
                           size_t limit) const {
  PatternSearcher searcher(SharedSearchProgram(pattern));
  // A match contains each literal the analysis requires, and so every part
  // of one: a line that lacks a kept literal found in one cannot match.
  const std::vector<int32_t>* candidates = nullptr;
  for (const RequiredLiteral& required : searcher.hints().required) {
    for (size_t k = 0; k < literals_.size() && candidates == nullptr; ++k) {
      if (required.text.find(literals_[k].text) != std::u16string::npos) candidates = &lines_[k];
    }
    if (candidates != nullptr) break;
  }
  if (candidates == nullptr || searcher.program().error() != kParseOk ||
      store.LineCount() != count_) {
    return FindLinesUpTo(store, pattern, list, 0, -1, 0, limit);
  }
  list.clear();
  for (const int32_t i : *candidates) {
    if (list.size() >= limit) break;
    const std::u16string& cmd = store.CmdLines()[static_cast<size_t>(i)];
    if (searcher.Match(cmd)) AppendGroup0(list, searcher.state(), i, cmd, 0);
  }
  return list.empty() ? 0 : 1;
}

int LiteralLines::Insert(CCnvBase& store, const std::vector<std::u16string>& cmds,
                         const std::vector<std::u16string>& comments, int index) {
  const int count = store.LineCount();
  const int32_t at = index >= 0 && index < count ? index : count;
  if (InsertLineParts(store, cmds, comments, index) != 1) return 0;
  const int32_t added = static_cast<int32_t>(cmds.size());
  count_ += added;
  for (std::vector<int32_t>& filed : lines_) {
    for (int32_t& line : filed) {
      if (line >= at) line += added;
    }
  }
  for (int32_t i = at; i < at + added; ++i) File(store, i);
  return 1;
}

void LiteralLines::SetCommandPart(CCnvBase& store, int index, std::u16string text) {
  ::SetCommandPart(store, index, std::move(text));
  for (std::vector<int32_t>& filed : lines_) {
    const auto at = std::lower_bound(filed.begin(), filed.end(), index);
    if (at != filed.end() && *at == index) filed.erase(at);
  }
  File(store, index);
}

int FindCommandLines(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list) {
  return FindLines(store, pattern, list, 0, -1, 0);
}
