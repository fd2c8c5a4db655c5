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
}

}  // namespace
