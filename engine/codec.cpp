#include "engine/codec.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Both conversions check the whole text first, in loops without early exits
// (which compilers turn into vector code), and then copy it, eight units at
// a time where SSE2 is there: every line of a load and of a save comes
// through here.

bool WidenAscii(std::string_view bytes, std::u16string& out) {
  unsigned char all = 0;
  for (char c : bytes) all |= static_cast<unsigned char>(c);
  if (all >= 0x80) return false;
  const size_t n = bytes.size();
  out.resize(n);
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= n; i += 8) {
    const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(bytes.data() + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out.data() + i), _mm_unpacklo_epi8(eight, zero));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
  return true;
}

bool NarrowAscii(std::u16string_view text, std::string& out) {
  char16_t all = 0;
  for (char16_t c : text) all |= c;
  if (all >= 0x80) return false;
  const size_t n = text.size();
  out.resize(n);
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 8 <= n; i += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out.data() + i), _mm_packus_epi16(units, units));
  }
#endif
  for (; i < n; ++i) out[i] = static_cast<char>(text[i]);
  return true;
}

bool KeepsAscii(const Codec& codec) {
  std::string bytes;
  std::u16string units;
  for (int c = 0; c < 0x80; ++c) {
    bytes += static_cast<char>(c);
    units += static_cast<char16_t>(c);
  }
  std::u16string decoded;
  std::string encoded;
  return codec.Decode(bytes, decoded) && decoded == units && codec.Encode(units, encoded) &&
         encoded == bytes;
}
