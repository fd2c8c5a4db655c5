#include "cli/diff.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::u16string>;

// Lines "1" to "n".
Lines Numbered(int n) {
  Lines lines;
  for (int i = 1; i <= n; ++i) {
    const std::string text = std::to_string(i);
    lines.emplace_back(text.begin(), text.end());
  }
  return lines;
}

TEST(UnifiedDiffTest, EqualSequencesGiveNoHunks) {
  EXPECT_TRUE(UnifiedDiffHunks({}, {}).empty());
  EXPECT_TRUE(UnifiedDiffHunks(Numbered(5), Numbered(5)).empty());
}

TEST(UnifiedDiffTest, EmptySideStartsAtLineZero) {
  EXPECT_EQ(UnifiedDiffHunks({}, {u"# header"}), (Lines{u"@@ -0,0 +1 @@", u"+# header"}));
  EXPECT_EQ(UnifiedDiffHunks({u"a", u"b"}, {}), (Lines{u"@@ -1,2 +0,0 @@", u"-a", u"-b"}));
}

TEST(UnifiedDiffTest, ChangesKeepThreeLinesOfContext) {
  Lines after = Numbered(20);
  after.insert(after.begin(), u"# header");
  after[10] = u"ten";  // was "10"
  EXPECT_EQ(UnifiedDiffHunks(Numbered(20), after),
            (Lines{u"@@ -1,3 +1,4 @@", u"+# header", u" 1", u" 2", u" 3", u"@@ -7,7 +8,7 @@", u" 7",
                   u" 8", u" 9", u"-10", u"+ten", u" 11", u" 12", u" 13"}));
}

TEST(UnifiedDiffTest, NearbyChangesShareAHunk) {
  Lines before = Numbered(10);
  Lines after = before;
  after.erase(after.begin() + 3);                // "4" removed
  after.insert(after.begin() + 7, u"inserted");  // after "8"
  EXPECT_EQ(UnifiedDiffHunks(before, after),
            (Lines{u"@@ -1,10 +1,10 @@", u" 1", u" 2", u" 3", u"-4", u" 5", u" 6", u" 7", u" 8",
                   u"+inserted", u" 9", u" 10"}));
}

TEST(UnifiedDiffTest, ChangesFarApartGetHunksOfTheirOwn) {
  // Six unchanged lines between two changes still share a hunk; seven do not.
  for (const int gap : {6, 7}) {
    Lines before = Numbered(gap + 2);
    Lines after = before;
    after.front() = u"first";
    after.back() = u"last";
    const Lines hunks = UnifiedDiffHunks(before, after);
    const auto headers = std::count_if(
        hunks.begin(), hunks.end(), [](const std::u16string& l) { return l.starts_with(u"@@"); });
    EXPECT_EQ(headers, gap == 6 ? 1 : 2) << gap;
  }
}

TEST(UnifiedDiffTest, ReplacedRunShowsRemovalsBeforeAdditions) {
  EXPECT_EQ(UnifiedDiffHunks({u"a", u"b", u"c"}, {u"x", u"y", u"c"}),
            (Lines{u"@@ -1,3 +1,3 @@", u"-a", u"-b", u"+x", u"+y", u" c"}));
  // A removed line the side after has elsewhere.
  EXPECT_EQ(UnifiedDiffHunks({u"m", u"a", u"b"}, {u"a", u"b", u"m"}),
            (Lines{u"@@ -1,3 +1,3 @@", u"-m", u" a", u" b", u"+m"}));
}

// Lines that differ little stay different and keep their exact text, in
// code units of every width of the table's compact form.
TEST(UnifiedDiffTest, NearlyEqualLinesStayApart) {
  const std::u16string longLine(3 << 19, u'\u00e9');  // longer than a block of the table
  const struct {
    std::u16string before, after;
  } cases[] = {
      {u"caf\u00e9", u"cafe"},
      {u"\u07ff\u0800", u"\u0800\u07ff"},
      {u"\x7f\u0080", u"\u0080\x7f"},
      {u"\xd83d\xde00", u"\xd83d"},  // a pair and a lone surrogate
      {u"\uffff", u"\xdfff"},
      {u"", u" "},
      {longLine, longLine + u"x"},
      // The low 32 bits of std::hash, which the table keeps, are equal.
      {u"ip filter 4348 pass * * * * *", u"ip filter 126539 pass * * * * *"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UnifiedDiffHunks({c.before, u"same"}, {c.after, u"same"}),
              (Lines{u"@@ -1,2 +1,2 @@", u"-" + c.before, u"+" + c.after, u" same"}))
        << c.before.size();
  }
}

TEST(LineTableTest, EachDistinctLineGetsItsOwnNumber) {
  LineTable table;
  const Lines lines = Numbered(200000);
  for (uint32_t i = 0; i < lines.size(); ++i) ASSERT_EQ(table.Intern(lines[i]), i);
  for (uint32_t i = 0; i < lines.size(); i += 997) {
    EXPECT_EQ(table.Intern(lines[i]), i);
    std::u16string text = u">";
    table.AppendText(i, text);
    EXPECT_EQ(text, u">" + lines[i]);
  }
  EXPECT_EQ(table.size(), lines.size());
}

}  // namespace
