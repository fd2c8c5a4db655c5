// The search hints, the literal scan, and the searcher built on them: with
// acceleration every result and every group span must be those of the
// plain interpreter, and so must every record of the line searches.
#include "regex/search.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "convert/converter_patterns_test_support.h"
#include "engine/cnv_base.h"
#include "engine/line_ops.h"
#include "engine/store_test_support.h"
#include "regex/search_test_support.h"

namespace {

std::string Narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

SearchHints HintsOf(std::u16string_view pattern) {
  CompiledPattern compiled;
  EXPECT_EQ(compiled.Compile(pattern), 0) << Narrow(pattern);
  return AnalyzeProgram(compiled);
}

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

TEST(SearchHintsTest, NextStartTakesWhatTheSetsAdmitFromEveryOffset) {
  for (const char16_t* pattern : {u"{[0-9]+}", u"{[ \t]+[0-9]+}", u"{[a\u3000-\uffff]b}"}) {
    const SearchHints hints = HintsOf(pattern);
    ASSERT_TRUE(hints.skipStarts && hints.firstRanges.usable);
    for (size_t size = 0; size <= 24; ++size) {
      // One unit that may begin a match at `hit`, and one after it.
      for (size_t hit = 0; hit <= size; ++hit) {
        std::u16string text(size, u'x');
        if (hit < size) text[hit] = hit % 2 ? u'\t' : u'7';
        if (hit < size) text[hit] = hints.first.Has(text[hit]) ? text[hit] : u'\u3042';
        if (hit + 1 < size) text[hit + 1] = u'b';
        if (hit + 1 < size && !hints.second.Has(u'b')) text[hit + 1] = u'1';
        const int32_t len = static_cast<int32_t>(size);
        for (int32_t from = 0; from <= len; ++from) {
          int32_t expected = from;
          while (expected < len &&
                 !(hints.first.Has(text[expected]) &&
                   (!hints.secondKnown ||
                    (expected + 1 < len && hints.second.Has(text[expected + 1]))))) {
            ++expected;
          }
          EXPECT_EQ(NextStart(hints, text.data(), len, from), expected)
              << Narrow(pattern) << " " << Narrow(text) << " from " << from;
        }
      }
    }
  }
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

TEST(PatternSearcherTest, LoopShortcutsKeepTheResults) {
  struct Case {
    const char16_t* pattern;
    const char16_t* text;
    int32_t start, end;  // of group 0, or -1: no match
  };
  const Case cases[] = {
      // The rest after a* failed at 2 for the match tried from 0; from 1 the
      // back-reference wants a different text, and the match exists.
      {u"{{a*}x\\1}", u"aaxa", 1, 4},
      // Ways out known to fail are skipped, the first that succeeds is kept.
      {u"{#+[ \t]*PP}", u"####X ## PP", 6, 11},
      {u"{[ \t]+[0-9]+}", u"      x  12", 7, 11},
      {u"{a*ab}", u"aaaaaaaaab", 0, 10},
      {u"{x*y}", u"xxxxxxxxxxxxxxxxxxxz", -1, -1},
      // A loop entered again inside the same run knows where the run ends.
      {u"{.?a*b}", u"caaab", 0, 5},
      {u"{(b[0-9]*c)*d}", u"b1cb22cb3d", 9, 10},
      // The unit after the prefix rules out the first two places.
      {u"{ip ((lan)|(wan))[0-9]+}", u"ip filter ip x ip lan1", 15, 22},
      {u"{ip ((lan)|(wan))[0-9]+}", u"ip wan ip ", -1, -1},
      // Linear programs: each step takes what it can.
      {u"{[0-9]+}", u"ab 123 4", 3, 6},
      {u"{pp enable 5}![0-9]", u"pp enable 51 pp enable 5", 13, 24},
      {u"{a[0-9]*b}![x]", u"a12bx a3b", 6, 9},
      {u"{#?[ \t]*x}", u"## \tx", 1, 5},
      {u"{[ \t]+[0-9]+}", u" \t \t x  \t", -1, -1},
      {u"{[ \t]+[0-9]+}", u"   \t  \t x  \t 7", 9, 14},
      {u"^{[0-9]+x}", u"12x", 0, 3},
      {u"^{[0-9]+x}", u"a12x", -1, -1},
      {u"{[^0-9]+[0-9]}", u"ab1", 0, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.pattern) + " on " + Narrow(c.text));
    CompiledPattern compiled;
    ASSERT_EQ(compiled.Compile(c.pattern), 0);
    MatchState plain;
    const bool expected = MatchPattern(compiled, std::u16string_view(c.text), plain);
    PatternSearcher searcher(compiled);
    const bool got = searcher.Match(c.text);
    EXPECT_EQ(expected, c.start >= 0);
    ASSERT_EQ(got, expected);
    if (!got) continue;
    for (uint32_t g = 0; g < compiled.groupCount; ++g) {
      EXPECT_EQ(searcher.state().groups[g].start, plain.groups[g].start) << "group " << g;
      EXPECT_EQ(searcher.state().groups[g].end, plain.groups[g].end) << "group " << g;
    }
    EXPECT_EQ(searcher.state().groups[0].start, c.start);
    EXPECT_EQ(searcher.state().groups[0].end, c.end);
  }
}

TEST(SearchHintsTest, ProbeIsTheRarestCodeUnit) {
  const SearchHints hints = HintsOf(u"{nat descriptor type}");
  ASSERT_EQ(hints.required.size(), 1u);
  // Blanks are the commonest units of a configuration, letters like y rare.
  EXPECT_EQ(hints.required[0].text[hints.required[0].probe], u'y');
}

TEST(FindLiteralTest, FindsTheFirstOccurrenceFromEveryOffset) {
  const std::u16string needle = u"select";
  for (size_t probe = 0; probe < needle.size() * needle.size(); ++probe) {
    const RequiredLiteral literal{needle, probe % needle.size(), probe / needle.size()};
    for (int before = 0; before <= 20; ++before) {
      for (int after = 0; after <= 9; after += 3) {
        // Near misses on both sides of the occurrence.
        std::u16string text = std::u16string(static_cast<size_t>(before), u's') + needle +
                              std::u16string(static_cast<size_t>(after), u't') + u"selec";
        const int32_t len = static_cast<int32_t>(text.size());
        SCOPED_TRACE("probe " + std::to_string(probe) + " before " + std::to_string(before));
        EXPECT_EQ(FindLiteral(literal, text.data(), len, 0), before);
        EXPECT_EQ(FindLiteral(literal, text.data(), len, before), before);
        EXPECT_EQ(FindLiteral(literal, text.data(), len, before + 1), -1);
      }
    }
  }
}

TEST(FindLiteralTest, EdgesOfTheText) {
  const RequiredLiteral aab{u"aab", 2};
  const std::u16string overlapping = u"aaab";
  EXPECT_EQ(FindLiteral(aab, overlapping.data(), 4, 0), 1);
  EXPECT_EQ(FindLiteral(aab, u"aa", 2, 0), -1);  // shorter than the literal
  EXPECT_EQ(FindLiteral(aab, u"", 0, 0), -1);
  const std::u16string atEnd = std::u16string(13, u'a') + u"b";
  EXPECT_EQ(FindLiteral(aab, atEnd.data(), 14, 0), 11);
  const RequiredLiteral high{u"\u3042\uffff", 1};
  const std::u16string text = u"xx\u3042\uffff";
  EXPECT_EQ(FindLiteral(high, text.data(), 4, 0), 2);
  // Where the unit after it must be a c: not at the end, not before an x.
  RequiredLiteral followed{u"ab", 1, 0, true};
  followed.follow.AddRange(u'c', u'c');
  for (const std::u16string before : {u"", u"0123456789abx"}) {
    for (const std::u16string tail : {u"ab", u"abxab", u"abxabc"}) {
      const std::u16string all = before + tail;
      const int32_t expected = tail == u"abxabc" ? static_cast<int32_t>(before.size()) + 3 : -1;
      EXPECT_EQ(FindLiteral(followed, all.data(), static_cast<int32_t>(all.size()), 0), expected)
          << Narrow(all);
    }
  }
}

TEST(PatternSearcherTest, WithoutAccelerationNothingIsSkipped) {
  CompiledPattern compiled;
  ASSERT_EQ(compiled.Compile(u"{pp select [0-9]+}"), 0);
  PatternSearcher plain(compiled, false);
  EXPECT_FALSE(plain.hints().skipStarts);
  EXPECT_TRUE(plain.hints().required.empty());
  ASSERT_TRUE(plain.Match(u"x pp select 12"));
  EXPECT_EQ(plain.state().groups[0].start, 2);
  EXPECT_EQ(plain.state().groups[0].end, 14);
}

TEST(PatternSearcherTest, RejectsWhatMatchPatternRejects) {
  CompiledPattern damaged;
  ASSERT_EQ(damaged.Compile(u"{ab}"), 0);
  damaged.instructions[3].operand = 7;  // a group that does not exist
  PatternSearcher searcher(damaged);
  MatchState state;
  EXPECT_FALSE(MatchPattern(damaged, std::u16string_view(u"ab"), state));
  EXPECT_FALSE(searcher.Match(u"ab"));
}

// The generated configurations the build wrote for these tests.
std::vector<std::string> GeneratedConfigurations() {
  const std::string dir = CNV_GENERATED_CONFIGS;
  return {dir + "/gui-3000-s7.txt", dir + "/tftp-3000-s8.txt", dir + "/gui-2000-s9-plain.txt",
          dir + "/tftp-2000-s10-reputation.txt"};
}

// Line parts as the store holds them: command part and comment part.
std::vector<std::u16string> LineParts(const std::string& path) {
  std::vector<std::u16string> parts;
  for (const std::u16string& line : ReadGeneratedLines(path)) {
    std::u16string cmd, comment;
    SplitComment(line, cmd, comment);
    parts.push_back(std::move(cmd));
    parts.push_back(std::move(comment));
  }
  return parts;
}

TEST(PatternSearcherTest, ConverterPatternsGiveTheSpansOfThePlainInterpreter) {
  for (const std::string& path : GeneratedConfigurations()) {
    const std::vector<std::u16string> parts = LineParts(path);
    ASSERT_GT(parts.size(), 3000u) << path;
    for (const ConverterPattern& p : ConverterPatterns()) {
      SCOPED_TRACE(path + " " + p.id);
      CompiledPattern compiled;
      ASSERT_EQ(compiled.Compile(p.text), 0);
      PatternSearcher searcher(compiled);
      // The shared program that the line operations use: built once.
      PatternSearcher shared(SharedSearchProgram(p.text));
      EXPECT_EQ(&shared.program(), SharedSearchProgram(p.text).get());
      MatchState plain;
      int mismatches = 0;
      for (const std::u16string& part : parts) {
        const bool expected = MatchPattern(compiled, std::u16string_view(part), plain);
        const bool got = searcher.Match(part);
        bool same = expected == got && shared.Match(part) == got;
        for (uint32_t g = 0; same && expected && g < compiled.groupCount; ++g) {
          same = plain.groups[g].start == searcher.state().groups[g].start &&
                 plain.groups[g].end == searcher.state().groups[g].end &&
                 plain.groups[g].start == shared.state().groups[g].start &&
                 plain.groups[g].end == shared.state().groups[g].end;
        }
        if (!same && ++mismatches <= 3) ADD_FAILURE() << "differs on: " << Narrow(part);
      }
      EXPECT_EQ(mismatches, 0);
    }
  }
}

// Several threads search with the shared programs while patterns never
// seen before push the cache over its bound, so that kept programs are
// dropped while others still use them.
TEST(SharedSearchProgramTest, ThreadsGetTheSpansOfAFreshCompile) {
  const std::vector<std::u16string> parts = LineParts(GeneratedConfigurations()[1]);
  const std::vector<ConverterPattern> patterns = ConverterPatterns();
  std::vector<std::vector<GroupSpan>> expected(patterns.size());  // per part, group 0
  for (size_t k = 0; k < patterns.size(); ++k) {
    CompiledPattern compiled;
    ASSERT_EQ(compiled.Compile(patterns[k].text), 0);
    PatternSearcher fresh(compiled);
    for (const std::u16string& part : parts) {
      expected[k].push_back(fresh.Match(part) ? fresh.state().groups[0] : GroupSpan{});
    }
  }
  constexpr int kThreads = 4;
  constexpr size_t kNewPerPattern = kMaxSharedPrograms / 64;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (size_t i = 0; i < patterns.size(); ++i) {
        const size_t k = (i + static_cast<size_t>(t) * 7) % patterns.size();
        PatternSearcher cached(SharedSearchProgram(patterns[k].text));
        for (size_t n = 0; n < parts.size(); ++n) {
          const GroupSpan got = cached.Match(parts[n]) ? cached.state().groups[0] : GroupSpan{};
          if (got.start != expected[k][n].start || got.end != expected[k][n].end) ++mismatches;
        }
        for (size_t n = 0; n < kNewPerPattern; ++n) {
          const std::string number = std::to_string((t * patterns.size() + i) * 1000 + n);
          SharedSearchProgram(u"{pp enable " + std::u16string(number.begin(), number.end()) + u"}");
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_LE(SharedSearchProgramCount(), kMaxSharedPrograms);
}

// What FindLines gives, computed with the plain interpreter line by line.
CCnvMatchList PlainFindLines(const CCnvBase& store, std::u16string_view pattern,
                             int includeComments) {
  CCnvMatchList list;
  CompiledPattern compiled;
  EXPECT_EQ(compiled.Compile(pattern), 0);
  MatchState state;
  auto record = [&](int line, const std::u16string& text, int inComment) {
    if (MatchPattern(compiled, std::u16string_view(text), state) && compiled.groupCount > 0 &&
        state.groups[0].matched()) {
      list.emplace_back(line, text, state.groups[0].start, state.groups[0].end, inComment);
    }
  };
  for (int i = 0; i < store.LineCount(); ++i) {
    record(i, store.CmdLines()[static_cast<size_t>(i)], 0);
    if (includeComments != 0) record(i, store.CommentLines()[static_cast<size_t>(i)], 1);
  }
  return list;
}

void ExpectSameRecords(const CCnvMatchList& got, const CCnvMatchList& expected) {
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].m_line, expected[i].m_line) << i;
    EXPECT_EQ(got[i].m_text, expected[i].m_text) << i;
    EXPECT_EQ(got[i].m_start, expected[i].m_start) << i;
    EXPECT_EQ(got[i].m_end, expected[i].m_end) << i;
    EXPECT_EQ(got[i].m_inComment, expected[i].m_inComment) << i;
  }
}

TEST(AcceleratedLineSearchTest, FindLinesGivesTheRecordsOfThePlainInterpreter) {
  for (const std::string& path : GeneratedConfigurations()) {
    Store store(ReadGeneratedLines(path));
    ASSERT_GT(store.LineCount(), 1000) << path;
    for (const ConverterPattern& p : ConverterPatterns()) {
      for (int includeComments : {0, 1}) {
        SCOPED_TRACE(path + " " + p.id + (includeComments ? " with comments" : ""));
        CCnvMatchList list;
        FindLines(store, p.text, list, 0, -1, includeComments);
        const CCnvMatchList expected = PlainFindLines(store, p.text, includeComments);
        ExpectSameRecords(list, expected);
        // A search that stops early gives the first records of the whole one.
        const size_t limit = expected.size() / 2 + 1;
        FindLinesUpTo(store, p.text, list, 0, -1, includeComments, limit);
        ExpectSameRecords(list, CCnvMatchList(expected.begin(),
                                              expected.begin() + static_cast<ptrdiff_t>(std::min(
                                                                     limit, expected.size()))));
      }
    }
    EXPECT_EQ(store.m_error, 0);
  }
}

TEST(AcceleratedLineSearchTest, SectionHeadersAreFoundAsByThePlainInterpreter) {
  const std::vector<std::u16string> header = {u"{#+[ \t]*}", u"{#+[ \t]*PP configuration[ \t]*}",
                                              u"{#+[ \t]*}"};
  for (const std::string& path : GeneratedConfigurations()) {
    Store store(ReadGeneratedLines(path));
    CCnvMatchList list;
    FindLineSequence(store, header, list);
    // Plain: every start line, command parts and comment parts apart.
    CCnvMatchList expected;
    std::vector<CompiledPattern> compiled(header.size());
    for (size_t k = 0; k < header.size(); ++k) ASSERT_EQ(compiled[k].Compile(header[k]), 0);
    MatchState state;
    for (int s = 0; s + 3 <= store.LineCount(); ++s) {
      for (int inComment : {0, 1}) {
        const std::vector<std::u16string>& parts =
            inComment ? store.CommentLines() : store.CmdLines();
        bool all = true;
        for (int k = 0; k < 3 && all; ++k) {
          all = MatchPattern(compiled[static_cast<size_t>(k)],
                             std::u16string_view(parts[static_cast<size_t>(s + k)]), state);
        }
        if (all) {
          const std::u16string& text = parts[static_cast<size_t>(s + 2)];
          expected.emplace_back(s + 2, text, state.groups[0].start, state.groups[0].end, inComment);
        }
      }
    }
    SCOPED_TRACE(path);
    ExpectSameRecords(list, expected);
    const bool sectioned = path.find("tftp") != std::string::npos;
    EXPECT_EQ(list.size(), sectioned ? 1u : 0u);
  }
}

}  // namespace
