// The scans of the search: the literal scan from every offset and at the
// edges of a text, the probe units it looks for, and the start scan.
#include <gtest/gtest.h>

#include <string>

#include "regex/hints_test_support.h"
#include "regex/search.h"

namespace {

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

}  // namespace
