// The search hints derived from compiled programs: the start units, the
// required literals and prefix, the unit loops and the linear programs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "regex/hints_test_support.h"
#include "regex/search.h"

namespace {

std::vector<std::u16string> RequiredTexts(const SearchHints& hints) {
  std::vector<std::u16string> texts;
  for (const RequiredLiteral& literal : hints.required) texts.push_back(literal.text);
  return texts;
}

struct HintCase {
  const char16_t* pattern;
  bool skipStarts;
  std::u16string prefix;
  std::vector<std::u16string> required;  // in the order they are checked
  bool linear = false;
};

TEST(SearchHintsTest, DerivedFromTheProgram) {
  const HintCase cases[] = {
      {u"{pp select [0-9]+[ \t]*}", true, u"pp select ", {u"pp select "}, true},
      // The letters of a look-ahead are read but not consumed: not required.
      {u"{reputation !(off)}", true, u"reputation ", {u"reputation "}},
      {u"{pp enable 5}![0-9]", true, u"pp enable 5", {u"pp enable 5"}, true},
      // Optional leading blanks: no prefix, but the literal is required.
      {u"{[ \t]*url filter[ \t]*[0-9]+}", true, u"", {u"url filter"}, true},
      {u"{#?[ \t]*x}", true, u"", {u"x"}, true},
      {u"^{[^0-9]+[0-9]}", false, u"", {}, true},
      // Not linear: a loop may give back a unit the rest needs, a look-ahead
      // follows a loop, a second group, a class partly beyond 255.
      {u"{[0-9]*5}", true, u"", {u"5"}},
      {u"{a[0-9]*}![x]", true, u"a", {u"a"}},
      {u"{a}{b}", true, u"a", {u"b", u"a"}},
      {u"{[\u3000-\u30ff]+}", true, u"", {}},
      // Each branch of an alternation is required by neither.
      {u"((lan)|(wan))1", true, u"", {u"1"}},
      // `|` binds single items: a, then b or c, then d.
      {u"ab|cd", true, u"a", {u"d", u"a"}},
      {u"a*b", true, u"", {u"b"}},
      {u"a$", true, u"a", {u"a"}},
      // Any code unit may begin these, so no start is skipped.
      {u".b", false, u"", {u"b"}},
      {u"[^a]b", false, u"", {u"b"}},
      // Anchored: only the first position is tried anyway.
      {u"^abc", false, u"", {u"abc"}},
      // A match may be empty: nothing can be skipped or required.
      {u"{x*}", false, u"", {}},
      {u"", false, u"", {}},
      {u"(a)?", false, u"", {}},
  };
  for (const HintCase& c : cases) {
    const SearchHints hints = HintsOf(c.pattern);
    SCOPED_TRACE(Narrow(c.pattern));
    EXPECT_EQ(hints.skipStarts, c.skipStarts);
    EXPECT_EQ(hints.prefix.text, c.prefix);
    EXPECT_EQ(RequiredTexts(hints), c.required);
    EXPECT_EQ(hints.linear.usable, c.linear);
  }
}

TEST(SearchHintsTest, FirstCodeUnitsOfClassesAndAlternatives) {
  const SearchHints hints = HintsOf(u"{[ \t]*url}|x");
  ASSERT_TRUE(hints.skipStarts);
  for (char16_t unit : std::u16string(u" \tux"))
    EXPECT_TRUE(hints.MayStartWith(unit)) << static_cast<int>(unit);
  for (char16_t unit : std::u16string(u"rlaU#"))
    EXPECT_FALSE(hints.MayStartWith(unit)) << static_cast<int>(unit);
  EXPECT_FALSE(hints.MayStartWith(u'\u3042'));
  // A class that reaches past the first 256 code units admits all of those.
  const SearchHints wide = HintsOf(u"[a\u3000-\u30ff]b");
  EXPECT_TRUE(wide.MayStartWith(u'a'));
  EXPECT_TRUE(wide.MayStartWith(u'\u3042'));
  EXPECT_FALSE(wide.MayStartWith(u'b'));
}

TEST(SearchHintsTest, SecondCodeUnit) {
  // A blank-led number: a blank, then more blanks or a digit.
  const SearchHints number = HintsOf(u"{[ \t]+[0-9]+}");
  ASSERT_TRUE(number.secondKnown);
  for (char16_t unit : std::u16string(u" \t09")) EXPECT_TRUE(number.second.Has(unit));
  EXPECT_FALSE(number.second.Has(u'a'));
  // A match that may end after its first unit leaves the second open.
  EXPECT_FALSE(HintsOf(u"{[0-9]+}").secondKnown);
  EXPECT_FALSE(HintsOf(u"a$").secondKnown);
  // Whatever follows a look-ahead is read at the same place: its letters
  // and those after it both count.
  const SearchHints look = HintsOf(u"[ab]!(x)y");
  ASSERT_TRUE(look.secondKnown);
  EXPECT_TRUE(look.second.Has(u'x'));
  EXPECT_TRUE(look.second.Has(u'y'));
  EXPECT_FALSE(look.second.Has(u'a'));
}

TEST(SearchHintsTest, GreedyLoopsOverOneUnitAreFound) {
  // Each `*` and the loop of each `+` over one unit test, none other.
  EXPECT_EQ(HintsOf(u"{[ \t]*url filter[ \t]*[0-9]+}").unitLoops.size(), 3u);
  EXPECT_EQ(HintsOf(u"{.+x}").unitLoops.size(), 1u);
  EXPECT_TRUE(HintsOf(u"{(ab)*c}").unitLoops.empty());
  EXPECT_TRUE(HintsOf(u"{a?b}").unitLoops.empty());
}

TEST(SearchHintsTest, LoopsAfterWhichThePositionAloneDecides) {
  struct Case {
    const char16_t* pattern;
    std::vector<bool> decides;  // per unit loop, in program order
  };
  const Case cases[] = {
      {u"{#+[ \t]*PP configuration[ \t]*}", {true, true, true}},
      {u"{schedule at [0-9]+.+ntpdate}", {true, true}},
      // Inside alternatives, and after a look-ahead, the position decides.
      {u"((a*b)|(c*d))!x[0-9]*e", {true, true, true}},
      // A back-reference reads a group the loop's way in set.
      {u"{{a*}x\\1}", {false}},
      // The rest of an enclosing loop's operand reads that loop's slot,
      // written before the inner loop was entered.
      {u"(b[0-9]*c)*d", {false}},
      {u"(b[0-9]*)?d", {false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.pattern));
    const SearchHints hints = HintsOf(c.pattern);
    std::vector<bool> decides;
    for (const UnitLoop& loop : hints.unitLoops) decides.push_back(loop.positionDecides);
    EXPECT_EQ(decides, c.decides);
  }
}

}  // namespace
