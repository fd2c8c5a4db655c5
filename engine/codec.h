// The character-set converters of the file layer, between the bytes of a
// character set and UTF-16: one Codec class with the same members on every
// platform, iconv on POSIX (codec_posix.cpp), the code-page conversions on
// Windows (codec_win32.cpp). Private to the file layer.
#ifndef CNV_ENGINE_CODEC_H_
#define CNV_ENGINE_CODEC_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#ifndef _WIN32
#include <iconv.h>
#endif

// What a platform's converter knows a character set by: a code page on
// Windows, an iconv name elsewhere. The value-initialized id (0, empty)
// stands for the user's default set.
#ifdef _WIN32
using CharsetId = unsigned;
#else
using CharsetId = std::string;
#endif

// Converts between one character set and UTF-16, strictly: bytes not valid
// in the set, and characters it cannot represent, are failures (no
// substitutes, no best fit).
class Codec {
 public:
  // The character set in use for configuration files.
  Codec();
  explicit Codec(const CharsetId& id);
  ~Codec();
  Codec(const Codec&) = delete;
  Codec& operator=(const Codec&) = delete;

  // False when the platform cannot convert the set (then every conversion
  // fails); always true on Windows, where a known code page converts.
  bool usable() const;
  std::string Name() const;
  bool IsUtf8() const;
  // The other character set configuration files commonly come in.
  CharsetId OtherCommon() const;
  // Whether a text's bytes are those of its lines (with their line ends)
  // encoded one after another, so that a text may be encoded in pieces.
  bool EncodesLinesApart() const;

  bool Decode(std::string_view bytes, std::u16string& out) const;
  bool Encode(std::u16string_view text, std::string& out) const;

 private:
#ifdef _WIN32
  unsigned cp_;
#else
  std::string charset_;
  iconv_t decode_;
  iconv_t encode_;
#endif
  bool keepsAscii_ = false;  // see KeepsAscii
};

// The set a name as users give it selects ("CP932", "Shift_JIS", "932",
// "UTF-8", ...): nothing when the platform does not know the name. An empty
// name selects the user's default set.
std::optional<CharsetId> CharsetOfName(const std::string& name);

// A codec of the character set in use for configuration files.
std::shared_ptr<const Codec> ActiveCodec();
// A codec of the set `name` selects (empty: the user's default); throws
// FileError (generic, empty path) when the platform does not know the name.
// Changes no setting, so that several threads may call it.
std::shared_ptr<const Codec> NamedCodec(const std::string& name);

// Pure ASCII text in a character set that keeps ASCII as it is: the
// conversion is a copy of each unit, with no call into the system's
// converter. False (nothing done) when the text is not pure ASCII.
bool WidenAscii(std::string_view bytes, std::u16string& out);
bool NarrowAscii(std::u16string_view text, std::string& out);

// Whether `codec`, of a character set known to be stateless and to keep
// ASCII as it is, reads and writes every ASCII character as its own byte,
// so that WidenAscii and NarrowAscii give what its conversions give.
// (Stateful sets such as ISO-2022-JP may pass every single ASCII byte
// through, yet read an escape sequence as a shift: they are not in the
// platforms' lists of known sets.)
bool KeepsAscii(const Codec& codec);

#endif  // CNV_ENGINE_CODEC_H_
