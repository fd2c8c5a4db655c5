// Programs produced by the pattern compiler, and its parse errors.
#include <gtest/gtest.h>

#include <string>

#include "regex/regex.h"

namespace {

std::string DumpOf(std::u16string_view pattern) {
  CompiledPattern compiled;
  int error = compiled.Compile(pattern);
  if (error != 0) return "error " + std::to_string(error);
  return compiled.Dump();
}

TEST(PatternCompile, WorkedExampleGivesThirtySixInstructions) {
  const char* expected =
      "0 Call 2\n1 Advance 0\n2 PushGroup 0\n3 GroupStart 0\n4 Call 7\n5 PopGroup 0\n"
      "6 Return 0\n7 Char 35\n8 PushSlot 0\n9 SavePos 0\n10 PushPos 0\n11 Call 15\n"
      "12 PopPos 0\n13 PopSlot 0\n14 Jump 19\n15 Char 35\n16 ReturnIfEmpty 0\n17 SavePos 0\n"
      "18 Jump 8\n19 PushSlot 1\n20 SavePos 1\n21 PushPos 0\n22 Call 26\n23 PopPos 0\n"
      "24 PopSlot 1\n25 Jump 34\n26 InClass 31\n27 Nop 32\n28 Nop 32\n29 Nop 9\n30 Nop 9\n"
      "31 ReturnIfEmpty 1\n32 SavePos 1\n33 Jump 19\n34 GroupEnd 0\n35 Match 0\n";
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"{#+[ \t]*}"), 0);
  EXPECT_EQ(compiled.Dump(), expected);
  EXPECT_EQ(compiled.instructions.size(), 36u);
  EXPECT_EQ(compiled.groupCount, 1u);
  EXPECT_EQ(compiled.slotCount, 2u);
  EXPECT_EQ(compiled.caseSensitive, 1);
}

struct DumpCase {
  const char16_t* pattern;
  const char* program;  // after "0 Call 2" and "1 Advance 0"
};

TEST(PatternCompile, EachTemplateIsEmittedAsWritten) {
  const DumpCase cases[] = {
      {u"", "2 Match 0\n"},
      {u"a", "2 Char 97\n3 Match 0\n"},
      {u".", "2 AnyChar 0\n3 Match 0\n"},
      {u"[a-c]", "2 InClass 5\n3 Nop 97\n4 Nop 99\n5 Match 0\n"},
      {u"[^ab]", "2 NotInClass 7\n3 Nop 97\n4 Nop 97\n5 Nop 98\n6 Nop 98\n7 Match 0\n"},
      {u"[\\]\\t]", "2 InClass 7\n3 Nop 93\n4 Nop 93\n5 Nop 9\n6 Nop 9\n7 Match 0\n"},
      {u"(a)", "2 Call 4\n3 Return 0\n4 Char 97\n5 Match 0\n"},
      {u"()", "2 Call 4\n3 Return 0\n4 Nop 0\n5 Match 0\n"},
      {u"{a}",
       "2 PushGroup 0\n3 GroupStart 0\n4 Call 7\n5 PopGroup 0\n6 Return 0\n7 Char 97\n"
       "8 GroupEnd 0\n9 Match 0\n"},
      {u"{}",
       "2 PushGroup 0\n3 GroupStart 0\n4 Call 7\n5 PopGroup 0\n6 Return 0\n7 Nop 0\n"
       "8 GroupEnd 0\n9 Match 0\n"},
      {u"!a",
       "2 SavePos 0\n3 SaveStack 1\n4 Call 8\n5 LoadPos 0\n6 LoadStack 1\n7 Jump 12\n"
       "8 Char 97\n9 LoadPos 0\n10 LoadStack 1\n11 Return 0\n12 Match 0\n"},
      {u"a|b",
       "2 PushPos 0\n3 Call 6\n4 PopPos 0\n5 Jump 8\n6 Char 97\n7 Jump 9\n8 Char 98\n9 Match 0\n"},
      {u"a|b|c",
       "2 PushPos 0\n3 Call 6\n4 PopPos 0\n5 Jump 8\n6 Char 97\n7 Jump 15\n8 PushPos 0\n"
       "9 Call 12\n10 PopPos 0\n11 Jump 14\n12 Char 98\n13 Jump 15\n14 Char 99\n15 Match 0\n"},
      {u"a*",
       "2 PushSlot 0\n3 SavePos 0\n4 PushPos 0\n5 Call 9\n6 PopPos 0\n7 PopSlot 0\n8 Jump 13\n"
       "9 Char 97\n10 ReturnIfEmpty 0\n11 SavePos 0\n12 Jump 2\n13 Match 0\n"},
      {u"a?",
       "2 PushSlot 0\n3 SavePos 0\n4 PushPos 0\n5 Call 9\n6 PopPos 0\n7 PopSlot 0\n8 Jump 12\n"
       "9 Char 97\n10 ReturnIfEmpty 0\n11 SavePos 0\n12 Match 0\n"},
      {u"a+",
       "2 Char 97\n3 PushSlot 0\n4 SavePos 0\n5 PushPos 0\n6 Call 10\n7 PopPos 0\n8 PopSlot 0\n"
       "9 Jump 14\n10 Char 97\n11 ReturnIfEmpty 0\n12 SavePos 0\n13 Jump 3\n14 Match 0\n"},
      // The lazy forms save the position with their frame (see match tests).
      {u"a*?", "2 PushPos 0\n3 Call 7\n4 PopPos 0\n5 Char 97\n6 Jump 2\n7 Match 0\n"},
      {u"a+?", "2 Char 97\n3 PushPos 0\n4 Call 8\n5 PopPos 0\n6 Char 97\n7 Jump 3\n8 Match 0\n"},
      {u"a??", "2 PushPos 0\n3 Call 6\n4 PopPos 0\n5 Char 97\n6 Match 0\n"},
      {u"{a}\\0",
       "2 PushGroup 0\n3 GroupStart 0\n4 Call 7\n5 PopGroup 0\n6 Return 0\n7 Char 97\n"
       "8 GroupEnd 0\n9 BackRef 0\n10 Match 0\n"},
      {u"\\d", "2 Call 4\n3 Return 0\n4 InClass 7\n5 Nop 48\n6 Nop 57\n7 Match 0\n"},
      {u"a$", "2 Char 97\n3 Char 0\n4 Match 0\n"},
      {u"{a$}",
       "2 PushGroup 0\n3 GroupStart 0\n4 Call 7\n5 PopGroup 0\n6 Return 0\n7 Char 97\n"
       "8 Char 36\n9 GroupEnd 0\n10 Match 0\n"},
      // Where an atom is expected, quantifier and bar characters are literals.
      {u"a**",
       "2 PushSlot 0\n3 SavePos 0\n4 PushPos 0\n5 Call 9\n6 PopPos 0\n7 PopSlot 0\n8 Jump 13\n"
       "9 Char 97\n10 ReturnIfEmpty 0\n11 SavePos 0\n12 Jump 2\n13 Char 42\n14 Match 0\n"},
      {u"|", "2 Char 124\n3 Match 0\n"},
      // `\t` outside a class is the letter t; an unknown escape is its letter.
      {u"\\t\\.", "2 Char 116\n3 Char 46\n4 Match 0\n"},
      // The rest of the pattern after an unmatched closer is ignored.
      {u"x)y", "2 Char 120\n3 Match 0\n"},
      {u"x]y", "2 Char 120\n3 Match 0\n"},
  };
  for (const DumpCase& c : cases) {
    std::string expected = std::string("0 Call 2\n1 Advance 0\n") + c.program;
    EXPECT_EQ(DumpOf(c.pattern), expected) << "pattern index " << (&c - cases);
  }
}

TEST(PatternCompile, LeadingCaretReplacesAdvanceWithFail) {
  EXPECT_EQ(DumpOf(u"^a"), "0 Call 2\n1 Fail 0\n2 Char 97\n3 Match 0\n");
  // Anywhere else a caret is literal.
  EXPECT_EQ(DumpOf(u"a^"), "0 Call 2\n1 Advance 0\n2 Char 97\n3 Char 94\n4 Match 0\n");
}

TEST(PatternCompile, SlotsAreAllocatedInTemplateOrder) {
  // `?` takes slot 0 before its operand's look-ahead takes 1 and 2; `b*` then 3.
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"(!a)?b*"), 0);
  EXPECT_EQ(compiled.slotCount, 4u);
  EXPECT_EQ(compiled.Dump(),
            "0 Call 2\n1 Advance 0\n2 PushSlot 0\n3 SavePos 0\n4 PushPos 0\n5 Call 9\n"
            "6 PopPos 0\n7 PopSlot 0\n8 Jump 23\n9 Call 11\n10 Return 0\n11 SavePos 1\n"
            "12 SaveStack 2\n13 Call 17\n14 LoadPos 1\n15 LoadStack 2\n16 Jump 21\n17 Char 97\n"
            "18 LoadPos 1\n19 LoadStack 2\n20 Return 0\n21 ReturnIfEmpty 0\n22 SavePos 0\n"
            "23 PushSlot 3\n24 SavePos 3\n25 PushPos 0\n26 Call 30\n27 PopPos 0\n28 PopSlot 3\n"
            "29 Jump 34\n30 Char 98\n31 ReturnIfEmpty 3\n32 SavePos 3\n33 Jump 23\n34 Match 0\n");
}

TEST(PatternCompile, PlusKeepsFirstCopySlotsAndGivesTheLoopFreshOnes) {
  // First copy: look-ahead slots 0, 1; loop slot 2; second copy: 3, 4.
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"(!ab)+"), 0);
  EXPECT_EQ(compiled.slotCount, 5u);
  EXPECT_EQ(compiled.Dump(),
            "0 Call 2\n1 Advance 0\n2 Call 4\n3 Return 0\n4 SavePos 0\n5 SaveStack 1\n6 Call 10\n"
            "7 LoadPos 0\n8 LoadStack 1\n9 Jump 14\n10 Char 97\n11 LoadPos 0\n12 LoadStack 1\n"
            "13 Return 0\n14 Char 98\n15 PushSlot 2\n16 SavePos 2\n17 PushPos 0\n18 Call 22\n"
            "19 PopPos 0\n20 PopSlot 2\n21 Jump 38\n22 Call 24\n23 Return 0\n24 SavePos 3\n"
            "25 SaveStack 4\n26 Call 30\n27 LoadPos 3\n28 LoadStack 4\n29 Jump 34\n30 Char 97\n"
            "31 LoadPos 3\n32 LoadStack 4\n33 Return 0\n34 Char 98\n35 ReturnIfEmpty 2\n"
            "36 SavePos 2\n37 Jump 15\n38 Match 0\n");
}

TEST(PatternCompile, GroupsAreNumberedByOpeningBraceAndShareNumbersAcrossPlusCopies) {
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"{{a}b}{c}+"), 0);
  EXPECT_EQ(compiled.groupCount, 3u);
  std::string dump = compiled.Dump();
  EXPECT_NE(dump.find("2 PushGroup 0\n"), std::string::npos);
  EXPECT_NE(dump.find("7 PushGroup 1\n"), std::string::npos);
  // Both copies of `{c}` report into group 2; no group 3 appears.
  size_t first = dump.find("PushGroup 2\n");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(dump.find("PushGroup 2\n", first + 1), std::string::npos);
  EXPECT_EQ(dump.find("PushGroup 3"), std::string::npos);
}

struct ErrorCase {
  const char16_t* pattern;
  int error;
};

TEST(PatternCompile, ParseErrors) {
  const ErrorCase cases[] = {
      {u"{ab", kParseMissingBrace},
      {u"{a)", kParseMissingBrace},
      {u"(ab", kParseMissingParen},
      {u"(a}", kParseMissingParen},
      {u"[ab", kParseMissingBracket},
      {u"[a-", kParseMissingBracket},
      {u"[a\\", kParseMissingBracket},
      // The upper bound is taken as written: `]` here is the bound, below `a`.
      {u"[a-]", kParseBadRange},
      {u"[]", kParseEmptyClass},
      {u"[^]", kParseEmptyClass},
      {u"\\1", kParseBadBackReference},
      {u"{a}\\1", kParseBadBackReference},
      {u"\\0{a}", kParseBadBackReference},
      // A number too large for any group must not wrap round to a small one.
      {u"{a}\\18446744073709551616", kParseBadBackReference},
      {u"{a}\\4294967296", kParseBadBackReference},
      {u"[b-a]", kParseBadRange},
      {u"(a*)*", kParseEmptyLoopOperand},
      {u"(a?)+", kParseEmptyLoopOperand},
      {u"({})*?", kParseEmptyLoopOperand},
      {u"()+?", kParseEmptyLoopOperand},
      // A lazy `+?` counts as able to match empty, like `*?`.
      {u"(a+?)*", kParseEmptyLoopOperand},
      {u"(a|b*)*", kParseEmptyLoopOperand},
      {u"(b*|a)+", kParseEmptyLoopOperand},
      // A look-ahead consumes nothing, and neither does a reference to a group
      // that matched empty: as loop operands both could repeat forever.
      {u"(!a)*", kParseEmptyLoopOperand},
      {u"{a*}\\0*?", kParseEmptyLoopOperand},
      // Inside itself a group may hold the empty span a failed way left.
      {u"{\\0*?}x", kParseEmptyLoopOperand},
      {u"{a\\0+}", kParseEmptyLoopOperand},
      // These compile.
      {u"x)y", kParseOk},
      {u"(a|b)*", kParseOk},
      {u"(a+)+", kParseOk},
      {u"(a?b)*", kParseOk},
      {u"{a}\\0*", kParseOk},
      {u"{a\\0}", kParseOk},
      {u"{{a}\\1}", kParseOk},
      {u"(a*)?", kParseOk},
      {u"(a*)??", kParseOk},
      {u"[a-]]", kParseBadRange},
      {u"[+-]]", kParseOk},
      {u"a\\", kParseOk},
      {u"]", kParseOk},
  };
  for (const ErrorCase& c : cases) {
    CompiledPattern compiled;
    EXPECT_EQ(compiled.Compile(c.pattern), c.error) << "pattern index " << (&c - cases);
    EXPECT_EQ(compiled.lastError, c.error);
    if (c.error != 0) {
      EXPECT_TRUE(compiled.instructions.empty());
      EXPECT_EQ(compiled.groupCount, 0u);
    }
  }
}

TEST(PatternCompile, NullPatternGivesTen) {
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"{a}"), 0);
  EXPECT_EQ(compiled.Compile(static_cast<const char16_t*>(nullptr)), kParseNullPattern);
  EXPECT_EQ(compiled.lastError, kParseNullPattern);
  EXPECT_TRUE(compiled.instructions.empty());
  EXPECT_EQ(compiled.groupCount, 0u);
}

TEST(PatternCompile, EachCompilationStartsFromScratch) {
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"{a}{b}*"), 0);
  ASSERT_EQ(compiled.Compile(u"[]"), kParseEmptyClass);
  ASSERT_EQ(compiled.Compile(u"x"), 0);
  EXPECT_EQ(compiled.lastError, 0);
  EXPECT_EQ(compiled.groupCount, 0u);
  EXPECT_EQ(compiled.slotCount, 0u);
  EXPECT_EQ(compiled.Dump(), "0 Call 2\n1 Advance 0\n2 Char 120\n3 Match 0\n");
}

TEST(PatternCompile, AViewEndsAtItsFirstNul) {
  EXPECT_EQ(DumpOf(std::u16string_view(u"a\0b", 3)), DumpOf(u"a"));
}

TEST(PatternCompile, DeepNestingIsRefusedInsteadOfExhaustingTheStack) {
  std::u16string shallow = std::u16string(100, u'(') + u"a" + std::u16string(100, u')');
  std::u16string deep = std::u16string(100000, u'(') + u"a" + std::u16string(100000, u')');
  std::u16string looks(100000, u'!');
  CompiledPattern compiled;
  EXPECT_EQ(compiled.Compile(shallow), 0);
  EXPECT_EQ(compiled.Compile(deep), kParseOutOfMemory);
  EXPECT_EQ(compiled.Compile(looks + u"a"), kParseOutOfMemory);
}

TEST(PatternCompile, LongAlternationChainsNeedNoNesting) {
  std::u16string chain = u"a";
  for (int i = 0; i < 5000; ++i) chain += u"|a";
  CompiledPattern compiled;
  EXPECT_EQ(compiled.Compile(chain), 0);
}

TEST(PatternCompile, ProgramsThatOutgrowTheLimitAreRefused) {
  // Every nested `+` doubles its operand's code.
  std::u16string pattern = u"a";
  for (int i = 0; i < 30; ++i) pattern = u"(" + pattern + u")+";
  CompiledPattern compiled;
  EXPECT_EQ(compiled.Compile(pattern), kParseOutOfMemory);
}

}  // namespace
