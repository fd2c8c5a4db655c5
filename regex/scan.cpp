// The scans of the search: for a required literal, and for the start
// positions a match may begin at. Where SSE2 is there they compare eight or
// sixteen code units at a time, elsewhere four (in a 64-bit word).
#include "regex/scan.h"

#include <bit>
#include <cstring>
#include <utility>

#include "regex/search.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define CNV_SEARCH_SSE2 1
#endif

namespace regex_internal {

int Commonness(char16_t unit) {
  if (unit == u' ') return 100;
  if (unit >= u'0' && unit <= u'9') return 60;
  if (unit >= u'A' && unit <= u'Z') return 4;
  if (unit >= 128) return 2;
  switch (unit) {
    case u'e':
      return 45;
    case u'i':
    case u'p':
    case u'r':
    case u't':
      return 40;
    case u'a':
    case u's':
      return 38;
    case u'l':
    case u'n':
    case u'o':
      return 35;
    case u'c':
    case u'd':
      return 30;
    case u'f':
      return 28;
    case u'.':
      return 50;
    case u'*':
      return 40;
    case u'/':
      return 30;
    case u'u':
      return 20;
    case u':':
    case u'-':
      return 20;
    case u'm':
      return 18;
    case u'h':
      return 15;
    case u'b':
    case u'g':
      return 12;
    case u'y':
    case u'w':
    case u'"':
    case u'#':
    case u'=':
    case u',':
      return 10;
    case u'v':
      return 8;
    case u'k':
      return 6;
    case u'x':
    case u'_':
    case u'\t':
      return 5;
    default:
      return 3;
  }
}

}  // namespace regex_internal

using regex_internal::Commonness;

RequiredLiteral MakeRequiredLiteral(std::u16string text) {
  RequiredLiteral literal;
  literal.probe = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (Commonness(text[i]) < Commonness(text[literal.probe])) literal.probe = i;
  }
  // The second: the rarest of the other units, the one farthest from the
  // probe among equals (neighbours in a word tend to come together).
  literal.second = literal.probe;
  for (size_t i = 0; i < text.size(); ++i) {
    if (i == literal.probe) continue;
    const auto distance = [&](size_t k) {
      return k > literal.probe ? k - literal.probe : literal.probe - k;
    };
    if (literal.second == literal.probe || Commonness(text[i]) < Commonness(text[literal.second]) ||
        (Commonness(text[i]) == Commonness(text[literal.second]) &&
         distance(i) > distance(literal.second))) {
      literal.second = i;
    }
  }
  literal.text = std::move(text);
  return literal;
}

namespace {

constexpr uint64_t kLaneOnes = 0x0001000100010001ULL;
constexpr uint64_t kLaneHighs = 0x8000800080008000ULL;

// Non-zero when one of the four 16-bit lanes of `word` equals the lanes of
// `broadcast` (Mycroft's test for a zero lane, exact as a yes or no).
inline uint64_t HasEqualLane(uint64_t word, uint64_t broadcast) {
  const uint64_t x = word ^ broadcast;
  return (x - kLaneOnes) & ~x & kLaneHighs;
}

inline uint64_t Load4(const char16_t* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Position of the first `unit` in text[from, last], or -1; eight code units
// a step while they last.
int32_t FindUnit(const char16_t* text, int32_t from, int32_t last, char16_t unit) {
  const uint64_t broadcast = kLaneOnes * unit;
  int32_t q = from;
  for (; q + 7 <= last; q += 8) {
    if ((HasEqualLane(Load4(text + q), broadcast) | HasEqualLane(Load4(text + q + 4), broadcast)) !=
        0) {
      break;
    }
  }
  for (; q <= last; ++q) {
    if (text[q] == unit) return q;
  }
  return -1;
}

#ifdef CNV_SEARCH_SSE2
inline __m128i Load8(const char16_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// One bit for each of the eight lanes that are all ones: bit 2k for lane k.
inline unsigned LaneBits(__m128i lanes) {
  return static_cast<unsigned>(_mm_movemask_epi8(lanes)) & 0x5555u;
}

// Tests eight code units at a time for membership of a set of ranges.
class RangeTest {
 public:
  explicit RangeTest(const UnitRanges& ranges) : count_(ranges.count), high_(ranges.high) {
    for (int k = 0; k < count_; ++k) {
      first_[k] = _mm_set1_epi16(static_cast<short>(ranges.first[k]));
      span_[k] = _mm_set1_epi16(static_cast<short>(ranges.last[k] - ranges.first[k]));
    }
  }

  // All ones in the lanes whose unit is in the set. A unit lies in a range
  // when its distance above the first unit, taken modulo 2^16, is at most
  // the range's span.
  __m128i operator()(__m128i units) const {
    const __m128i zero = _mm_setzero_si128();
    __m128i in = zero;
    if (high_) {
      const __m128i low = _mm_cmpeq_epi16(_mm_subs_epu16(units, _mm_set1_epi16(255)), zero);
      in = _mm_andnot_si128(low, _mm_set1_epi16(-1));
    }
    for (int k = 0; k < count_; ++k) {
      const __m128i above = _mm_subs_epu16(_mm_sub_epi16(units, first_[k]), span_[k]);
      in = _mm_or_si128(in, _mm_cmpeq_epi16(above, zero));
    }
    return in;
  }

 private:
  int count_;
  bool high_;
  __m128i first_[UnitRanges::kMax];
  __m128i span_[UnitRanges::kMax];
};

// The first of the positions [from, end), from + 8 <= end, that `bitsAt`
// marks and `accept` takes, or -1. bitsAt(i) marks positions i to i + 7
// (bit 2k for i + k); the last block overlaps the one before it.
template <typename BitsAt, typename Accept>
int32_t ScanBlocks(int32_t from, int32_t end, const BitsAt& bitsAt, const Accept& accept) {
  int32_t i = from;
  for (; i + 8 <= end; i += 8) {
    for (unsigned bits = bitsAt(i); bits != 0; bits &= bits - 1) {
      const int32_t at = i + std::countr_zero(bits) / 2;
      if (accept(at)) return at;
    }
  }
  if (i < end) {
    const int32_t j = end - 8;  // positions before i were looked at already
    for (unsigned bits = bitsAt(j) & (0x5555u << (2 * (i - j))); bits != 0; bits &= bits - 1) {
      const int32_t at = j + std::countr_zero(bits) / 2;
      if (accept(at)) return at;
    }
  }
  return -1;
}
#endif

// FindLiteral four code units at a time: for short texts, and where there
// is no SSE2. (Kept apart from the eight-unit scan, and so is the check of
// a candidate, so that the scan's loop keeps its values in registers.)
[[gnu::noinline]] int32_t FindLiteralByWords(const RequiredLiteral& literal, const char16_t* text,
                                             int32_t len, int32_t from) {
  const int32_t size = static_cast<int32_t>(literal.text.size());
  const int32_t probe = static_cast<int32_t>(literal.probe);
  const char16_t unit = literal.text[static_cast<size_t>(probe)];
  // A match at s has its probe unit at s + probe, and s + size <= len (one
  // more for the unit after it).
  const int32_t last = len - size - (literal.followed ? 1 : 0) + probe;
  for (int32_t q = from + probe; q <= last;) {
    const int32_t hit = FindUnit(text, q, last, unit);
    if (hit < 0) return -1;
    const int32_t start = hit - probe;
    if (std::memcmp(text + start, literal.text.data(),
                    static_cast<size_t>(size) * sizeof(char16_t)) == 0 &&
        (!literal.followed || literal.follow.Has(text[start + size]))) {
      return start;
    }
    q = hit + 1;
  }
  return -1;
}

// The first of the starts s + k for the bits k of `bits` at which the
// literal stands, or -1. Out of line: the scan that calls it now and then
// keeps its own values in registers.
[[gnu::noinline]] int32_t TakeCandidate(const RequiredLiteral& literal, size_t second,
                                        const char16_t* text, int32_t s, unsigned bits) {
  const char16_t* lit = literal.text.data();
  const size_t size = literal.text.size();
  for (; bits != 0; bits &= bits - 1) {
    const int32_t start = s + std::countr_zero(bits);
    const char16_t* at = text + start;
    if (at[second] != lit[second]) continue;
    size_t k = 0;
    while (k < size && at[k] == lit[k]) ++k;
    if (k == size && (!literal.followed || literal.follow.Has(at[size]))) return start;
  }
  return -1;
}

}  // namespace

// Aligned to a cache line: most texts are a few dozen units, so a call is
// mostly the way in and out, whose speed otherwise depends on where the
// linker happens to place it (a quarter of a search's time, measured).
[[gnu::aligned(64)]] int32_t FindLiteral(const RequiredLiteral& literal, const char16_t* text,
                                         int32_t len, int32_t from) {
  const int32_t size = static_cast<int32_t>(literal.text.size());
  if (size == 0) return from <= len ? from : -1;
#ifdef CNV_SEARCH_SSE2
  // Starts [from, end), sixteen at a time while there are as many, then
  // eight: their probe units are compared at once, and where a probe unit
  // agrees, the second unit and the whole literal. The last block of eight
  // overlaps the one before it. A followed literal needs a unit after it.
  const int32_t end = len - size - (literal.followed ? 1 : 0) + 1;
  if (end - from >= 8) {
    const char16_t* lit = literal.text.data();
    const size_t second = literal.second < literal.text.size() ? literal.second : literal.probe;
    const char16_t* probeText = text + literal.probe;
    const __m128i probeUnits = _mm_set1_epi16(static_cast<short>(lit[literal.probe]));
    int32_t s = from;
    for (; s + 16 <= end; s += 16) {
      const __m128i low = _mm_cmpeq_epi16(Load8(probeText + s), probeUnits);
      const __m128i high = _mm_cmpeq_epi16(Load8(probeText + s + 8), probeUnits);
      const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
      if (bits != 0) {
        const int32_t at = TakeCandidate(literal, second, text, s, bits);
        if (at >= 0) return at;
      }
    }
    if (s == end) return -1;
    // The starts left: one block of sixteen that ends at `end`, overlapping
    // the blocks before it, or (for fewer than sixteen starts in all) two of
    // eight, the second overlapping the first.
    if (end - from >= 16) {
      const int32_t j = end - 16;
      const __m128i low = _mm_cmpeq_epi16(Load8(probeText + j), probeUnits);
      const __m128i high = _mm_cmpeq_epi16(Load8(probeText + j + 8), probeUnits);
      const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(low, high))) &
                            (0xFFFFu << (s - j));
      return bits != 0 ? TakeCandidate(literal, second, text, j, bits) : -1;
    }
    for (unsigned keep = 0xFF; s < end; s += 8) {
      if (s + 8 > end) {
        keep = (0xFFu << (s - (end - 8))) & 0xFFu;
        s = end - 8;
      }
      const __m128i hits = _mm_cmpeq_epi16(Load8(probeText + s), probeUnits);
      const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(hits, hits)));
      if ((bits & keep) != 0) {
        const int32_t at = TakeCandidate(literal, second, text, s, bits & keep);
        if (at >= 0) return at;
      }
    }
    return -1;
  }
#endif
  return FindLiteralByWords(literal, text, len, from);
}

int32_t NextStart(const SearchHints& hints, const char16_t* text, int32_t len, int32_t from) {
  if (!hints.skipStarts) return from;
  if (!hints.prefix.text.empty()) {
    const int32_t at = FindLiteral(hints.prefix, text, len, from);
    return at < 0 ? len : at;
  }
  // Where starts come thick (a run of blanks, say), the first is taken
  // before a scan is set up.
  if (from < len && hints.first.Has(text[from]) &&
      (!hints.secondKnown || (from + 1 < len && hints.second.Has(text[from + 1])))) {
    return from;
  }
  if (hints.secondKnown) {
#ifdef CNV_SEARCH_SSE2
    // Starts [from, len - 1): eight first units at a time, then the unit
    // after each one that may begin a match.
    if (hints.firstRanges.usable && len - 1 - from >= 8) {
      const RangeTest first(hints.firstRanges);
      const int32_t at = ScanBlocks(
          from, len - 1, [&](int32_t i) { return LaneBits(first(Load8(text + i))); },
          [&](int32_t i) { return hints.second.Has(text[i + 1]); });
      return at < 0 ? len : at;
    }
#endif
    for (int32_t i = from; i + 1 < len; ++i) {
      if (hints.first.Has(text[i]) && hints.second.Has(text[i + 1])) return i;
    }
    return len;
  }
#ifdef CNV_SEARCH_SSE2
  if (hints.firstRanges.usable && len - from >= 8) {
    const RangeTest first(hints.firstRanges);
    const int32_t at = ScanBlocks(
        from, len, [&](int32_t i) { return LaneBits(first(Load8(text + i))); },
        [](int32_t) { return true; });
    return at < 0 ? len : at;
  }
#endif
  for (int32_t i = from; i < len; ++i) {
    if (hints.first.Has(text[i])) return i;
  }
  return len;
}
