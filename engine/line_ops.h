// Line search and edit operations: every conversion step finds lines with
// patterns, receives the places as match records, and inserts new lines.
#ifndef CNV_ENGINE_LINE_OPS_H_
#define CNV_ENGINE_LINE_OPS_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cnv_base.h"
#include "regex/search.h"

// The text a search was made in, held by its match records. It never
// changes once made, so every record of one search shares a single copy:
// a record costs the same however long the text is. It reads like a const
// std::u16string.
class CCnvMatchText {
 public:
  CCnvMatchText() = default;
  explicit CCnvMatchText(std::u16string_view text)
      : m_shared(std::make_shared<const std::u16string>(text)) {}

  const std::u16string& str() const { return m_shared ? *m_shared : Empty(); }
  operator const std::u16string&() const { return str(); }
  operator std::u16string_view() const { return str(); }

  std::size_t size() const { return str().size(); }
  bool empty() const { return str().empty(); }
  char16_t operator[](std::size_t i) const { return str()[i]; }
  std::size_t find(std::u16string_view part, std::size_t pos = 0) const {
    return str().find(part, pos);
  }
  std::u16string substr(std::size_t pos = 0, std::size_t count = std::u16string::npos) const {
    return str().substr(pos, count);
  }

  friend bool operator==(const CCnvMatchText& a, const CCnvMatchText& b) {
    return a.str() == b.str();
  }
  friend bool operator==(const CCnvMatchText& a, std::u16string_view b) { return a.str() == b; }

 private:
  static const std::u16string& Empty() {
    static const std::u16string empty;
    return empty;
  }

  std::shared_ptr<const std::u16string> m_shared;  // null: the empty text
};

// One place found by a search.
class CCnvMatch {
 public:
  CCnvMatch() = default;
  CCnvMatch(int32_t line, CCnvMatchText text, int32_t start, int32_t end, int32_t inComment)
      : m_line(line), m_text(std::move(text)), m_start(start), m_end(end), m_inComment(inComment) {}
  CCnvMatch(int32_t line, std::u16string_view text, int32_t start, int32_t end, int32_t inComment)
      : CCnvMatch(line, CCnvMatchText(text), start, end, inComment) {}
  virtual ~CCnvMatch() = default;
  CCnvMatch(const CCnvMatch&) = default;
  CCnvMatch& operator=(const CCnvMatch&) = default;
  CCnvMatch(CCnvMatch&&) = default;
  CCnvMatch& operator=(CCnvMatch&&) = default;

  int32_t m_line = 0;    // line index in the store (0 for MatchAllInText)
  CCnvMatchText m_text;  // the searched text
  int32_t m_start = 0;   // start of the recorded group in m_text
  int32_t m_end = 0;     // just after the end of the recorded group
  int32_t m_inComment = 0;
};

using CCnvMatchList = std::vector<CCnvMatch>;

// Records every line from `first` to `last` (negative: the last line) whose
// command part (and, if includeComments, comment part) matches `pattern`;
// 1 when something was found. Bad range or pattern: error 3, result 0.
int FindLines(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list, int first,
              int last, int includeComments);
// FindLines that stops once `limit` records are in the list: they are the
// first `limit` records FindLines would give. For steps that use the first
// matching lines only.
int FindLinesUpTo(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list, int first,
                  int last, int includeComments, size_t limit);
// Records each of the store lines `lines`, in the order given, whose
// command part matches `pattern`, until `limit` records are in the list:
// the records a FindLines of each line alone gives. The pattern is compiled
// for this call and run by the plain matcher, without the analysis that
// pays off only over many lines: for a pattern made for one look-up among a
// few lines. A line outside the store or a bad pattern: error 3, result 0.
int MatchLines(CCnvBase& store, std::u16string_view pattern, const std::vector<int32_t>& lines,
               CCnvMatchList& list, size_t limit);
// FindLines over the command parts of the whole store, the search most
// conversion steps make.
int FindCommandLines(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list);
// Records every group of every successive match of `pattern` in `text`,
// each search going on where the last group ended. It stops after a match
// whose last group is empty or took no part (groups without a place give
// no record); a pattern without a group or that does not compile gives 0.
int MatchAllInText(std::u16string_view pattern, std::u16string_view text, CCnvMatchList& list);
// The first record MatchAllInText would give, from the plain matcher (see
// MatchLines): the first group of the first match that took part. False
// when there is none.
bool FirstMatchInText(std::u16string_view pattern, std::u16string_view text, CCnvMatch& match);
// Records the last line of every run of consecutive lines matching the
// patterns in turn (wholly in command parts or wholly in comment parts).
int FindLineSequence(CCnvBase& store, const std::vector<std::u16string>& patterns,
                     CCnvMatchList& list);
// Inserts `lines` at `index` (appends when index >= count, or negative);
// always 1.
int InsertLines(CCnvBase& store, const std::vector<std::u16string>& lines, int index,
                int asComment);
// Inserts at `index` (as InsertLines does) one line for each of `cmds`,
// with that command part and the comment part in `comments` at the same
// place; 0 (error 3) when the two differ in length, else 1.
int InsertLineParts(CCnvBase& store, const std::vector<std::u16string>& cmds,
                    const std::vector<std::u16string>& comments, int index);
// Lines to insert in front of store line `before` (negative, or the
// store's number of lines or more: at the end), with the command part and
// the comment part of each.
struct LineGroup {
  int before = 0;
  std::vector<std::u16string> cmds;
  std::vector<std::u16string> comments;
};
// Inserts every group in one pass, moving each line of the store once: the
// lines InsertLineParts of each group, from the last group to the first,
// would give (groups with the same place stand in list order). 0 (error 3),
// with nothing inserted, when the places are not in ascending order or the
// two parts of a group differ in length; else 1.
int InsertLineGroups(CCnvBase& store, const std::vector<LineGroup>& groups);
// Appends `lines` as comment parts of new lines; always 1.
int AppendCommentLines(CCnvBase& store, const std::vector<std::u16string>& lines);
// Removes the line at `index` (both parts); nothing when it is out of range.
void DeleteLine(CCnvBase& store, int index);
// Replaces the command part of the line at `index`; the comment part stays.
// Steps change lines in place only through this, so that the conversion
// report sees the old text.
void SetCommandPart(CCnvBase& store, int index, std::u16string text);
// Removes the line of every record (both parts), each line once whatever the
// order of the records; records outside the store are ignored. Always 1.
int DeleteMatchedLines(CCnvBase& store, const CCnvMatchList& list);

// The lines of a store whose command part holds one of a few literals,
// kept by literal as positions in store order. A step that searches the
// whole store again and again between its edits keeps one, makes its
// inserts and changes through it, and its searches look only at the lines
// that hold a literal every match of the pattern contains: the same records
// as a search of every line, at the cost of the few lines that may match.
// Edits made past it leave it behind; a search that finds the store's
// number of lines changed since then searches every line.
class LiteralLines {
 public:
  LiteralLines(const CCnvBase& store, std::vector<std::u16string> literals);

  // FindLinesUpTo(store, pattern, list, 0, -1, 0, limit). Where no literal
  // is known to be in every match of `pattern`, every line is searched.
  int FindUpTo(CCnvBase& store, std::u16string_view pattern, CCnvMatchList& list,
               size_t limit) const;
  // InsertLineParts, and the inserted lines filed.
  int Insert(CCnvBase& store, const std::vector<std::u16string>& cmds,
             const std::vector<std::u16string>& comments, int index);
  // SetCommandPart, and the line filed anew.
  void SetCommandPart(CCnvBase& store, int index, std::u16string text);
  // Removes the line of every record (both parts), each line once whatever the
  // order of the records; records outside the store are ignored. Always 1.
  int DeleteMatchedLines(CCnvBase& store, const CCnvMatchList& list);

 private:
  // Files line `index` of `store` under each literal its command part holds.
  void File(const CCnvBase& store, int32_t index);

  std::vector<RequiredLiteral> literals_;
  std::vector<std::vector<int32_t>> lines_;  // per literal, ascending
  int count_ = 0;                            // the store's lines as last seen
};

// The text before its last double quote: whole when there is none or it
// follows a backslash, empty when it is the first character.
std::u16string TextBeforeQuote(std::u16string_view text);
// The text before the first "syslog", less the one character before it;
// whole when there is no "syslog".
std::u16string TextBeforeSyslog(std::u16string_view text);

#endif  // CNV_ENGINE_LINE_OPS_H_
