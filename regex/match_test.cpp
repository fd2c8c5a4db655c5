// Runs of compiled patterns: match or not, and the spans of the groups.
#include <gtest/gtest.h>

#include <string>

#include "regex/regex.h"

namespace {

struct MatchCase {
  const char16_t* pattern;
  const char16_t* text;
  bool matches;
  int32_t start;  // group 0, when the pattern has one and it matched
  int32_t end;
};

constexpr int32_t kUnset = -1;

void ExpectCase(const MatchCase& c, size_t index) {
  SCOPED_TRACE(testing::Message() << "case " << index);
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(c.pattern), 0);
  MatchState state;
  ASSERT_EQ(MatchPattern(compiled, c.text, &state), c.matches);
  if (!c.matches || compiled.groupCount == 0) return;
  ASSERT_EQ(state.groups.size(), compiled.groupCount);
  EXPECT_EQ(state.groups[0].start, c.start);
  EXPECT_EQ(state.groups[0].end, c.end);
}

void ExpectCases(const MatchCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) ExpectCase(cases[i], i);
}

TEST(PatternMatch, WorkedRunFindsHashAndBlank) {
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"{#+[ \t]*}"), 0);
  MatchState state;
  ASSERT_TRUE(MatchPattern(compiled, u"x # System", &state));
  EXPECT_EQ(state.groupCount, 1u);
  EXPECT_EQ(state.groups[0].start, 2);
  EXPECT_EQ(state.groups[0].end, 4);
}

TEST(PatternMatch, RecognitionRulesOfTheConverters) {
  const MatchCase cases[] = {
      {u"{[0-9]+}", u"pp select 12", true, 10, 12},
      {u"{pp select [0-9]+[ \t]*}", u"pp select 1 ", true, 0, 12},
      {u"{pp select [0-9]+[ \t]*}", u"pp select", false, 0, 0},
      {u"{description pp [\"]?PRV/PPPoE}", u"description pp PRV/PPPoE/1:x", true, 0, 24},
      {u"{description pp [\"]?PRV/PPPoE}", u"description pp \"PRV/PPPoE/1:x\"", true, 0, 25},
      {u"{reputation !(off)}", u"url filter external-database use reputation on", true, 33, 44},
      {u"{reputation !(off)}", u"url filter external-database use reputation off", false, 0, 0},
      {u"{reputation !(off)}", u"reputation off category x", false, 0, 0},
      {u"{reputation !(off)}", u"reputation on", true, 0, 11},
      {u"{((lan1)|(lan2)|(pp))}", u"ip lan2 address", true, 3, 7},
      {u"{((lan1)|(lan2)|(pp))}", u"ip lan3 address", false, 0, 0},
  };
  ExpectCases(cases, std::size(cases));
}

TEST(PatternMatch, SyntaxEdgeCases) {
  const MatchCase cases[] = {
      // Alternation takes single items: a, then b or c, then d.
      {u"{ab|cd}", u"abd", true, 0, 3},
      {u"{ab|cd}", u"xacd", true, 1, 4},
      {u"ab|cd", u"ab", false, 0, 0},
      {u"ab|cd", u"cd", false, 0, 0},
      {u"{(ab)|(cd)}", u"xcd", true, 1, 3},
      // An unmatched closer ends the pattern.
      {u"x)y", u"ax", true, 0, 0},
      {u"x)y", u"y", false, 0, 0},
      // `$` is the end of the text only as the very last pattern character.
      {u"a$", u"ba", true, 0, 0},
      {u"a$", u"ab", false, 0, 0},
      {u"{a$}", u"xa$y", true, 1, 3},
      {u"{a$}", u"a", false, 0, 0},
      {u"{a}$", u"aa", true, 1, 2},
      // No start position is tried at the end of a non-empty text.
      {u"$", u"abc", false, 0, 0},
      {u"$", u"", true, 0, 0},
      {u"^b", u"ab", false, 0, 0},
      {u"{^b}", u"a^b", true, 1, 3},
      {u"^{b}", u"ba", true, 0, 1},
      {u"{a^}", u"a^", true, 0, 2},
      // The empty pattern and the empty text.
      {u"", u"", true, 0, 0},
      {u"", u"abc", true, 0, 0},
      {u"{}", u"abc", true, 0, 0},
      {u"{x*}", u"", true, 0, 0},
      {u"{x+}", u"", false, 0, 0},
      {u"{x?}", u"", true, 0, 0},
      {u"{.}", u"", false, 0, 0},
      // Case is never folded.
      {u"{Ab}", u"ab", false, 0, 0},
      {u"{Ab}", u"aAb", true, 1, 3},
      {u"{[a-z]+}", u"ABCdef", true, 3, 6},
      {u"{[^a-z]+}", u"abCDe", true, 2, 4},
      // Classes, escapes and the wildcard.
      {u"{[ \t]}", u"a\tb", true, 1, 2},
      {u"{[ \t]}", u"a b", true, 1, 2},
      {u"[ \t]", u"ab", false, 0, 0},
      {u"{\\.}", u"a.b", true, 1, 2},
      {u"\\.", u"ab", false, 0, 0},
      {u"{.}", u"\t", true, 0, 1},
      {u"{\\t}", u"\tt", true, 1, 2},
      {u"{[\\]]}", u"a]", true, 1, 2},
      {u"{a**}", u"aa*", true, 0, 3},
      {u"a\\", u"xa\\", true, 0, 0},
      {u"a\\", u"a", false, 0, 0},
      {u"{!}", u"a!", true, 1, 2},
  };
  ExpectCases(cases, std::size(cases));
}

TEST(PatternMatch, QuantifiersPreferGreedyOrLazyAsWritten) {
  const MatchCase cases[] = {
      {u"{a*}a", u"aaa", true, 0, 2},
      {u"{a+}", u"baaab", true, 1, 4},
      {u"{a?}b", u"ab", true, 0, 1},
      {u"{a+?}", u"aaa", true, 0, 1},
      {u"{a*?}", u"aaa", true, 0, 0},
      {u"{a*?b}", u"aab", true, 0, 3},
      {u"{a+?b}", u"xaab", true, 1, 4},
      {u"{a??}", u"a", true, 0, 0},
      {u"{a??b}", u"ab", true, 0, 2},
      {u"{(ab)??}ab", u"abab", true, 0, 0},
      {u"{(ab)??}c", u"abc", true, 0, 2},
      // A continuation that consumes text before it fails gives the position
      // back before the lazy operand is tried.
      {u"{a*?ab}", u"aab", true, 0, 3},
      {u"{a+?ab}", u"aaab", true, 0, 4},
      {u"{b??bc}", u"bbc", true, 0, 3},
      {u"{}??ac", u"aac", true, kUnset, kUnset},
      {u"{(a+b)*}", u"aababc", true, 0, 5},
      {u"{(a|ab)*}c", u"ababc", true, 0, 4},
      {u"{[0-9]+}[0-9]", u"x123", true, 1, 3},
  };
  ExpectCases(cases, std::size(cases));
}

TEST(PatternMatch, GroupsReportThePathThatSucceeded) {
  const MatchCase cases[] = {
      // The first alternative entered the group, then failed: restored.
      {u"({a}b)|(ac)", u"ac", true, kUnset, kUnset},
      // A group inside a loop reports its last iteration.
      {u"({[a-c]})*", u"abc", true, 2, 3},
      {u"({a}|b)*", u"ab", true, 0, 1},
      // A group inside a look-ahead that matched is put back as it was.
      {u"!{a}.", u"ab", true, kUnset, kUnset},
      {u"(!{a}.)+", u"aab", true, kUnset, kUnset},
      {u"{a|}b", u"b", true, 0, 0},
      {u"{\\n}", u"x\r\ny", true, 1, 2},
      {u"{\\n}", u"x\ny", true, 1, 2},
      {u"{\\z}", u"a123b", true, 1, 4},
      {u"{\\w+}", u"12ab3", true, 2, 4},
      {u"{\\d\\d}", u"a1b23", true, 3, 5},
      {u"{\\h+}", u"xyzBEEFg", true, 3, 7},
      {u"{\\a+}", u"--a1-", true, 2, 4},
      {u"{\\b}", u"a\tb", true, 1, 2},
      {u"{\\c+}", u"1aB2", true, 1, 3},
      {u"{\\q}", u"say \"hi\" x", true, 4, 8},
      // Only the first item of the quoted-string abbreviation is compiled.
      {u"{\\q}", u"say 'hi' x", false, 0, 0},
      {u"{\\x}", u"ax", true, 1, 2},
  };
  ExpectCases(cases, std::size(cases));
}

TEST(PatternMatch, BackReferences) {
  const MatchCase cases[] = {
      {u"{[a-c]}\\0", u"xbb", true, 1, 2},
      {u"{[a-c]}\\0", u"abc", false, 0, 0},
      {u"{a*}b\\0", u"aabaa", true, 0, 2},
      {u"{a*}b\\0", u"aaba", true, 1, 2},
      // A group that took no part is unset, and a reference to it fails.
      {u"((x{a})|(y))\\0", u"y", false, 0, 0},
      {u"((x{a})|(y))\\0", u"xaa", true, 1, 2},
      // Inside itself a group is unset.
      {u"{a\\0}", u"aa", false, 0, 0},
      // `|` takes single items: this is ({a}|b) then the reference.
      {u"({a}|b\\0)+", u"aba", false, 0, 0},
      {u"({a}|(b\\0))+", u"aba", true, 0, 1},
  };
  ExpectCases(cases, std::size(cases));
}

TEST(PatternMatch, AllGroupSpans) {
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"{a}{(b)|{c}}{d}"), 0);
  ASSERT_EQ(compiled.groupCount, 4u);
  MatchState state;
  ASSERT_TRUE(MatchPattern(compiled, u"xabd", &state));
  EXPECT_EQ(state.groups[0].start, 1);
  EXPECT_EQ(state.groups[0].end, 2);
  EXPECT_EQ(state.groups[1].start, 2);
  EXPECT_EQ(state.groups[1].end, 3);
  EXPECT_FALSE(state.groups[2].matched());
  EXPECT_EQ(state.groups[3].start, 3);
  EXPECT_EQ(state.groups[3].end, 4);
}

TEST(PatternMatch, NullArgumentsAndUnusablePrograms) {
  CompiledPattern compiled;
  MatchState state;
  EXPECT_FALSE(MatchPattern(compiled, u"a", &state));  // never compiled
  ASSERT_EQ(compiled.Compile(u"a"), 0);
  EXPECT_FALSE(MatchPattern(compiled, nullptr, &state));
  EXPECT_FALSE(MatchPattern(compiled, u"a", nullptr));
  EXPECT_TRUE(MatchPattern(compiled, u"a", &state));
  ASSERT_NE(compiled.Compile(u"[a"), 0);
  EXPECT_FALSE(MatchPattern(compiled, u"a", &state));

  // Operands out of range are refused before the run, not followed.
  CompiledPattern forged;
  forged.instructions = {{Op::Call, 2}, {Op::Advance, 0}, {Op::SavePos, 3}, {Op::Match, 0}};
  EXPECT_FALSE(MatchPattern(forged, u"a", &state));
  forged.instructions = {{Op::Call, 2}, {Op::Advance, 0}, {Op::GroupStart, 0}, {Op::Match, 0}};
  EXPECT_FALSE(MatchPattern(forged, u"a", &state));
  forged.instructions = {{Op::Call, 2}, {Op::Advance, 0}, {Op::Jump, 99}, {Op::Match, 0}};
  EXPECT_FALSE(MatchPattern(forged, u"a", &state));
  forged.instructions = {{Op::Call, 2}, {Op::Advance, 0}, {Op::InClass, 9}, {Op::Match, 0}};
  EXPECT_FALSE(MatchPattern(forged, u"a", &state));
}

TEST(PatternMatch, OneStateServesManyRuns) {
  CompiledPattern three;
  CompiledPattern one;
  ASSERT_EQ(three.Compile(u"{a}{b}{c}"), 0);
  ASSERT_EQ(one.Compile(u"{x+}"), 0);
  MatchState state;
  ASSERT_TRUE(MatchPattern(three, u"abc", &state));
  ASSERT_EQ(state.groups.size(), 3u);
  ASSERT_TRUE(MatchPattern(one, u"axx", &state));
  ASSERT_EQ(state.groups.size(), 1u);
  EXPECT_EQ(state.groupCount, 1u);
  EXPECT_EQ(state.groups[0].start, 1);
  EXPECT_EQ(state.groups[0].end, 3);
  EXPECT_FALSE(MatchPattern(one, u"abc", &state));
  ASSERT_TRUE(MatchPattern(three, u"xabc", &state));
  EXPECT_EQ(state.groups[2].start, 3);
}

TEST(PatternMatch, TextEndIsTheViewLength) {
  CompiledPattern compiled;
  MatchState state;
  ASSERT_EQ(compiled.Compile(u"{b}"), 0);
  // A view may hold a NUL character; only its length ends it.
  ASSERT_TRUE(MatchPattern(compiled, std::u16string_view(u"a\0b", 3), state));
  EXPECT_EQ(state.groups[0].start, 2);
  // The pointer form measures up to the NUL.
  EXPECT_FALSE(MatchPattern(compiled, u"a\0b", &state));
  ASSERT_EQ(compiled.Compile(u"a$"), 0);
  EXPECT_FALSE(MatchPattern(compiled, std::u16string_view(u"a\0", 2), state));
  EXPECT_TRUE(MatchPattern(compiled, std::u16string_view(u"ba", 2), state));
}

TEST(PatternMatch, LongTextsUseTheHeapNotTheCallStack) {
  const std::u16string text(1 << 20, u'a');
  CompiledPattern compiled;
  MatchState state;
  ASSERT_EQ(compiled.Compile(u"{(a)*}"), 0);
  ASSERT_TRUE(MatchPattern(compiled, text, state));
  EXPECT_EQ(state.groups[0].start, 0);
  EXPECT_EQ(state.groups[0].end, 1 << 20);
  // Four entries per iteration, grown by doubling from 256.
  EXPECT_GE(state.stack.size(), size_t{4} << 20);

  // Every iteration fails at the end and gives back one character at a time.
  ASSERT_EQ(compiled.Compile(u"{(a|b)+}c"), 0);
  EXPECT_FALSE(MatchPattern(compiled, std::u16string(2000, u'a'), state));
  ASSERT_EQ(compiled.Compile(u"{[a-b]*}$"), 0);
  ASSERT_TRUE(MatchPattern(compiled, text, state));
  EXPECT_EQ(state.groups[0].end, 1 << 20);
}

}  // namespace
