#include "engine/line_ops.h"
#include "engine/store_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

#include "engine/strutil.h"

namespace {

using Lines = std::vector<std::u16string>;

// A record as a comparable tuple: line, group text, start, end, in comment.
using Record = std::tuple<int, std::u16string, int, int, int>;

std::vector<Record> Records(const CCnvMatchList& list) {
  std::vector<Record> records;
  for (const CCnvMatch& m : list) {
    records.emplace_back(m.m_line, m.m_text.substr(m.m_start, m.m_end - m.m_start), m.m_start,
                         m.m_end, m.m_inComment);
  }
  return records;
}

Lines Numbered(int count) {
  Lines lines;
  for (int i = 0; i < count; ++i) lines.push_back(Format(u"line %d", {i}));
  return lines;
}

TEST(FindLines, RangeRules) {
  const struct {
    const char* name;
    int lines, first, last;
    int result, error;
  } cases[] = {
      {"empty store, last -1", 0, 0, -1, 0, 0},
      {"empty store, last 0", 0, 0, 0, 0, 3},
      {"first = count, last -1", 5, 5, -1, 0, 0},
      {"first beyond count, last -1", 5, 9, -1, 0, 0},
      {"last = count", 5, 0, 5, 0, 3},
      {"first negative", 5, -1, -1, 0, 3},
      {"last before first", 5, 3, 2, 0, 3},
      {"whole store", 5, 0, -1, 1, 0},
      {"one line", 5, 4, 4, 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Store store(Numbered(c.lines));
    CCnvMatchList list(2);  // a search empties the list first
    EXPECT_EQ(FindLines(store, u"{line [0-9]}", list, c.first, c.last, 0), c.result);
    EXPECT_EQ(store.m_error, c.error);
    EXPECT_EQ(list.size(), static_cast<size_t>(c.result == 1 ? c.lines - c.first : 0));
  }
}

TEST(FindLines, SearchesOnlyTheRange) {
  Store store(Numbered(6));
  CCnvMatchList list;
  ASSERT_EQ(FindLines(store, u"{line [0-9]}", list, 2, 4, 0), 1);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list.front().m_line, 2);
  EXPECT_EQ(list.back().m_line, 4);
}

TEST(FindLines, PatternThatDoesNotCompileIsCode3) {
  Store store(Numbered(3));
  CCnvMatchList list(1);
  EXPECT_EQ(FindLines(store, u"{line", list, 0, -1, 0), 0);
  EXPECT_EQ(store.m_error, kCnvOperationError);
  EXPECT_TRUE(list.empty());
}

TEST(FindLines, CommandPartThenCommentPart) {
  Store store({u"ip lan1", u"pp select 1 # pp select 2", u"# pp select 3"});
  CCnvMatchList list;
  ASSERT_EQ(FindLines(store, u"{pp select [0-9]+[ \t]*}", list, 0, -1, 1), 1);
  EXPECT_EQ(Records(list), (std::vector<Record>{{1, u"pp select 1 ", 0, 12, 0},
                                                {1, u"pp select 2", 2, 13, 1},
                                                {2, u"pp select 3", 2, 13, 1}}));
  EXPECT_EQ(list[0].m_text, u"pp select 1 ");
  EXPECT_EQ(list[1].m_text, u"# pp select 2");
  // Without comments only the command part counts.
  ASSERT_EQ(FindLines(store, u"{pp select [0-9]+[ \t]*}", list, 0, -1, 0), 1);
  EXPECT_EQ(list.size(), 1u);
}

// MatchLines: the records FindLines gives for each line named, in the
// order named.
TEST(FindLines, MatchLinesGivesTheRecordsOfTheLinesNamed) {
  Store store({u"ip lan1", u"pp select 1 # pp select 2", u"x pp select 3"});
  CCnvMatchList list;
  ASSERT_EQ(MatchLines(store, u"{pp select [0-9]+[ \t]*}", {2, 0, 1}, list, 5), 1);
  EXPECT_EQ(Records(list),
            (std::vector<Record>{{2, u"pp select 3", 2, 13, 0}, {1, u"pp select 1 ", 0, 12, 0}}));
  ASSERT_EQ(MatchLines(store, u"{pp select [0-9]+[ \t]*}", {2, 1}, list, 1), 1);
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(store.m_error, 0);
  for (const std::vector<int32_t>& lines : {std::vector<int32_t>{1, 3}, {-1}}) {
    Store same({u"pp select 1", u"pp select 2"});
    EXPECT_EQ(MatchLines(same, u"{pp select [0-9]+}", lines, list, 5), 0);
    EXPECT_EQ(same.m_error, kCnvOperationError);
    EXPECT_TRUE(list.empty());
  }
  EXPECT_EQ(MatchLines(store, u"{pp", {1}, list, 1), 0);
  EXPECT_EQ(store.m_error, kCnvOperationError);
}

TEST(FindLines, UnanchoredAndCaseSensitive) {
  Store store({u"ip lan1 nat descriptor type 1 masquerade", u"# system configuration"});
  CCnvMatchList list;
  ASSERT_EQ(FindLines(store, u"{nat descriptor type}", list, 0, -1, 0), 1);
  EXPECT_EQ(Records(list), (std::vector<Record>{{0, u"nat descriptor type", 8, 27, 0}}));
  EXPECT_EQ(FindLines(store, u"{#+[ \t]*System configuration[ \t]*}", list, 0, -1, 1), 0);
  EXPECT_EQ(store.m_error, 0);
}

TEST(FindLines, PatternWithoutGroupRecordsNothing) {
  Store store({u"ip lan1"});
  CCnvMatchList list;
  EXPECT_EQ(FindLines(store, u"ip lan1", list, 0, -1, 1), 0);
  EXPECT_EQ(store.m_error, 0);
}

TEST(MatchAllInText, EveryOccurrence) {
  CCnvMatchList list;
  ASSERT_EQ(MatchAllInText(u"{[ \t]+[0-9]+}", u"url lan1 filter in 1 2 30", list), 1);
  EXPECT_EQ(
      Records(list),
      (std::vector<Record>{{0, u" 1", 18, 20, 0}, {0, u" 2", 20, 22, 0}, {0, u" 30", 22, 25, 0}}));
  EXPECT_EQ(list[0].m_text, u"url lan1 filter in 1 2 30");
}

TEST(MatchAllInText, EveryGroupOfEveryMatch) {
  CCnvMatchList list;
  ASSERT_EQ(MatchAllInText(u"{([a-z]+)={[0-9]+}}", u"a=1 bc=22", list), 1);
  EXPECT_EQ(
      Records(list),
      (std::vector<Record>{
          {0, u"a=1", 0, 3, 0}, {0, u"1", 2, 3, 0}, {0, u"bc=22", 4, 9, 0}, {0, u"22", 7, 9, 0}}));
}

TEST(MatchAllInText, GroupThatTookNoPartHasNoRecord) {
  CCnvMatchList list;
  ASSERT_EQ(MatchAllInText(u"({x})?{y}", u"y xy", list), 1);
  EXPECT_EQ(Records(list),
            (std::vector<Record>{{0, u"y", 0, 1, 0}, {0, u"x", 2, 3, 0}, {0, u"y", 3, 4, 0}}));
  // With the last group unset there is no place to go on from.
  ASSERT_EQ(MatchAllInText(u"{y}({x})?", u"y yx", list), 1);
  EXPECT_EQ(Records(list), (std::vector<Record>{{0, u"y", 0, 1, 0}}));
}

TEST(MatchAllInText, EndsForPatternsItCannotGoOnWith) {
  const struct {
    const char16_t* pattern;
    const char16_t* text;
    size_t records;
  } cases[] = {
      {u"{a*}", u"bbb", 1},             // an empty last group: one match, then stop
      {u"{x}{[0-9]*}", u"x1 x x2", 4},  // goes on until the last group is empty
      {u"{ab}", u"ababab", 3},
      {u"nogroup", u"nogroup nogroup", 0},
      {u"{a", u"a", 0},  // does not compile
      {u"{a}", u"", 0},
      {u"({x})?{y}", u"y xy", 3},  // the first record is of the second group
  };
  for (const auto& c : cases) {
    CCnvMatchList list(1);
    const int result = MatchAllInText(c.pattern, c.text, list);
    EXPECT_EQ(list.size(), c.records) << Utf16ToUtf8(c.pattern);
    EXPECT_EQ(result, c.records > 0 ? 1 : 0) << Utf16ToUtf8(c.pattern);
    // FirstMatchInText gives the first of those records.
    CCnvMatch first;
    ASSERT_EQ(FirstMatchInText(c.pattern, c.text, first), c.records > 0);
    if (c.records > 0) {
      EXPECT_EQ(first.m_start, list[0].m_start);
      EXPECT_EQ(first.m_end, list[0].m_end);
      EXPECT_EQ(first.m_text, list[0].m_text);
    }
  }
}

TEST(FindLineSequence, SectionHeading) {
  Lines lines = Numbered(10);
  lines.insert(lines.end(), {u"#", u"# PP configuration", u"#", u"pp select 1"});
  Store store(lines);
  CCnvMatchList list;
  ASSERT_EQ(FindLineSequence(
                store, {u"{#+[ \t]*}", u"{#+[ \t]*PP configuration[ \t]*}", u"{#+[ \t]*}"}, list),
            1);
  EXPECT_EQ(Records(list), (std::vector<Record>{{12, u"#", 0, 1, 1}}));
}

TEST(FindLineSequence, RunsOverlapAndDoNotMixParts) {
  // Lines 0-2 are comment lines; lines 3 and 4 have "#" in their command
  // parts, inside quotes.
  Store store({u"#", u"#", u"#", u"x \"#\" # c", u"y \"#\""});
  CCnvMatchList list;
  ASSERT_EQ(FindLineSequence(store, {u"{#}", u"{#}"}, list), 1);
  EXPECT_EQ(Records(list),
            (std::vector<Record>{
                {1, u"#", 0, 1, 1}, {2, u"#", 0, 1, 1}, {3, u"#", 0, 1, 1}, {4, u"#", 3, 4, 0}}));
  // A run mixing the parts is not found: line 0 matches only in its
  // comment part, line 1 only in its command part.
  Store mixed({u"# a", u"a"});
  EXPECT_EQ(FindLineSequence(mixed, {u"{a}", u"{a}"}, list), 0);
}

TEST(FindLineSequence, ShortStoreAndBadPattern) {
  Store store({u"#", u"#"});
  CCnvMatchList list(1);
  EXPECT_EQ(FindLineSequence(store, {u"{#}", u"{#}", u"{#}"}, list), 0);
  EXPECT_EQ(store.m_error, 0);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(FindLineSequence(store, {u"{#}", u"[#"}, list), 0);
  EXPECT_EQ(store.m_error, kCnvOperationError);
  // A pattern without a group completes no run.
  Store other({u"#", u"#"});
  EXPECT_EQ(FindLineSequence(other, {u"{#}", u"#"}, list), 0);
  EXPECT_EQ(other.m_error, 0);
}

TEST(InsertLines, PlacesAndParts) {
  const struct {
    const char* name;
    int index, asComment;
    Lines cmds, comments;
  } cases[] = {
      {"at the front, in order", 0, 0, {u"x", u"y", u"a", u"b"}, {u"", u"", u"", u""}},
      {"in the middle", 1, 0, {u"a", u"x", u"y", u"b"}, {u"", u"", u"", u""}},
      {"index = count appends", 2, 0, {u"a", u"b", u"x", u"y"}, {u"", u"", u"", u""}},
      {"beyond the end appends", 99, 0, {u"a", u"b", u"x", u"y"}, {u"", u"", u"", u""}},
      {"as comments", 1, 1, {u"a", u"", u"", u"b"}, {u"", u"x", u"y", u""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Store store({u"a", u"b"});
    EXPECT_EQ(InsertLines(store, {u"x", u"y"}, c.index, c.asComment), 1);
    EXPECT_EQ(store.CmdLines(), c.cmds);
    EXPECT_EQ(store.CommentLines(), c.comments);
  }
  Store store({u"a"});
  EXPECT_EQ(AppendCommentLines(store, {u"# one", u"# two"}), 1);
  EXPECT_EQ(store.CmdLines(), (Lines{u"a", u"", u""}));
  EXPECT_EQ(store.CommentLines(), (Lines{u"", u"# one", u"# two"}));
  EXPECT_EQ(InsertLineParts(store, {u"x", u""}, {u"", u"# y"}, 1), 1);
  EXPECT_EQ(store.CmdLines(), (Lines{u"a", u"x", u"", u"", u""}));
  EXPECT_EQ(store.CommentLines(), (Lines{u"", u"", u"# y", u"# one", u"# two"}));
  // Parts that do not pair up are refused, the store left as it is.
  EXPECT_EQ(InsertLineParts(store, {u"x"}, {}, 0), 0);
  EXPECT_EQ(store.m_error, kCnvOperationError);
  EXPECT_EQ(store.LineCount(), 5);
  // Groups in one pass: as one insert each from the last to the first.
  Store groups({u"a", u"b"});
  EXPECT_EQ(InsertLineGroups(groups, {{0, {u"x"}, {u"# x"}},
                                      {1, {u"y"}, {u""}},
                                      {1, {u"z", u""}, {u"", u"# z"}},
                                      {2, {u"e"}, {u""}},
                                      {-1, {u"f"}, {u""}}}),
            1);
  EXPECT_EQ(groups.CmdLines(), (Lines{u"x", u"a", u"y", u"z", u"", u"b", u"e", u"f"}));
  EXPECT_EQ(groups.CommentLines(), (Lines{u"# x", u"", u"", u"", u"# z", u"", u"", u""}));
  for (const std::vector<LineGroup>& refused :
       {std::vector<LineGroup>{{1, {u"x"}, {u""}}, {0, {u"y"}, {u""}}},
        std::vector<LineGroup>{{-1, {u"x"}, {u""}}, {0, {u"y"}, {u""}}},
        std::vector<LineGroup>{{0, {u"x"}, {u""}}, {1, {u"y"}, {}}}}) {
    Store same({u"a", u"b"});
    EXPECT_EQ(InsertLineGroups(same, refused), 0);
    EXPECT_EQ(same.m_error, kCnvOperationError);
    EXPECT_EQ(same.CmdLines(), (Lines{u"a", u"b"}));
  }
}

// After each edit made through it, a search through LiteralLines gives the
// records, result and error of a search of every line.
TEST(LiteralLines, FindsWhatASearchOfEveryLineFinds) {
  Store store({u"pp select 1", u"pp enable 1", u"pp enable 10", u"# pp enable 2", u"other"});
  LiteralLines lines(store, {u"pp enable ", u"select "});
  const std::u16string patterns[] = {u"{pp enable 1}![0-9]", u"{pp enable [0-9]+}",
                                     u"{pp ((select)|(enable)) [0-9]+}", u"{other}", u"{pp enable"};
  const auto expectSameRecords = [&](const char* after) {
    for (const std::u16string& pattern : patterns) {
      for (size_t limit : {size_t{1}, size_t{100}}) {
        SCOPED_TRACE(testing::Message() << after << ", limit " << limit);
        CCnvMatchList all;
        CCnvMatchList through;
        store.m_error = 0;
        const int allResult = FindLinesUpTo(store, pattern, all, 0, -1, 0, limit);
        const int allError = store.m_error;
        store.m_error = 0;
        EXPECT_EQ(lines.FindUpTo(store, pattern, through, limit), allResult);
        EXPECT_EQ(store.m_error, allError);
        EXPECT_EQ(Records(through), Records(all));
      }
    }
  };
  expectSameRecords("as loaded");
  lines.Insert(store, {u"pp enable 1", u"x"}, {u"", u"# pp enable 1"}, 0);
  expectSameRecords("inserted in front of every line");
  lines.Insert(store, {u""}, {u"pp enable 1"}, 3);
  expectSameRecords("inserted as a comment");
  lines.SetCommandPart(store, 1, u"pp name");
  expectSameRecords("a literal's line rewritten without it");
  lines.SetCommandPart(store, 7, u"pp enable 1 again");
  expectSameRecords("a line rewritten with a literal");
  lines.Insert(store, {u"pp select 7", u"pp enable 1"}, {u"", u""}, 99);
  expectSameRecords("appended");
  InsertLines(store, {u"pp enable 1"}, 0, 0);
  expectSameRecords("inserted past it");
  CCnvMatchList first;
  ASSERT_EQ(lines.FindUpTo(store, u"{pp enable 1}![0-9]", first, 100), 1);
  EXPECT_EQ(first.size(), 5u);
}

TEST(TextBefore, QuoteAndSyslog) {
  const struct {
    std::u16string text, result;
  } quote[] = {
      {u"PRV/1:abc\"", u"PRV/1:abc"},
      {u"a\"b\"", u"a\"b"},  // cut at the last quote only
      {u"\"abc", u""},
      {u"PRV/1:ab\\\"", u"PRV/1:ab\\\""},  // a quote after a backslash: whole
      {u"no quote", u"no quote"},
      {u"", u""},
  };
  for (const auto& c : quote) EXPECT_EQ(TextBeforeQuote(c.text), c.result) << Utf16ToUtf8(c.text);
  const struct {
    std::u16string text, result;
  } syslog[] = {
      {u"ntpdate 192.168.0.1 syslog", u"ntpdate 192.168.0.1"},
      {u"syslog", u""},
      {u"xsyslog", u""},
      {u"ab-syslog syslog", u"ab"},  // the first occurrence, less one character
      {u"ntpdate 10.0.0.1", u"ntpdate 10.0.0.1"},
      {u"Syslog", u"Syslog"},
  };
  for (const auto& c : syslog) {
    EXPECT_EQ(TextBeforeSyslog(c.text), c.result) << Utf16ToUtf8(c.text);
  }
}

// The records of `lines` in the given order, each on the command part.
CCnvMatchList RecordsOn(std::initializer_list<int> lines) {
  CCnvMatchList list;
  for (int line : lines) list.emplace_back(line, u"", 0, 0, 0);
  return list;
}

TEST(LineOpsTest, DeleteMatchedLinesRemovesEachNamedLineOnce) {
  const Lines store = {u"l0 # c0", u"l1", u"l2 # c2", u"l3", u"l4 # c4"};
  const struct {
    const char* name;
    CCnvMatchList records;
    Lines kept;
  } cases[] = {
      {"ascending, as FindLines gives them", RecordsOn({1, 2}), {u"l0 # c0", u"l3", u"l4 # c4"}},
      {"last line", RecordsOn({4}), {u"l0 # c0", u"l1", u"l2 # c2", u"l3"}},
      {"every line", RecordsOn({0, 1, 2, 3, 4}), {}},
      {"none", RecordsOn({}), store},
      // A line found in both of its parts, and records in any order, still
      // remove only the lines they name.
      {"one line twice", RecordsOn({2, 2}), {u"l0 # c0", u"l1", u"l3", u"l4 # c4"}},
      {"descending", RecordsOn({3, 0}), {u"l1", u"l2 # c2", u"l4 # c4"}},
      {"mixed order", RecordsOn({2, 0, 4, 0}), {u"l1", u"l3"}},
      {"out of range", RecordsOn({-1, 1, 5}), {u"l0 # c0", u"l2 # c2", u"l3", u"l4 # c4"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Store converter(store);
    const Store expected(c.kept);
    EXPECT_EQ(DeleteMatchedLines(converter, c.records), 1);
    EXPECT_EQ(converter.CmdLines(), expected.CmdLines());
    EXPECT_EQ(converter.CommentLines(), expected.CommentLines());
  }
}

}  // namespace
