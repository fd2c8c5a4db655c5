#include "engine/strutil.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

size_t FindUnit(std::u16string_view text, char16_t unit, size_t from) {
  size_t i = from;
#if defined(__SSE2__)
  const __m128i units = _mm_set1_epi16(static_cast<short>(unit));
  for (; i + 8 <= text.size(); i += 8) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(block, units)));
    if (bits != 0) return i + static_cast<size_t>(std::countr_zero(bits)) / 2;
  }
#endif
  for (; i < text.size(); ++i) {
    if (text[i] == unit) return i;
  }
  return std::u16string_view::npos;
}

int ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
  if (from.empty()) return 0;
  std::u16string result;
  int count = 0;
  size_t start = 0;
  for (size_t hit = text.find(from); hit != std::u16string::npos; hit = text.find(from, start)) {
    result.append(text, start, hit - start);
    result.append(to);
    start = hit + from.size();
    ++count;
  }
  if (count == 0) return 0;
  result.append(text, start, std::u16string::npos);
  text = std::move(result);
  return count;
}

std::u16string NextToken(std::u16string_view text, std::u16string_view delimiters, int& pos) {
  const auto isDelimiter = [&](char16_t c) {
    return delimiters.find(c) != std::u16string_view::npos;
  };
  if (pos < 0 || static_cast<size_t>(pos) >= text.size()) {
    pos = -1;
    return {};
  }
  size_t begin = static_cast<size_t>(pos);
  while (begin < text.size() && isDelimiter(text[begin])) ++begin;
  if (begin == text.size()) {
    pos = -1;
    return {};
  }
  size_t end = begin;
  while (end < text.size() && !isDelimiter(text[end])) ++end;
  // Just after the delimiter that ends the token (past the end when the
  // token runs to the end of the text; the next call then gives -1).
  pos = static_cast<int>(end + 1);
  return std::u16string(text.substr(begin, end - begin));
}

std::u16string Substring(std::u16string_view text, int first, int count) {
  const size_t size = text.size();
  const size_t from = std::min(static_cast<size_t>(std::max(first, 0)), size);
  const size_t length = std::min(static_cast<size_t>(std::max(count, 0)), size - from);
  return std::u16string(text.substr(from, length));
}

std::u16string Substring(std::u16string_view text, int first) {
  const size_t from = std::min(static_cast<size_t>(std::max(first, 0)), text.size());
  return std::u16string(text.substr(from));
}

void RemoveChar(std::u16string& text, int pos) {
  if (pos >= 0 && static_cast<size_t>(pos) < text.size()) text.erase(static_cast<size_t>(pos), 1);
}

namespace {

// The Unicode White_Space set, restricted to UTF-16 code units (all of its
// members lie in the basic plane).
bool IsWhiteSpace(char16_t c) {
  if (c >= 0x09 && c <= 0x0D) return true;
  switch (c) {
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return c >= 0x2000 && c <= 0x200A;
  }
}

void AppendDecimal(std::u16string& out, int64_t value) {
  char16_t digits[24];
  int n = 0;
  // Work on the negative side so that the most negative value needs no
  // special case.
  int64_t v = value < 0 ? value : -value;
  do {
    digits[n++] = static_cast<char16_t>(u'0' - v % 10);
    v /= 10;
  } while (v != 0);
  if (value < 0) out.push_back(u'-');
  while (n > 0) out.push_back(digits[--n]);
}

}  // namespace

std::u16string Trim(std::u16string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsWhiteSpace(text[begin])) ++begin;
  while (end > begin && IsWhiteSpace(text[end - 1])) --end;
  return std::u16string(text.substr(begin, end - begin));
}

std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  auto arg = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    const char16_t next = i + 1 < format.size() ? format[i + 1] : u'\0';
    if (c != u'%' || (next != u'd' && next != u's' && next != u'%')) {
      out.push_back(c);
      continue;
    }
    ++i;
    if (next == u'%') {
      out.push_back(u'%');
    } else if (arg == args.end()) {
      // A directive without an argument stays visible instead of reading
      // past the arguments.
      out.push_back(u'%');
      out.push_back(next);
    } else {
      if (arg->isText()) {
        out.append(arg->text());
      } else {
        AppendDecimal(out, arg->number());
      }
      ++arg;
    }
  }
  return out;
}

bool FirstNumber(std::u16string_view text, int64_t limit, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && !IsDigit(text[i])) ++i;
  if (i == text.size()) return false;
  value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    const int digit = text[i] - u'0';
    if (value > limit / 10 || value * 10 > limit - digit) return false;
    value = value * 10 + digit;
  }
  return true;
}

std::string VersionText(int major, int minor, int build) {
  return std::to_string(major) + "." + std::to_string(minor) + std::to_string(build);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  while (i < text.size()) {
    const unsigned char lead = byte(i);
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (lead < 0x80) {
      cp = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, cp = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, cp = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, cp = lead & 0x07, min = 0x10000;
    } else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    size_t k = 1;
    for (; k <= static_cast<size_t>(extra); ++k) {
      if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) break;
      cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if (k <= static_cast<size_t>(extra) || cp < min || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(u'\uFFFD');
      i += k;
      continue;
    }
    i += k;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // an unpaired surrogate
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}
