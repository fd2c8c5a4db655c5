#include "engine/strutil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

namespace {

TEST(StrUtil, ReplaceAll) {
  const struct {
    std::u16string text, from, to, result;
    int count;
  } cases[] = {
      {u"aaa", u"aa", u"b", u"ba", 1},     // left to right, no overlap
      {u"a.a", u"a", u"aa", u"aa.aa", 2},  // replaced text is not rescanned
      {u"usbhost usbhost", u"usbhost", u"external-memory", u"external-memory external-memory", 2},
      {u"abc", u"", u"x", u"abc", 0},  // an empty search text changes nothing
      {u"abc", u"d", u"x", u"abc", 0},
      {u"abc", u"b", u"", u"ac", 1},
  };
  for (const auto& c : cases) {
    std::u16string text = c.text;
    EXPECT_EQ(ReplaceAll(text, c.from, c.to), c.count);
    EXPECT_EQ(text, c.result);
  }
}

TEST(StrUtil, NextTokenWalksAndEndsWithMinusOne) {
  const std::u16string text = u"  url  lan1,filter ";
  int pos = 0;
  EXPECT_EQ(NextToken(text, u" ,", pos), u"url");
  EXPECT_EQ(pos, 6);  // just after the blank that ended the token
  EXPECT_EQ(NextToken(text, u" ,", pos), u"lan1");
  EXPECT_EQ(NextToken(text, u" ,", pos), u"filter");
  EXPECT_EQ(NextToken(text, u" ,", pos), u"");
  EXPECT_EQ(pos, -1);
  EXPECT_EQ(NextToken(text, u" ,", pos), u"");
  EXPECT_EQ(pos, -1);

  // A token that runs to the end is returned; the next call gives -1.
  pos = 0;
  EXPECT_EQ(NextToken(u"a b", u" ", pos), u"a");
  EXPECT_EQ(NextToken(u"a b", u" ", pos), u"b");
  EXPECT_EQ(NextToken(u"a b", u" ", pos), u"");
  EXPECT_EQ(pos, -1);
  pos = 0;
  EXPECT_EQ(NextToken(u"   ", u" ", pos), u"");
  EXPECT_EQ(pos, -1);
  pos = 99;
  EXPECT_EQ(NextToken(u"abc", u" ", pos), u"");
  EXPECT_EQ(pos, -1);
}

TEST(StrUtil, SubstringClampsToTheText) {
  EXPECT_EQ(Substring(u"abcdef", 2, 3), u"cde");
  EXPECT_EQ(Substring(u"abcdef", -2, 3), u"abc");
  EXPECT_EQ(Substring(u"abcdef", 4, 100), u"ef");
  EXPECT_EQ(Substring(u"abcdef", 10, 2), u"");
  EXPECT_EQ(Substring(u"abcdef", 1, -1), u"");
  EXPECT_EQ(Substring(u"abcdef", 3), u"def");
  EXPECT_EQ(Substring(u"abcdef", -3), u"abcdef");
  EXPECT_EQ(Substring(u"abcdef", 7), u"");
}

// The block scan finds what the plain search finds, wherever the unit
// stands against the blocks of eight, also after a first hit.
TEST(StrUtil, FindUnitAgreesWithFind) {
  for (size_t size = 0; size <= 19; ++size) {
    for (size_t at = 0; at <= size; ++at) {
      std::u16string text(size, u'a');
      if (at < size) text[at] = u'#';
      if (size > 10) text[size - 1] = u'#';
      for (size_t from = 0; from <= size + 1; ++from) {
        EXPECT_EQ(FindUnit(text, u'#', from), std::u16string_view(text).find(u'#', from))
            << size << " " << at << " " << from;
      }
    }
  }
}

TEST(StrUtil, RemoveChar) {
  std::u16string text = u"abc";
  RemoveChar(text, 1);
  EXPECT_EQ(text, u"ac");
  RemoveChar(text, 2);
  RemoveChar(text, -1);
  EXPECT_EQ(text, u"ac");
}

TEST(StrUtil, TrimUsesUnicodeWhiteSpace) {
  EXPECT_EQ(Trim(u" \t\r\n a b \v\f"), u"a b");
  EXPECT_EQ(Trim(u"\u3000東京\u00a0\u2003"), u"東京");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(Trim(u"\u200bx"), u"\u200bx");  // zero width space is not white space
}

TEST(StrUtil, Format) {
  EXPECT_EQ(Format(u"ip filter %d pass", {10000}), u"ip filter 10000 pass");
  EXPECT_EQ(Format(u"%s %d %s", {u"pp", -3, std::u16string(u"東京")}), u"pp -3 東京");
  EXPECT_EQ(Format(u"%d", {INT_MIN}), u"-2147483648");
  EXPECT_EQ(Format(u"100%% %d%%", {5}), u"100% 5%");
  EXPECT_EQ(Format(u"%x %", {}), u"%x %");            // other text stays as it is
  EXPECT_EQ(Format(u"%d and %d", {1}), u"1 and %d");  // no argument: stays visible
}

TEST(StrUtil, DecimalAndVersionText) {
  EXPECT_EQ(Decimal(-3), u"-3");
  EXPECT_EQ(Decimal(INT64_MIN), u"-9223372036854775808");
  EXPECT_EQ(Decimal(size_t{4000000000}), u"4000000000");
  // The third number follows without a separator.
  EXPECT_EQ(VersionText(1, 0, 1), "1.01");
  EXPECT_EQ(VersionText(2, 3, 12), "2.312");
  EXPECT_EQ(VersionText(0, 0, 0), "0.00");
}

TEST(StrUtil, FirstNumberStopsAtItsLimit) {
  const struct {
    std::u16string text;
    int64_t limit;
    bool found;
    int64_t value;
  } cases[] = {
      {u"pp select 12 34", 100, true, 12},  // the first run only
      {u"pp select 007", 100, true, 7},
      {u"pp select", 100, false, 0},
      {u"100", 100, true, 100},  // the limit itself
      {u"101", 100, false, 0},
      {u"7", 5, false, 0},  // a limit below one digit
      {u"9223372036854775807", INT64_MAX, true, INT64_MAX},
      {u"9223372036854775808", INT64_MAX, false, 0},
      {u"99999999999999999999", INT64_MAX, false, 0},
  };
  for (const auto& c : cases) {
    int64_t value = -1;
    EXPECT_EQ(FirstNumber(c.text, c.limit, value), c.found) << Utf16ToUtf8(c.text);
    if (c.found) {
      EXPECT_EQ(value, c.value) << Utf16ToUtf8(c.text);
    }
  }
}

TEST(StrUtil, Utf8Conversions) {
  const std::u16string text = u"変換 \U0001F600 a";
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  EXPECT_EQ(Utf16ToUtf8(u"東"), "\xe6\x9d\xb1");
  EXPECT_EQ(Utf8ToUtf16("a\xff"
                        "b\xe6\x9d"),
            u"a\ufffdb\ufffd");
  EXPECT_EQ(Utf8ToUtf16("\xc0\xaf"), u"\ufffd\ufffd");  // overlong
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, u'\xd800')), "\xef\xbf\xbd");
}

// Paths and messages pass through these conversions: each sequence length
// must give the exact bytes at both ends of its range, and back.
TEST(StrUtil, Utf8SequenceLengthBoundaries) {
  const struct {
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {u"\u007f", "\x7f"},
      {u"\u0080", "\xc2\x80"},
      {u"caf\u00e9", "caf\xc3\xa9"},
      {u"\u07ff", "\xdf\xbf"},
      {u"\u0800", "\xe0\xa0\x80"},
      {u"\uffff", "\xef\xbf\xbf"},
      {u"\U00010000", "\xf0\x90\x80\x80"},
      {u"\U0010ffff", "\xf4\x8f\xbf\xbf"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes) << c.bytes;
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.bytes;
  }
  // A two-byte sequence cut short or broken by a plain byte: one
  // replacement, and the plain byte is kept.
  EXPECT_EQ(Utf8ToUtf16("a\xc3"), u"a\ufffd");
  EXPECT_EQ(Utf8ToUtf16("\xc3("), u"\ufffd(");
  // Past the last code point, and an encoded surrogate.
  EXPECT_EQ(Utf8ToUtf16("\xf4\x90\x80\x80"), u"\ufffd");
  EXPECT_EQ(Utf8ToUtf16("\xed\xa0\x80"), u"\ufffd");
}

}  // namespace
