// Searches over very long lines. A configuration line can be any length a
// user's file holds; a search through every converter pattern must take time
// linear in it, whatever the line repeats, and give the plain interpreter's
// result.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "convert/converter_patterns_test_support.h"
#include "regex/regex.h"
#include "regex/search.h"

namespace {

// Lines built to make a backtracking search slow: long runs of one code
// unit that a pattern's loops take (alone, or with the pattern's required
// literals around them so the literal check lets them through), and the
// pattern's literals repeated so that a match begins at every turn.
std::vector<std::u16string> HostileLines(const SearchHints& hints, size_t size) {
  std::u16string literals;
  for (const RequiredLiteral& r : hints.required) literals += u" " + r.text;
  std::vector<std::u16string> lines;
  for (char16_t unit : std::u16string(u"# \t0.a")) {
    const std::u16string run(size, unit);
    lines.push_back(run);
    lines.push_back(run + u"X" + literals);
    lines.push_back(literals + u" " + run + u"X");
  }
  std::vector<std::u16string> pieces;
  for (const RequiredLiteral& r : hints.required) pieces.push_back(r.text);
  if (!hints.prefix.text.empty()) pieces.push_back(hints.prefix.text);
  for (const std::u16string& piece : pieces) {
    for (const std::u16string tail : {u"1 ", u" "}) {
      std::u16string line = literals + u" ";
      while (line.size() < size) line += piece + tail;
      lines.push_back(line);
      // The same without the last unit of the piece: a match almost begins.
      line = literals + u" ";
      while (line.size() < size) line += piece.substr(0, piece.size() - 1) + tail;
      lines.push_back(line);
    }
  }
  return lines;
}

bool SameResult(const CompiledPattern& compiled, bool expected, const MatchState& plain, bool got,
                const MatchState& fast) {
  if (expected != got) return false;
  for (uint32_t g = 0; expected && g < compiled.groupCount; ++g) {
    if (plain.groups[g].start != fast.groups[g].start ||
        plain.groups[g].end != fast.groups[g].end) {
      return false;
    }
  }
  return true;
}

TEST(LongLineTest, EveryConverterPatternGetsThroughAMebibyteLine) {
  constexpr size_t kSize = size_t{1} << 20;
  // Linear work on 1 MiB takes milliseconds; the quadratic search this
  // guards against took hours. The bound leaves room for sanitizer builds.
  constexpr double kSecondsPerLine = 10.0;
  for (const ConverterPattern& p : ConverterPatterns()) {
    SCOPED_TRACE(p.id);
    CompiledPattern compiled;
    ASSERT_EQ(compiled.Compile(p.text), 0);
    PatternSearcher searcher(compiled);
    int index = 0;
    for (const std::u16string& line : HostileLines(searcher.hints(), kSize)) {
      const auto start = std::chrono::steady_clock::now();
      searcher.Match(line);
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      EXPECT_LT(took.count(), kSecondsPerLine) << "line " << index;
      ++index;
    }
  }
}

TEST(LongLineTest, HostileLinesGiveThePlainInterpretersResults) {
  // Short enough for the plain interpreter, long enough for every shortcut.
  constexpr size_t kSize = 600;
  int matched = 0;
  for (const ConverterPattern& p : ConverterPatterns()) {
    SCOPED_TRACE(p.id);
    CompiledPattern compiled;
    ASSERT_EQ(compiled.Compile(p.text), 0);
    PatternSearcher searcher(compiled);
    MatchState plain;
    int index = 0;
    for (const std::u16string& line : HostileLines(searcher.hints(), kSize)) {
      const bool expected = MatchPattern(compiled, std::u16string_view(line), plain);
      const bool got = searcher.Match(line);
      EXPECT_TRUE(SameResult(compiled, expected, plain, got, searcher.state())) << "line " << index;
      matched += expected ? 1 : 0;
      ++index;
    }
  }
  // The lines must reach into the patterns, not all fail at once.
  EXPECT_GT(matched, 50);
}

}  // namespace
