#include "engine/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "engine/engine.h"
#include "engine/file_test_support.h"
#include "engine/line_align.h"
#include "engine/line_ops.h"

namespace {

// ---- The alignment ----

size_t LongestCommon(const std::vector<int>& a, const std::vector<int>& b) {
  std::vector<std::vector<size_t>> best(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
  for (size_t i = a.size(); i-- > 0;) {
    for (size_t j = b.size(); j-- > 0;) {
      best[i][j] = a[i] == b[j] ? best[i + 1][j + 1] + 1 : std::max(best[i + 1][j], best[i][j + 1]);
    }
  }
  return best[0][0];
}

// Random sequences and random edits of them: every kept pair is equal and
// both indices ascend; the alignment is a longest one when every line is
// unique, and when a weak hash leaves no unique line to split at.
TEST(AlignLinesTest, KeepsEqualLinesInOrderAndAsManyAsTheyShare) {
  std::mt19937 random(13);
  for (int round = 0; round < 300; ++round) {
    const int kind = round % 3;  // 0: unique lines, 1: four kinds of line, 2: weak hash
    const unsigned alphabet = kind == 1 ? 4 : 1000;
    std::vector<int> a(random() % 80);
    for (size_t i = 0; i < a.size(); ++i) a[i] = int(kind == 0 ? i : random() % alphabet);
    std::vector<int> b = a;
    for (int edits = int(random() % 12); edits > 0; --edits) {
      const auto at = b.begin() + ptrdiff_t(b.empty() ? 0 : random() % b.size());
      if (random() % 2 == 0 && !b.empty()) {
        b.erase(at);
      } else {
        b.insert(at, 5000 + int(random() % 50));
      }
    }
    const auto hashes = [&](const std::vector<int>& v) {
      std::vector<uint32_t> h;
      for (int x : v) h.push_back(uint32_t(kind == 2 ? x % 2 : x));
      return h;
    };
    const std::vector<LineMatch> kept =
        AlignLines(hashes(a), hashes(b), [&](size_t i, size_t j) { return a[i] == b[j]; });
    for (size_t k = 0; k < kept.size(); ++k) {
      ASSERT_EQ(a[kept[k].oldIndex], b[kept[k].newIndex]) << round;
      ASSERT_TRUE(k == 0 || (kept[k - 1].oldIndex < kept[k].oldIndex &&
                             kept[k - 1].newIndex < kept[k].newIndex))
          << round;
    }
    if (kind != 1) {
      EXPECT_EQ(kept.size(), LongestCommon(a, b)) << round;
    }
  }
}

// ---- The recorder ----

using Step = std::function<int(CCnvBase&)>;

// An engine whose two shared steps edit the store as a test says; the
// web-GUI converter's own steps find nothing in the inputs used here.
class ScriptedEngine : public CCnvEngine {
 public:
  ScriptedEngine(
      const std::string& input, Step url, Step memory = [](CCnvBase&) { return 1; })
      : CCnvEngine(input, "input.txt"), url_(std::move(url)), memory_(std::move(memory)) {
    CollectReport(&report);
  }
  ConversionReport report;

 protected:
  int UrlFilterStep(CCnvBase& c) override { return url_(c); }
  int ExternalMemoryStep(CCnvBase& c) override { return memory_(c); }

 private:
  Step url_;
  Step memory_;
};

TEST(ReportRecorderTest, EditsAndInputLinesFollowTheLineOperations) {
  std::vector<int32_t> seen;
  ScriptedEngine engine(
      "a\nb # note\nc\nd\n",
      [&](CCnvBase& s) {
        DeleteLine(s, 0);                // a
        InsertLines(s, {u"new"}, 1, 0);  // b new c d
        SetCommandPart(s, 2, u"C");      // b new C d
        // g0 b new g2a g2b C d end
        InsertLineGroups(s, {{0, {u"g0"}, {u""}},
                             {2, {u"g2a"}, {u""}},
                             {2, {u"g2b"}, {u""}},
                             {-1, {u"end"}, {u""}}});
        for (int i : {1, 2, 5, 6, 7}) seen.push_back(LineAt(s, i).number);
        return 1;
      },
      [](CCnvBase& s) {
        // Taken out and put back: no edit.
        DeleteLine(s, 6);
        InsertLines(s, {u"d"}, 6, 0);
        SetCommandPart(s, 1, u"b ");  // the same text again: no edit
        return 1;
      });
  ASSERT_EQ(engine.RunSteps(), 1);
  EXPECT_EQ(seen, (std::vector<int32_t>{2, 0, 3, 4, 0}));
  const std::vector<ReportEdit>& edits = engine.report.steps[3].edits;
  ASSERT_EQ(edits.size(), 7u);
  EXPECT_EQ(edits[0].inputLine, 1);
  EXPECT_EQ(edits[5].inputLine, 3);
  EXPECT_EQ(ReplayedOutput("a\nb # note\nc\nd\n", engine.report),
            ExpectedOutput("g0\nb # note\nnew\ng2a\ng2b\nC\nd\nend"));
  EXPECT_TRUE(engine.report.steps[4].edits.empty());
}

TEST(ReportRecorderTest, AFailureWithoutReasonGetsTheEnginesAndLaterStepsDoNotRun) {
  ScriptedEngine engine("a\n", [](CCnvBase& s) {
    s.SetError(kCnvOperationError);
    return 0;
  });
  EXPECT_EQ(engine.RunSteps(), 0);
  ASSERT_EQ(engine.report.steps.size(), 4u);
  ASSERT_TRUE(engine.report.steps[3].failure);
  EXPECT_NE(engine.report.steps[3].failure->reason.find(u"not valid"), std::u16string::npos);
}

}  // namespace
