// Every abbreviation and class form of the pattern syntax at the edges of
// its ranges: one table, each row checked by the plain interpreter, by the
// accelerated search and by PCRE2 with the same meaning.
#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "regex/regex.h"
#include "regex/search.h"

namespace {

struct ClassRow {
  const char16_t* pattern;
  // PCRE2's spelling of the same meaning; nullptr: the pattern as it is.
  // Where the abbreviation means something else in PCRE2 (all but `\d`),
  // this is its expansion written out, and the row's result is this
  // matcher's own.
  const char16_t* pcre;
  const char16_t* text;
  bool matches;
  int32_t start;  // of the whole match
  int32_t end;
};

const ClassRow kRows[] = {
    // \d: 0-9, the same in PCRE2.
    {u"\\d", nullptr, u"/0", true, 1, 2},
    {u"\\d", nullptr, u":9", true, 1, 2},
    {u"\\d", nullptr, u"/:d", false, 0, 0},
    // \h: a hexadecimal digit (PCRE2: horizontal space).
    {u"\\h", u"[0-9a-fA-F]", u"/0", true, 1, 2},
    {u"\\h", u"[0-9a-fA-F]", u":9", true, 1, 2},
    {u"\\h", u"[0-9a-fA-F]", u"`a", true, 1, 2},
    {u"\\h", u"[0-9a-fA-F]", u"gf", true, 1, 2},
    {u"\\h", u"[0-9a-fA-F]", u"@A", true, 1, 2},
    {u"\\h", u"[0-9a-fA-F]", u"GF", true, 1, 2},
    {u"\\h", u"[0-9a-fA-F]", u" \tgG", false, 0, 0},
    // \a: a letter or digit (PCRE2: the bell character).
    {u"\\a", u"[a-zA-Z0-9]", u"/0", true, 1, 2},
    {u"\\a", u"[a-zA-Z0-9]", u":9", true, 1, 2},
    {u"\\a", u"[a-zA-Z0-9]", u"`a", true, 1, 2},
    {u"\\a", u"[a-zA-Z0-9]", u"{z", true, 1, 2},
    {u"\\a", u"[a-zA-Z0-9]", u"@A", true, 1, 2},
    {u"\\a", u"[a-zA-Z0-9]", u"[Z", true, 1, 2},
    {u"\\a", u"[a-zA-Z0-9]", u"_\a", false, 0, 0},
    // \c: a letter (PCRE2: a control character).
    {u"\\c", u"[a-zA-Z]", u"`a", true, 1, 2},
    {u"\\c", u"[a-zA-Z]", u"{z", true, 1, 2},
    {u"\\c", u"[a-zA-Z]", u"@A", true, 1, 2},
    {u"\\c", u"[a-zA-Z]", u"[Z", true, 1, 2},
    {u"\\c", u"[a-zA-Z]", u"5_", false, 0, 0},
    // \b: a space or a tab (PCRE2: a word boundary).
    {u"\\b", u"[ \\t]", u"\x08\t", true, 1, 2},
    {u"\\b", u"[ \\t]", u"\n\t", true, 1, 2},
    {u"\\b", u"[ \\t]", u"\x1f ", true, 1, 2},
    {u"\\b", u"[ \\t]", u"! ", true, 1, 2},
    {u"\\b", u"[ \\t]", u"a\r\n", false, 0, 0},
    // \w: a run of letters (PCRE2: one letter, digit or underscore).
    {u"\\w", u"[a-zA-Z]+", u"@AZ[", true, 1, 3},
    {u"\\w", u"[a-zA-Z]+", u"`az{", true, 1, 3},
    {u"\\w", u"[a-zA-Z]+", u"_09", false, 0, 0},
    // \z: a run of digits (PCRE2: the end of the text).
    {u"\\z", u"[0-9]+", u"/09:", true, 1, 3},
    {u"\\z", u"[0-9]+", u"x", false, 0, 0},
    // \n: CR, or LF with an optional CR before it, CR tried first (PCRE2:
    // LF only).
    {u"\\n", u"(?:\\r|\\r?\\n)", u"a\rb", true, 1, 2},
    {u"\\n", u"(?:\\r|\\r?\\n)", u"a\nb", true, 1, 2},
    {u"\\n", u"(?:\\r|\\r?\\n)", u"a\r\nb", true, 1, 2},
    {u"\\nb", u"(?:\\r|\\r?\\n)b", u"a\r\nb", true, 1, 4},
    {u"\\n", u"(?:\\r|\\r?\\n)", u"a\x0b\x0c", false, 0, 0},
    // \q: a double-quoted text. Its expansion also names a single-quoted
    // one after `|`, but an abbreviation is read as one quantified item,
    // so that alternative is never part of it (PCRE2: no such escape).
    {u"\\q", u"\"[^\"]*\"", u"x\"a'b\"y", true, 1, 6},
    {u"\\q", u"\"[^\"]*\"", u"\"\"", true, 0, 2},
    {u"\\q", u"\"[^\"]*\"", u"'ab' \"ab", false, 0, 0},
    // The abbreviations have no negated forms: another letter is itself
    // (PCRE2: \D a non-digit). A look-ahead negates one.
    {u"\\D", u"D", u"5D", true, 1, 2},
    {u"!\\d.", u"(?!\\d).", u"1a", true, 1, 2},
    {u"!\\h.", u"(?![0-9a-fA-F]).", u"Fg", true, 1, 2},
    {u"!\\b.", u"(?![ \\t]).", u" \tx", true, 2, 3},
    {u"!\\c.", u"(?![a-zA-Z]).", u"aZ5", true, 2, 3},
    {u"!\\a.", u"(?![a-zA-Z0-9]).", u"z9_", true, 2, 3},
    // Ranges at both ends and the units just outside them.
    {u"[a-c]", nullptr, u"`a", true, 1, 2},
    {u"[a-c]", nullptr, u"dc", true, 1, 2},
    {u"[a-c]", nullptr, u"`d", false, 0, 0},
    {u"[a-a]", nullptr, u"`ba", true, 2, 3},
    {u"[a-cx]", nullptr, u"wdx", true, 2, 3},
    {u"[^a-c]", nullptr, u"a`", true, 1, 2},
    {u"[^a-c]", nullptr, u"cd", true, 1, 2},
    {u"[^a-c]", nullptr, u"abc", false, 0, 0},
    {u"[^a-cx]", nullptr, u"xa\u3042", true, 2, 3},
    {u"[^a]", nullptr, u"a", false, 0, 0},
    // Escapes in a class: `\t` is a tab, any other escaped unit itself
    // (PCRE2: [\d] is a digit).
    {u"[\\t]", nullptr, u"t\t", true, 1, 2},
    {u"[\\]]", nullptr, u"\\]", true, 1, 2},
    {u"[\\\\]", nullptr, u"]\\", true, 1, 2},
    {u"[a\\-c]", nullptr, u"b-", true, 1, 2},
    {u"[\\d]", u"[d]", u"5d", true, 1, 2},
    {u"[^\\t]", nullptr, u"\tx", true, 1, 2},
};

struct PcreCodeDeleter {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct PcreDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};

// Where PCRE2 matches `pattern` in `text`, as {start, end}, or {-1, -1}.
GroupSpan PcreMatch(std::u16string_view pattern, std::u16string_view text) {
  int error = 0;
  PCRE2_SIZE offset = 0;
  std::unique_ptr<pcre2_code, PcreCodeDeleter> code(
      pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), PCRE2_DOTALL,
                    &error, &offset, nullptr));
  EXPECT_TRUE(code) << "PCRE2 refused the pattern (" << error << ")";
  if (!code) return {};
  std::unique_ptr<pcre2_match_data, PcreDataDeleter> data(
      pcre2_match_data_create_from_pattern(code.get(), nullptr));
  int rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                       data.get(), nullptr);
  if (rc <= 0) return {};
  PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data.get());
  return {static_cast<int32_t>(ov[0]), static_cast<int32_t>(ov[1])};
}

TEST(PatternClassTable, EveryAbbreviationAndClassAtTheEdgesOfItsRanges) {
  for (const ClassRow& row : kRows) {
    const std::u16string pattern = std::u16string(u"{") + row.pattern + u"}";
    std::string shown;
    for (char16_t c : pattern + u" on " + row.text) shown += c < 0x80 ? static_cast<char>(c) : '?';
    SCOPED_TRACE(shown);
    const GroupSpan expected = row.matches ? GroupSpan{row.start, row.end} : GroupSpan{};
    CompiledPattern compiled;
    ASSERT_EQ(compiled.Compile(pattern), 0);
    MatchState state;
    const bool plain = MatchPattern(compiled, row.text, state);
    EXPECT_EQ(plain, row.matches) << "plain interpreter";
    const GroupSpan plainSpan = plain ? state.groups[0] : GroupSpan{};
    EXPECT_EQ(plainSpan.start, expected.start);
    EXPECT_EQ(plainSpan.end, expected.end);

    PatternSearcher searcher(compiled);
    const bool fast = searcher.Match(row.text);
    EXPECT_EQ(fast, row.matches) << "accelerated search";
    const GroupSpan fastSpan = fast ? searcher.state().groups[0] : GroupSpan{};
    EXPECT_EQ(fastSpan.start, expected.start);
    EXPECT_EQ(fastSpan.end, expected.end);

    const GroupSpan peer = PcreMatch(row.pcre ? row.pcre : row.pattern, row.text);
    EXPECT_EQ(peer.start, expected.start) << "PCRE2";
    EXPECT_EQ(peer.end, expected.end) << "PCRE2";
  }
}

}  // namespace
