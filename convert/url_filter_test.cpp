#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "convert/convert_test_support.h"
#include "convert/shared_steps.h"
#include "engine/messages.h"
#include "engine/store_test_support.h"

namespace {

using Lines = std::vector<std::u16string>;

// A configuration file's text: every line ends in CR LF.
std::string Input(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The output file expected for these lines, header included.
std::string Output(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  return ExpectedOutput(text);
}

// Runs the conversion through the engine and compares the output file.
void ExpectConverted(std::initializer_list<std::string> input,
                     std::initializer_list<std::string> output) {
  const ConversionRun run = RunConversion(Input(input));
  EXPECT_EQ(run.converterKind, kConverterGui);
  EXPECT_EQ(run.result, 1) << Utf16ToUtf8(run.message);
  EXPECT_EQ(run.output, Output(output));
}

// ---- Phase 1 and phase 2: the external-database lines ----

struct Rewrite {
  std::u16string source;
  std::u16string target;
};

void ExpectRewrites(const std::vector<Rewrite>& cases) {
  for (const Rewrite& c : cases) {
    Store store({c.source});
    EXPECT_EQ(ConvertUrlFilter(store), 1);
    EXPECT_EQ(store.CmdLines(), Lines{c.target}) << Utf16ToUtf8(c.source);
  }
}

TEST(UrlFilterTest, RewritesTheDatabaseSelection) {
  ExpectRewrites({
      {u"url filter external-database use digitalarts",
       u"url filter external-database use category digitalarts2"},
      {u"url filter external-database use trendmicro",
       u"url filter external-database use category trendmicro"},
      {u"url filter external-database use reputation off category digitalarts",
       u"url filter external-database use category digitalarts"},
      {u"url filter external-database use reputation off category trendmicro",
       u"url filter external-database use category trendmicro"},
      // Only the vendor word alone becomes digitalarts2.
      {u"url filter external-database use digitalarts x",
       u"url filter external-database use category digitalarts x"},
      // A reputation setting other than off stays as it is.
      {u"url filter external-database use reputation on category trendmicro",
       u"url filter external-database use reputation on category trendmicro"},
      {u"url filter external-database use reputation  off category trendmicro",
       u"url filter external-database use reputation  off category trendmicro"},
      // Text in front of the match is not carried over.
      {u"  url filter external-database use trendmicro",
       u"url filter external-database use category trendmicro"},
  });
}

TEST(UrlFilterTest, RewritesTheDatabaseId) {
  ExpectRewrites({
      {u"url filter external-database id trendmicro ABC",
       u"url filter external-database id trendmicro ABC"},
      {u"url filter external-database id digitalarts ABC",
       u"url filter external-database id digitalarts ABC"},
      {u"url filter external-database id   trendmicro   ABC",
       u"url filter external-database id   trendmicro   ABC"},
      {u"url filter external-database id ABC", u"url filter external-database id digitalarts ABC"},
      {u"url filter external-database id trendmicro",
       u"url filter external-database id digitalarts trendmicro"},
      {u"url filter external-database id digitalarts ",
       u"url filter external-database id digitalarts digitalarts "},
      {u"url filter external-database id other ABC",
       u"url filter external-database id digitalarts other ABC"},
      // A tab does not separate words.
      {u"url filter external-database id trendmicro\tABC",
       u"url filter external-database id digitalarts trendmicro\tABC"},
      {u"url filter external-database id", u"url filter external-database id digitalarts "},
      {u" url filter external-database id\tABC",
       u"url filter external-database id digitalarts ABC"},
  });
}

// ---- Phase 3: bindings and rules, through the engine ----

TEST(UrlFilterTest, WorkedExample) {
  ExpectConverted(
      {
          "url filter 1 reject abc",
          "url filter 2 pass *",
          "url filter external-database category 1 reject x",
          "url lan1 filter in 1 2 external-database 1",
          "pp select 1",
          "url pp filter out 2",
      },
      {
          "url filter 10000 reject abc",
          "url filter 10001 pass *",
          "url filter 20200 pass *",
          "url filter external-database category 10000 reject x",
          "url lan1 filter in 10000 10001 external-database category 10000",
          "pp select 1",
          "url pp filter out 20200",
      });
}

TEST(UrlFilterTest, SectionedListingIsConvertedTheSameWay) {
  const ConversionRun run = RunConversion(Input({
      "clear configuration",
      "#",
      "# System configuration",
      "#",
      "url filter 1 reject abc",
      "url lan2 filter in 1",
  }));
  EXPECT_EQ(run.converterKind, kConverterTftp);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.output, Output({
                            "clear configuration",
                            "#",
                            "# System configuration",
                            "#",
                            "url filter 10400 reject abc",
                            "url lan2 filter in 10400",
                        }));
}

TEST(UrlFilterTest, WithoutBindingsRulesStayUntouched) {
  ExpectConverted({"url filter 1 reject abc", "url filter external-database category 1 reject x",
                   "ip route default gateway pp 1"},
                  {"url filter 1 reject abc", "url filter external-database category 1 reject x",
                   "ip route default gateway pp 1"});
}

TEST(UrlFilterTest, BindingsWithoutRulesAreStillRenumbered) {
  ExpectConverted({"url lan1 filter in 1 2", "url lan2 filter out 3",
                   "url wan1 filter out 4 external-database 5"},
                  {"url lan1 filter in 10000 10001", "url lan2 filter out 10600",
                   "url wan1 filter out 11000 external-database category 11000"});
}

TEST(UrlFilterTest, RulesNoBindingNamesDisappear) {
  ExpectConverted(
      {
          "url filter 1 reject a",
          "url filter 2 pass b",
          "url filter 3 reject c",
          "url filter external-database category 1 reject x",
          "url filter external-database category 2 reject y",
          "url wan1 filter in 2 7 external-database 2",
      },
      {
          "url filter 10800 pass b",
          "url filter external-database category 10800 reject y",
          "url wan1 filter in 10800 10801 external-database category 10800",
      });
}

TEST(UrlFilterTest, EveryRuleOfANumberIsCopiedInStoreOrder) {
  ExpectConverted(
      {
          "url filter 2 pass b",
          "url filter 1 reject a",
          "url filter 2 reject c",
          "url lan1 filter out 2 1",
      },
      {
          "url filter 10200 pass b",
          "url filter 10200 reject c",
          "url filter 10201 reject a",
          "url lan1 filter out 10200 10201",
      });
}

TEST(UrlFilterTest, TunnelBindingUsesItsSelectLine) {
  ExpectConverted(
      {"tunnel select 2", "url tunnel filter out 3", "tunnel select none", "url filter 3 pass *"},
      {"tunnel select 2", "url tunnel filter out 60600", "tunnel select none",
       "url filter 60600 pass *"});
}

TEST(UrlFilterTest, PpBindingsUseTheSelectLineAboveThemElseTheFirst) {
  ExpectConverted(
      {
          "url filter 1 pass x",
          "url pp filter in 1",
          "pp select 3",
          "url pp filter out 1",
          "pp select 1",
          "url pp filter in 1",
          "tunnel select 1",
          "url tunnel filter in 1",
      },
      {
          "url filter 20800 pass x",
          "url filter 21000 pass x",
          "url filter 20000 pass x",
          "url filter 60000 pass x",
          "url pp filter in 20800",
          "pp select 3",
          "url pp filter out 21000",
          "pp select 1",
          "url pp filter in 20000",
          "tunnel select 1",
          "url tunnel filter in 60000",
      });
  // A binding line that is also a select line governs the bindings below it
  // with the number it was rewritten to; one whose rewriting dropped its
  // select part governs none.
  ExpectConverted({"url filter 1 pass x", "pp select 2",
                   " url pp filter in 1 external-database pp select 7", " url pp filter out 1"},
                  {"url filter 20400 pass x", "url filter 8179800 pass x", "pp select 2",
                   " url pp filter in 20400 external-database category pp select 20400",
                   " url pp filter out 8179800"});
  ExpectConverted({"url filter 1 pass x", "pp select 5 url pp filter in 1", " url pp filter out 1",
                   "pp select 2"},
                  {"url filter 21600 pass x", "url filter 20600 pass x", " url pp filter in 21600",
                   " url pp filter out 20600", "pp select 2"});
}

TEST(UrlFilterTest, BindingWithoutNumbersKeepsItsKeywords) {
  ExpectConverted({"url filter 1 reject a", "url lan1 filter in"}, {"url lan1 filter in"});
}

TEST(UrlFilterTest, ExistingCategoryWordIsKeptAndItsNumbersRenumbered) {
  ExpectConverted({"url filter external-database category 2 pass y",
                   "url lan1 filter in 1 external-database category 2"},
                  {"url filter external-database category 10000 pass y",
                   "url lan1 filter in 10000 external-database category 10000"});
}

TEST(UrlFilterTest, BindingKeepsItsCommentAndCopiesHaveNone) {
  ExpectConverted({"url filter 1 reject a # old rule", "url lan1 filter in 1 # office"},
                  {"url filter 10000 reject a ", "url lan1 filter in 10000 # office"});
}

TEST(UrlFilterTest, CategoryRulesAboveRulesKeepTheCollectedPositions) {
  // The rule position was taken before the category lines above it were
  // removed, so the new rules go in one line further down (here: at the end),
  // and the category block after as many lines as there are new rules.
  ExpectConverted(
      {
          "url filter external-database category 1 reject x",
          "ip lan1 address 192.168.0.1/24",
          "url filter 1 reject a",
          "url lan1 filter in 1 external-database 1",
      },
      {
          "ip lan1 address 192.168.0.1/24",
          "url filter external-database category 10000 reject x",
          "url lan1 filter in 10000 external-database category 10000",
          "url filter 10000 reject a",
      });
}

// ---- Reputation bindings ----

TEST(UrlFilterTest, ReputationBindingPutsTheRulesBackUnchanged) {
  ExpectConverted(
      {
          "url filter 1 reject a",
          "url filter 2 pass b",
          "ip lan1 address 192.168.0.1/24",
          "url filter external-database category 1 reject x",
          "url lan1 filter in 1 external-database reputation",
          "url lan2 filter in 2 reputation",
      },
      {
          "url filter 1 reject a",
          "url filter 2 pass b",
          "ip lan1 address 192.168.0.1/24",
          "url filter external-database category 1 reject x",
          "url lan1 filter in 1 external-database reputation",
          "url lan2 filter in 2 reputation",
      });
}

TEST(UrlFilterTest, MixedReputationBindingsStillGetTheirCopies) {
  // The renumbered bindings name rules that exist; the reputation binding
  // keeps the original rules.
  ExpectConverted(
      {
          "url filter 1 reject a",
          "url filter 2 pass b",
          "url filter external-database category 1 reject x",
          "url wan1 filter in 1",
          "url lan1 filter in 1 2 external-database reputation",
          "url lan2 filter out 2 external-database 1",
      },
      {
          "url filter 10800 reject a",
          "url filter 10600 pass b",
          "url filter 1 reject a",
          "url filter 2 pass b",
          "url filter external-database category 10600 reject x",
          "url filter external-database category 1 reject x",
          "url wan1 filter in 10800",
          "url lan1 filter in 1 2 external-database reputation",
          "url lan2 filter out 10600 external-database category 10600",
      });
}

// ---- Failures ----

TEST(UrlFilterTest, PpBindingWithoutSelectLineFailsAndWritesNothing) {
  const ConversionRun run = RunConversion(Input({"url filter 1 reject a", "url pp filter in 1"}));
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.error, kCnvNotConvertible);
  EXPECT_FALSE(run.written);
  std::u16string expected;
  ASSERT_TRUE(LoadMessage(kIdsErrorNotConvertible, expected));
  EXPECT_EQ(run.message, expected);
}

TEST(UrlFilterTest, SelectLineOfTheOtherKindDoesNotCount) {
  struct Case {
    Lines input;
    Lines after;  // the store as the failed step leaves it
  };
  const std::vector<Case> cases = {
      {{u"url filter external-database id X", u"url filter 1 reject a", u"tunnel select 1",
        u"url lan1 filter in 1", u"url pp filter in 1"},
       {u"url filter external-database id digitalarts X", u"tunnel select 1",
        u"url lan1 filter in 10000", u"url pp filter in 1"}},
      {{u"pp select 1", u"url tunnel filter in 1"}, {u"pp select 1", u"url tunnel filter in 1"}},
  };
  for (const Case& c : cases) {
    Store store(c.input);
    EXPECT_EQ(ConvertUrlFilter(store), 0);
    EXPECT_EQ(store.m_error, kCnvNotConvertible);
    EXPECT_EQ(store.CmdLines(), c.after);
  }
}

TEST(UrlFilterTest, SelectNumberTooLargeForRuleNumbersFails) {
  Store store({u"pp select 99999999999999999999", u"url pp filter in 1"});
  EXPECT_EQ(ConvertUrlFilter(store), 0);
  EXPECT_EQ(store.m_error, kCnvNotConvertible);
}

// " 1 2 ... n": the numbers of a binding naming n rules.
std::u16string NumberList(int n) {
  std::u16string list;
  for (int i = 1; i <= n; ++i) list.append(u" ").append(Utf8ToUtf16(std::to_string(i)));
  return list;
}

TEST(UrlFilterTest, NewNumbersTakenTwiceFail) {
  const std::u16string lan1In = u"url lan1 filter in";
  const std::vector<Lines> collide = {
      {lan1In + NumberList(201), u"url lan1 filter out 1"},
      {u"url lan1 filter out 1", lan1In + NumberList(201)},
      {u"url lan2 filter in 1", u"url lan2 filter in 2"},
      {u"url wan1 filter out external-database 1", u"url wan1 filter out external-database 2"},
      {u"url filter 10000 pass *", u"url lan1 filter in 1", u"url lan2 filter in 10000 reputation"},
  };
  // Next to each other, numbers of the other kind, no numbers, pp 1 and pp 2.
  const std::vector<Lines> apart = {
      {lan1In + NumberList(200), u"url lan1 filter out 1"},
      {lan1In + NumberList(250), u"url lan1 filter out external-database 1"},
      {u"url filter 9999 pass *", u"url filter 10001 pass *",
       u"url filter 99999999999999999999999 pass *", u"url lan1 filter in 1 external-database 1 2",
       u"url lan2 filter in reputation"},
      {u"pp select 1", u"url pp filter in 1", u"url pp filter out 1", u"pp select 2",
       u"url pp filter in 1", u"url lan2 filter in", u"url lan2 filter in"},
  };
  const auto error = [](const Lines& input) {
    Store store(input);
    return ConvertUrlFilter(store) == 1 ? 0 : store.m_error;
  };
  for (const Lines& input : collide)
    EXPECT_EQ(error(input), kCnvNotConvertible) << Utf16ToUtf8(input.back());
  for (const Lines& input : apart) EXPECT_EQ(error(input), 0) << Utf16ToUtf8(input.back());
}

// ---- Renumbering per number ----

TEST(UrlFilterTest, TabSeparatedNumbersAreRenumberedAndCopied) {
  ExpectConverted({"url filter 1 reject a", "url filter 2 pass b",
                   "url lan1 filter in 1\t2\t3 external-database\t4",
                   "url filter external-database category\t4 pass y"},
                  {"url filter 10000 reject a", "url filter 10001 pass b",
                   "url lan1 filter in 10000\t10001\t10002 external-database category\t10000",
                   "url filter external-database category\t10000 pass y"});
}

TEST(UrlFilterTest, RepeatedNumberKeepsItsFirstNewNumber) {
  ExpectConverted({"url filter 1 reject a", "url filter 2 pass b", "url lan1 filter in 1 1 2 1"},
                  {"url filter 10000 reject a", "url filter 10001 pass b",
                   "url lan1 filter in 10000 10000 10001 10000"});
}

TEST(UrlFilterTest, OnlyTheRuleNumberFieldOfACopyChanges) {
  ExpectConverted(
      {"url filter 1 reject 1 192.168.0.1", "url filter external-database category 2 pass 2 2",
       "url lan1 filter in 1 external-database 2"},
      {"url filter 10000 reject 1 192.168.0.1",
       "url filter external-database category 10000 pass 2 2",
       "url lan1 filter in 10000 external-database category 10000"});
}

TEST(UrlFilterTest, RulesWithExtraBlanksAroundTheNumberAreCopied) {
  ExpectConverted({"url filter 1  reject a", "url filter\t2\tpass b", "url filter  3 reject c",
                   "url lan1 filter in 1 2 3"},
                  {"url filter 10000  reject a", "url filter\t10001\tpass b",
                   "url filter  10002 reject c", "url lan1 filter in 10000 10001 10002"});
}

TEST(UrlFilterTest, NumbersMatchByTheirDigitsAsWritten) {
  ExpectConverted({"url filter 1 reject a", "url filter 01 pass b", "url lan1 filter in 01"},
                  {"url filter 10000 pass b", "url lan1 filter in 10000"});
}

TEST(UrlFilterTest, OldNumberEqualToANewNumberIsNotRenumberedTwice) {
  ExpectConverted(
      {"url filter 1 reject a", "url filter 10000 pass b", "url lan1 filter in 1 10000"},
      {"url filter 10000 reject a", "url filter 10001 pass b", "url lan1 filter in 10000 10001"});
}

TEST(UrlFilterTest, BindingLineTakenAsARuleLineEndsTheLoop) {
  // The second binding line also carries a rule, so the rule search removes
  // it: one binding line is left of the two found first.
  ExpectConverted(
      {"url filter 1 pass a", "url lan1 filter in 1", "url wan1 filter in 1 url filter 2 reject x"},
      {"url filter 10000 pass a", "url lan1 filter in 10000"});
  ExpectConverted({"url wan1 filter in 1 url filter 2 reject x", "url filter 1 pass a",
                   "url lan1 filter in 1", "url lan2 filter in 1"},
                  {"url filter 10000 pass a", "url filter 10400 pass a", "url lan1 filter in 10000",
                   "url lan2 filter in 10400"});
}

TEST(UrlFilterTest, BindingLineOfAHundredThousandNumbersIsRenumberedWhole) {
  // A damaged or crafted file may hold such a line; the conversion must stay
  // linear in it. The second half of the numbers repeats the first, and the
  // category part has junk between its numbers.
  constexpr int kNumbers = 100000;
  std::string numbers;
  std::string renumbered;
  for (int i = 0; i < kNumbers; ++i) {
    const int number = i % (kNumbers / 2) + 1;
    numbers.append(" ").append(std::to_string(number));
    renumbered.append(" ").append(std::to_string(10000 + number - 1));
  }
  std::string categories;
  std::string renumberedCategories;
  for (int i = 1; i <= 1000; ++i) {
    categories.append("  x ").append(std::to_string(i));
    renumberedCategories.append("  x ").append(std::to_string(10000 + i - 1));
  }
  ExpectConverted(
      {"url filter 2 pass a", "url filter 50000 reject b", "url filter 50001 pass c",
       "url filter external-database category 3 reject 1",
       "url lan1 filter in" + numbers + " external-database" + categories},
      {"url filter 10001 pass a", "url filter 59999 reject b",
       "url filter external-database category 10002 reject 1",
       "url lan1 filter in" + renumbered + " external-database category" + renumberedCategories});
}

}  // namespace
