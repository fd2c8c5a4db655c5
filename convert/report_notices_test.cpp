// The report's notices and failure reasons, each on a small input that
// shows it, with the input line it must name.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "convert/convert_test_support.h"
#include "convert/report_rows_test_support.h"

namespace {

class ReportTest : public ::testing::TestWithParam<ReportRow> {};

TEST_P(ReportTest, NoticeOrFailureOnItsInputLine) {
  const ReportRow& row = GetParam();
  const ConversionRun run = RunConversion(row.input);
  if (row.reason) {
    EXPECT_EQ(run.error, kCnvNotConvertible);
    const ReportFailure* failure = FailureOf(run.report);
    ASSERT_NE(failure, nullptr);
    EXPECT_EQ(failure->code, row.code);
    EXPECT_NE(Utf16ToUtf8(failure->reason).find(row.reason), std::string::npos)
        << Utf16ToUtf8(failure->reason);
    EXPECT_EQ(failure->inputLine, row.inputLine);
    return;
  }
  ASSERT_EQ(run.result, 1) << Utf16ToUtf8(run.message);
  std::vector<ReportNotice> notices = run.report.notices;
  for (const ReportStep& step : run.report.steps) {
    notices.insert(notices.end(), step.notices.begin(), step.notices.end());
  }
  int found = 0;
  for (const ReportNotice& notice : notices) {
    if (notice.code != row.code) continue;
    ++found;
    EXPECT_EQ(notice.inputLine, row.inputLine) << Utf16ToUtf8(notice.text);
    EXPECT_FALSE(notice.text.empty());
  }
  EXPECT_EQ(found, 1) << notices.size() << " notices in all";
}

INSTANTIATE_TEST_SUITE_P(Rows, ReportTest, ::testing::ValuesIn(kReportRows),
                         [](const ::testing::TestParamInfo<ReportRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
