// The codecs on Windows: the system's code-page conversions.
#include <windows.h>

#include <algorithm>

#include "engine/charset.h"
#include "engine/codec.h"
#include "engine/file_error.h"

namespace {

UINT ActiveCodePage() {
  return SelectedCharset() != 0 ? SelectedCharset() : GetACP();
}

// Code pages whose conversions take no flags (and give no default-character
// report); their strictness is checked by a round trip instead.
bool TakesNoFlags(UINT cp) {
  return cp == 42 || cp == 65000 || (cp >= 50220 && cp <= 50229) || (cp >= 57002 && cp <= 57011);
}

// Maps a character-set name to a code page: a number, "CP<number>" or a
// common name. 0 when the name is not known.
UINT CodePageOfName(const std::string& name) {
  const std::string upper = UpperAscii(name);
  if (IsShiftJisName(upper)) return 932;
  if (upper == "UTF-8" || upper == "UTF8") return CP_UTF8;
  struct Alias {
    const char* name;
    UINT cp;
  };
  static const Alias kAliases[] = {
      {"US-ASCII", 20127},    {"ASCII", 20127},       {"ANSI_X3.4-1968", 20127},
      {"EUC-JP", 20932},      {"EUCJP", 20932},       {"ISO-2022-JP", 50220},
      {"ISO-8859-1", 28591},  {"LATIN1", 28591},      {"ISO-8859-15", 28605},
      {"GBK", 936},           {"GB2312", 936},        {"GB18030", 54936},
      {"BIG5", 950},          {"EUC-KR", 949},        {"UHC", 949},
      {"WINDOWS-1250", 1250}, {"WINDOWS-1251", 1251}, {"WINDOWS-1252", 1252},
      {"KOI8-R", 20866},
  };
  for (const Alias& a : kAliases) {
    if (upper == a.name) return a.cp;
  }
  std::string digits = upper;
  if (digits.rfind("WINDOWS-", 0) == 0) {
    digits = digits.substr(8);
  } else if (digits.rfind("CP", 0) == 0) {
    digits = digits.substr(2);
  }
  if (digits.empty() || digits.size() > 5 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return 0;
  }
  const UINT cp = static_cast<UINT>(std::stoul(digits));
  return cp != 0 && IsValidCodePage(cp) ? cp : 0;
}

}  // namespace

Codec::Codec() : Codec(ActiveCodePage()) {}

Codec::Codec(const CharsetId& cp) : cp_(cp) {
  // UTF-8, Shift_JIS, EUC-JP, the ISO 8859 and the Windows 125x sets.
  const bool known = cp == CP_UTF8 || cp == 932 || cp == 20932 || (cp >= 28591 && cp <= 28605) ||
                     (cp >= 1250 && cp <= 1258);
  keepsAscii_ = known && KeepsAscii(*this);
}

Codec::~Codec() = default;

// A code page's conversions hold no resources.
bool Codec::usable() const {
  return true;
}

std::string Codec::Name() const {
  return cp_ == CP_UTF8 ? "UTF-8" : "CP" + std::to_string(cp_);
}

bool Codec::IsUtf8() const {
  return cp_ == CP_UTF8;
}

CharsetId Codec::OtherCommon() const {
  return IsUtf8() ? 932 : CP_UTF8;
}

// Not known for the code pages that keep a shift state, so those are
// encoded whole.
bool Codec::EncodesLinesApart() const {
  return !TakesNoFlags(cp_);
}

bool Codec::Decode(std::string_view bytes, std::u16string& out) const {
  out.clear();
  if (bytes.empty() || (keepsAscii_ && WidenAscii(bytes, out))) return true;
  const DWORD flags = TakesNoFlags(cp_) ? 0 : MB_ERR_INVALID_CHARS;
  const int size = static_cast<int>(bytes.size());
  int n = MultiByteToWideChar(cp_, flags, bytes.data(), size, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  n = MultiByteToWideChar(cp_, flags, bytes.data(), size, wide.data(), n);
  if (n <= 0) return false;
  out.assign(wide.begin(), wide.begin() + n);
  return true;
}

bool Codec::Encode(std::u16string_view text, std::string& out) const {
  out.clear();
  if (text.empty() || (keepsAscii_ && NarrowAscii(text, out))) return true;
  const std::wstring wide(text.begin(), text.end());
  const int size = static_cast<int>(wide.size());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = &usedDefault;
  if (cp_ == CP_UTF8 || cp_ == 54936) {
    flags = WC_ERR_INVALID_CHARS;
    usedDefaultPtr = nullptr;
  } else if (TakesNoFlags(cp_)) {
    flags = 0;
    usedDefaultPtr = nullptr;
  }
  int n = WideCharToMultiByte(cp_, flags, wide.data(), size, nullptr, 0, nullptr, usedDefaultPtr);
  if (n <= 0 || usedDefault) return false;
  out.assign(static_cast<size_t>(n), '\0');
  n = WideCharToMultiByte(cp_, flags, wide.data(), size, out.data(), n, nullptr, usedDefaultPtr);
  if (n <= 0 || usedDefault) return false;
  out.resize(static_cast<size_t>(n));
  if (TakesNoFlags(cp_)) {
    std::u16string back;
    if (!Decode(out, back) || back != text) return false;
  }
  return true;
}

std::optional<CharsetId> CharsetOfName(const std::string& name) {
  const UINT cp = name.empty() ? GetACP() : CodePageOfName(name);
  if (cp == 0) return std::nullopt;
  return cp;
}

// A code page's conversions hold no resources: a codec is made where needed.
std::shared_ptr<const Codec> ActiveCodec() {
  return std::make_shared<const Codec>();
}

std::shared_ptr<const Codec> NamedCodec(const std::string& name) {
  const std::optional<CharsetId> cp = CharsetOfName(name);
  if (!cp) throw FileError(FileError::Kind::Generic, {}, "unknown character set " + name);
  return std::make_shared<const Codec>(*cp);
}
