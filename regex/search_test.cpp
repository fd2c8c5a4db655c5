// The searcher and its shared programs: with acceleration every result and
// every group span must be those of the plain interpreter, and so must
// every record of the line searches.
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
#include "regex/hints_test_support.h"
#include "regex/search_test_support.h"

namespace {

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
