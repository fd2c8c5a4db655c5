// The last check of a conversion: each rule on converted lines that keep it
// and on lines that break it, with the line it must name.
#include "engine/output_check.h"
#include "engine/store_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/strutil.h"

namespace {

struct CheckRow {
  const char* name;
  std::vector<std::string> lines;  // the converted lines, after the header
  int failing;                     // the store index the check names; -1 when it holds
  const char* reason = "";         // a part of its reason
  OutputCheckAllowance allowance = {};
};

void PrintTo(const CheckRow& row, std::ostream* os) {
  *os << row.name;
}

const std::string kHeader = Utf16ToUtf8(kOutputHeader);

const CheckRow kRows[] = {
    {"ProvidersInTheirPps",
     {"pp select 1", " pp name \"PRV/1/1/5/0/0/0:A\"", " pp enable 1", "provider set 1 \"A\"",
      "pp select 12", "\t pp name \"PRV/12/1/5/0/0/0:B\"", "provider set 12"},
     -1},
    {"HeaderAgain", {"ip lan1 address 1.2.3.4/24", kHeader}, 1, "output line 3 is the header"},
    {"HeaderTextInACommandIsNoHeader", {"description lan1 \"" + kHeader + "\""}, -1},
    {"RuleNumberTwice",
     {"url filter 10200 pass a", "url filter 10000 reject b", "  url filter 10200 reject c"},
     2,
     "defines URL filter rule 10200 again, which output line 2 already defines"},
    {"RuleNumberWithLeadingZeros",
     {"url filter 7 pass a", "url filter 007 pass b"},
     1,
     "rule 7 again"},
    {"CategoryNumberTwice",
     {"url filter external-database category 10000 reject 1",
      "url filter 10000 pass *",  // a rule, not a category: another kind
      "url filter external-database category 10000 pass 2"},
     2,
     "category rule 10000 again"},
    {"RepeatsTheInputAllows",
     {"url filter 10200 pass b", "url filter 10200 reject c"},
     -1,
     "",
     {2, 1}},
    {"NotARuleWithoutVerdict", {"url filter 1 pass *", "url filter 1 foo"}, -1},
    {"ProviderWithoutItsPp",
     {"pp select 1", "provider set 2 \"B\""},
     1,
     "sets provider 2, and there is no 'pp select 2' line"},
    {"ProviderNamingAPrefixOfAPp", {"pp select 12", "provider set 1"}, 1, "provider 1"},
    {"PpNameInAnotherPp",
     {"pp select 1", " pp name \"PRV/2/1/5/0/0/0:Wrong\"", "pp select 2"},
     1,
     "names PP 2 but stands inside the lines of PP 1"},
    {"PpNameAfterATunnel",
     {"pp select 1", "tunnel select 1", " pp name \"PRV/1/1/5/0/0/0:A\""},
     2,
     "outside every PP's lines"},
    {"PpNameAfterSelectNone",
     {"pp select 1", "pp select none", " pp name \"PRV/1/1/5/0/0/0:A\""},
     2,
     "outside every PP's lines"},
};

class OutputCheckTest : public ::testing::TestWithParam<CheckRow> {};

TEST_P(OutputCheckTest, HoldsOrNamesTheLine) {
  const CheckRow& row = GetParam();
  Store store;
  std::vector<std::u16string> lines;
  for (const std::string& line : row.lines) lines.push_back(Utf8ToUtf16(line));
  store.AppendLines(lines);
  OutputCheckFailure failure;
  const bool holds = CheckConvertedLines(store, row.allowance, failure);
  const std::string reason = Utf16ToUtf8(Filled(failure.reason));
  EXPECT_EQ(holds, row.failing < 0) << reason;
  if (holds) return;
  EXPECT_EQ(failure.index, static_cast<size_t>(row.failing));
  EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
}

INSTANTIATE_TEST_SUITE_P(Rows, OutputCheckTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<CheckRow>& info) {
                           return std::string(info.param.name);
                         });

TEST(OutputCheckTest, InputAllowanceIsTheMostRepeatedNumber) {
  Store store;
  store.AppendLines({u"url filter 2 pass b", u"url filter 1 reject a", u"url filter 2 reject c",
                     u"url filter 2 pass d", u"url filter external-database category 5 pass x"});
  const OutputCheckAllowance allowance = InputAllowance(store);
  EXPECT_EQ(allowance.ruleDefinitions, 3u);
  EXPECT_EQ(allowance.categoryDefinitions, 1u);
}

}  // namespace
