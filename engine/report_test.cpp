#include "engine/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "engine/engine.h"
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
    const bool unique = round % 3 == 0;
    const int alphabet = round % 3 == 1 ? 4 : 1000;
    std::vector<int> a;
    for (int i = static_cast<int>(random() % 80); i > 0; --i) {
      a.push_back(unique ? static_cast<int>(a.size()) : static_cast<int>(random() % alphabet));
    }
    std::vector<int> b = a;
    for (int edits = static_cast<int>(random() % 12); edits > 0; --edits) {
      const size_t at = b.empty() ? 0 : random() % b.size();
      if (random() % 2 == 0 && !b.empty()) {
        b.erase(b.begin() + static_cast<ptrdiff_t>(at));
      } else {
        b.insert(b.begin() + static_cast<ptrdiff_t>(at), 5000 + static_cast<int>(random() % 50));
      }
    }
    const bool weakHash = round % 3 == 2;
    const auto hashes = [&](const std::vector<int>& v) {
      std::vector<uint32_t> h;
      for (int x : v) h.push_back(static_cast<uint32_t>(weakHash ? x % 2 : x));
      return h;
    };
    const std::vector<LineMatch> kept =
        AlignLines(hashes(a), hashes(b), [&](size_t i, size_t j) { return a[i] == b[j]; });
    for (size_t k = 0; k < kept.size(); ++k) {
      ASSERT_EQ(a[kept[k].oldIndex], b[kept[k].newIndex]) << round;
      if (k > 0) {
        ASSERT_LT(kept[k - 1].oldIndex, kept[k].oldIndex) << round;
        ASSERT_LT(kept[k - 1].newIndex, kept[k].newIndex) << round;
      }
    }
    if (unique || weakHash) {
      EXPECT_EQ(kept.size(), LongestCommon(a, b)) << round;
    }
  }
}

// ---- The recorder, with steps that edit the store as a test says ----

using Step = std::function<int(CCnvBase&)>;

class ScriptedConverter : public CCnvBase {
 public:
  explicit ScriptedConverter(std::vector<Step>& steps) : steps_(steps) {}
  int ConvertLanProvider() override { return steps_[0](*this); }
  int ConvertPpProvider() override { return steps_[1](*this); }
  int ConvertSystemSettings() override { return steps_[2](*this); }

 private:
  std::vector<Step>& steps_;
};

class ScriptedEngine : public CCnvEngine {
 public:
  ScriptedEngine(const std::string& input, std::vector<Step> steps)
      : CCnvEngine(input, "input.txt"), steps_(std::move(steps)) {
    steps_.resize(5, [](CCnvBase&) { return 1; });
    auto converter = std::make_unique<ScriptedConverter>(steps_);
    converter->LoadBytes(input, "input.txt");
    m_converter = std::move(converter);
    CollectReport(&report);
  }
  ConversionReport report;

 protected:
  int UrlFilterStep(CCnvBase& c) override { return steps_[3](c); }
  int ExternalMemoryStep(CCnvBase& c) override { return steps_[4](c); }

 private:
  std::vector<Step> steps_;
};

std::vector<std::u16string> Replay(std::vector<std::u16string> lines, const ReportStep& step) {
  for (const ReportEdit& e : step.edits) {
    const auto at = lines.begin() + e.index;
    if (e.op != EditOp::kInsert) {
      EXPECT_EQ(*at, e.old);
    }
    if (e.op == EditOp::kInsert) lines.insert(at, e.line);
    if (e.op == EditOp::kDelete) lines.erase(at);
    if (e.op == EditOp::kReplace) *at = e.line;
  }
  return lines;
}

TEST(ReportRecorderTest, EditsAndInputLinesFollowTheLineOperations) {
  std::vector<int32_t> seen;
  ScriptedEngine engine("a\nb # note\nc\nd\n",
                        {[&](CCnvBase& s) {
                           DeleteLine(s, 0);                // a
                           InsertLines(s, {u"new"}, 1, 0);  // b new c d
                           SetCommandPart(s, 2, u"C");      // b new C d
                           seen = {LineAt(s, 0).number, LineAt(s, 1).number, LineAt(s, 2).number};
                           return 1;
                         },
                         [](CCnvBase& s) {
                           // Taken out and put back: no edit.
                           DeleteLine(s, 3);
                           InsertLines(s, {u"d"}, 3, 0);
                           SetCommandPart(s, 0, u"b ");  // the same text again: no edit
                           return 1;
                         }});
  ASSERT_EQ(engine.RunSteps(), 1);
  EXPECT_EQ(seen, (std::vector<int32_t>{2, 0, 3}));
  const ReportStep& first = engine.report.steps[0];
  ASSERT_EQ(first.edits.size(), 3u);
  EXPECT_EQ(first.edits[0].inputLine, 1);
  EXPECT_EQ(first.edits[2].op, EditOp::kReplace);
  EXPECT_EQ(first.edits[2].old, u"c");
  EXPECT_EQ(first.edits[2].inputLine, 3);
  EXPECT_EQ(Replay({u"a", u"b # note", u"c", u"d"}, first),
            (std::vector<std::u16string>{u"b # note", u"new", u"C", u"d"}));
  EXPECT_TRUE(engine.report.steps[1].edits.empty());
  EXPECT_EQ(NoticeCount(engine.report), 0u);
}

TEST(ReportRecorderTest, ChangesAroundTheLineOperationsMakeTheReportIncomplete) {
  const Step raw[] = {
      [](CCnvBase& s) {
        s.m_cmdLines[1] = u"raw";
        return 1;
      },
      [](CCnvBase& s) {
        s.m_cmdLines.pop_back();
        s.m_commentLines.pop_back();
        return 1;
      },
  };
  for (const Step& step : raw) {
    ScriptedEngine engine("a\nb\n", {step});
    ASSERT_EQ(engine.RunSteps(), 1);
    ASSERT_EQ(engine.report.steps[0].notices.size(), 1u);
    EXPECT_EQ(engine.report.steps[0].notices[0].code, "report-incomplete");
  }
}

TEST(ReportRecorderTest, AFailureWithoutReasonGetsTheEnginesAndLaterStepsDoNotRun) {
  ScriptedEngine engine("a\n", {[](CCnvBase&) { return 1; },
                                [](CCnvBase& s) {
                                  s.SetError(kCnvOperationError);
                                  return 0;
                                }});
  EXPECT_EQ(engine.RunSteps(), 0);
  ASSERT_EQ(engine.report.steps.size(), 2u);
  ASSERT_NE(FailureOf(engine.report), nullptr);
  EXPECT_EQ(FailureOf(engine.report), &*engine.report.steps[1].failure);
  EXPECT_NE(FailureOf(engine.report)->reason.find(u"not valid"), std::u16string::npos);
}

}  // namespace
