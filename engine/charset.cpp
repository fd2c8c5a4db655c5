#include "engine/charset.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "engine/textfile.h"

namespace {

CharsetId g_selected{};  // the user's default until a set is chosen

// Characters whose bytes must be plain ASCII in any character set usable
// for configuration files: the line ends, the comment mark and the quote.
constexpr char16_t kAsciiProbe[] = u"\t\r\n #\"09AZaz";

// Whether a character set keeps the bytes of line ends, "#" and '"' plain.
bool IsAsciiCompatible(const Codec& codec) {
  std::string bytes;
  std::u16string back;
  const std::u16string_view probe(kAsciiProbe);
  return codec.Encode(probe, bytes) && bytes.size() == probe.size() &&
         std::equal(probe.begin(), probe.end(), bytes.begin(),
                    [](char16_t c, char b) { return c == static_cast<unsigned char>(b); }) &&
         codec.Decode(bytes, back) && back == probe;
}

}  // namespace

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IsShiftJisName(const std::string& upper) {
  return upper == "SHIFT_JIS" || upper == "SHIFT-JIS" || upper == "SJIS" || upper == "MS932" ||
         upper == "WINDOWS-31J" || upper == "CP932" || upper == "MS_KANJI" || upper == "932";
}

const CharsetId& SelectedCharset() {
  return g_selected;
}

bool SetFileEncoding(const std::string& name) {
  if (name.empty()) {
    g_selected = CharsetId{};
    return true;
  }
  const std::optional<CharsetId> id = CharsetOfName(name);
  if (!id) return false;
  const Codec codec(*id);
  if (!codec.usable() || !IsAsciiCompatible(codec)) return false;
  g_selected = *id;
  return true;
}

std::string FileEncoding() {
  return ActiveCodec()->Name();
}
