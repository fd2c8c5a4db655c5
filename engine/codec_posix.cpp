// The codecs on POSIX: iconv's converters, from and to UTF-16LE.
#include <errno.h>
#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <vector>

#include "engine/charset.h"
#include "engine/codec.h"

namespace {

// The character set of the user's locale.
std::string DefaultCharset() {
  const char* codeset = nl_langinfo(CODESET);
  const std::string upper = UpperAscii(codeset != nullptr ? codeset : "");
  // The plain-ASCII set of the C/POSIX locale counts as UTF-8, so that the
  // header can always be written.
  if (upper.empty() || upper == "ANSI_X3.4-1968" || upper == "US-ASCII" || upper == "ASCII" ||
      upper == "646") {
    return "UTF-8";
  }
  if (IsShiftJisName(upper)) return "CP932";
  return codeset;
}

std::string ActiveCharset() {
  return SelectedCharset().empty() ? DefaultCharset() : SelectedCharset();
}

bool Valid(iconv_t cd) {
  return cd != reinterpret_cast<iconv_t>(-1);
}

bool IsUtf8Name(const std::string& charset) {
  const std::string upper = UpperAscii(charset);
  return upper == "UTF-8" || upper == "UTF8";
}

// Runs one iconv conversion of a whole buffer from its initial state; false
// on an invalid or incomplete sequence or an irreversible conversion.
bool RunIconv(iconv_t cd, std::string_view in, std::string& out) {
  out.clear();
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  out.resize(in.size() * 2 + 16);
  size_t done = 0;
  bool flushing = false;
  for (;;) {
    char* outPtr = out.data() + done;
    size_t outLeft = out.size() - done;
    const size_t r = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                              : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    done = out.size() - outLeft;
    if (r == static_cast<size_t>(-1)) {
      if (errno != E2BIG) return false;
      out.resize(out.size() * 2);
      continue;
    }
    if (r != 0) return false;
    if (flushing) break;
    flushing = true;  // write the shift sequence back to the initial state
  }
  out.resize(done);
  return true;
}

// This thread's codec for a character set. Opening iconv's converters costs
// about as much as converting a small file, and for a set such as CP932 loads
// its module again each time, so a thread keeps the few it uses.
std::shared_ptr<const Codec> ThreadCodec(const std::string& charset) {
  thread_local std::vector<std::shared_ptr<const Codec> > codecs;  // most recent last
  for (size_t i = 0; i < codecs.size(); ++i) {
    if (codecs[i]->Name() == charset) {
      std::rotate(codecs.begin() + static_cast<std::ptrdiff_t>(i),
                  codecs.begin() + static_cast<std::ptrdiff_t>(i) + 1, codecs.end());
      return codecs.back();
    }
  }
  constexpr size_t kKept = 8;
  if (codecs.size() >= kKept) codecs.erase(codecs.begin());
  codecs.push_back(std::make_shared<const Codec>(charset));
  return codecs.back();
}

}  // namespace

Codec::Codec() : Codec(ActiveCharset()) {}

Codec::Codec(const CharsetId& id) : charset_(id) {
  decode_ = iconv_open("UTF-16LE", charset_.c_str());
  encode_ = iconv_open(charset_.c_str(), "UTF-16LE");
  // UTF-8, Shift_JIS, EUC-JP, the ISO 8859 and the Windows 125x sets.
  const std::string upper = UpperAscii(charset_);
  const bool known = upper == "UTF-8" || upper == "UTF8" || upper == "CP932" || upper == "EUC-JP" ||
                     upper.rfind("ISO-8859-", 0) == 0 || upper.rfind("CP125", 0) == 0 ||
                     upper.rfind("WINDOWS-125", 0) == 0;
  keepsAscii_ = known && usable() && KeepsAscii(*this);
}

Codec::~Codec() {
  if (Valid(decode_)) iconv_close(decode_);
  if (Valid(encode_)) iconv_close(encode_);
}

bool Codec::usable() const {
  return Valid(decode_) && Valid(encode_);
}

std::string Codec::Name() const {
  return charset_;
}

bool Codec::IsUtf8() const {
  return IsUtf8Name(charset_);
}

CharsetId Codec::OtherCommon() const {
  return IsUtf8() ? "CP932" : "UTF-8";
}

// iconv's sets with a shift state return to the initial state at every line
// end (checked on every set the file layer accepts, with both line ends).
bool Codec::EncodesLinesApart() const {
  return true;
}

bool Codec::Decode(std::string_view bytes, std::u16string& out) const {
  out.clear();
  if (keepsAscii_ && WidenAscii(bytes, out)) return true;
  std::string units;
  if (!usable() || !RunIconv(decode_, bytes, units)) return false;
  out.resize(units.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(units[2 * i]) |
                                   (static_cast<unsigned char>(units[2 * i + 1]) << 8));
  }
  return true;
}

// A character is representable only when its bytes read back as the same
// character (no best-fit substitutes).
bool Codec::Encode(std::u16string_view text, std::string& out) const {
  out.clear();
  if (keepsAscii_ && NarrowAscii(text, out)) return true;
  std::string units(text.size() * 2, '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    units[2 * i] = static_cast<char>(text[i] & 0xFF);
    units[2 * i + 1] = static_cast<char>(text[i] >> 8);
  }
  if (!usable() || !RunIconv(encode_, units, out)) return false;
  std::u16string back;
  return Decode(out, back) && back == text;
}

// A bare number names a code page, as on Windows.
std::optional<CharsetId> CharsetOfName(const std::string& name) {
  if (name.empty()) return DefaultCharset();
  if (IsShiftJisName(UpperAscii(name))) return "CP932";
  const bool number =
      std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
  return number ? "CP" + name : name;
}

std::shared_ptr<const Codec> ActiveCodec() {
  return ThreadCodec(ActiveCharset());
}

std::shared_ptr<const Codec> NamedCodec(const std::string& name) {
  return ThreadCodec(*CharsetOfName(name));
}
