// Small string operations on UTF-16 text that the conversion steps, the
// engine and the front ends share.
#ifndef CNV_ENGINE_STRUTIL_H_
#define CNV_ENGINE_STRUTIL_H_

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// A blank of a configuration line: space or tab.
inline bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}
// An ASCII digit.
inline bool IsDigit(char16_t c) {
  return c >= u'0' && c <= u'9';
}

// The first `unit` in `text` from `from` on, or npos: what
// std::u16string_view::find gives, eight units at a time where SSE2 is
// there (whole-store passes look for a unit most lines lack).
size_t FindUnit(std::u16string_view text, char16_t unit, size_t from = 0);

// Replaces every occurrence of a non-empty `from`, left to right, without
// rescanning replaced text; returns the number of replacements.
int ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to);

// From `pos`, skips delimiters and returns the run up to the next delimiter,
// moving `pos` just after it; with only delimiters left returns "" and sets
// `pos` to -1.
std::u16string NextToken(std::u16string_view text, std::u16string_view delimiters, int& pos);

// The characters from `first` for `count`, both clamped to the text.
std::u16string Substring(std::u16string_view text, int first, int count);
// The characters from `first` to the end.
std::u16string Substring(std::u16string_view text, int first);

// Removes the character at `pos` (nothing when out of range).
void RemoveChar(std::u16string& text, int pos);

// Removes white space at both ends.
std::u16string Trim(std::u16string_view text);

// One argument of Format: a decimal integer (%d) or a text (%s).
class FormatArg {
 public:
  FormatArg(int value) : isText_(false), number_(value) {}
  FormatArg(std::u16string_view text) : isText_(true), text_(text) {}
  FormatArg(const std::u16string& text) : isText_(true), text_(text) {}
  FormatArg(const char16_t* text) : isText_(true), text_(text) {}
  bool isText() const { return isText_; }
  int64_t number() const { return number_; }
  std::u16string_view text() const { return text_; }

 private:
  bool isText_;
  int64_t number_ = 0;
  std::u16string_view text_;
};

// printf-style formatting with "%d" and "%s" ("%%" is a percent sign).
std::u16string Format(std::u16string_view format, std::initializer_list<FormatArg> args);

// The decimal digits of an integer, led by a minus sign when it is negative.
template <std::integral T>
std::u16string Decimal(T value) {
  const std::string ascii = std::to_string(value);
  return std::u16string(ascii.begin(), ascii.end());
}

// The value of the first run of ASCII digits in `text`; false when there is
// none or its value is above `limit` (at least 0).
bool FirstNumber(std::u16string_view text, int64_t limit, int64_t& value);

// The product's version text: "%d.%d%d" of the first three numbers of the
// version (1.0.1.0 is "1.01").
std::string VersionText(int major, int minor, int build);

// Conversions for tests and messages.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

#endif  // CNV_ENGINE_STRUTIL_H_
