// Character-set names and the set chosen for configuration files, shared by
// the platforms' codecs. Private to the file layer; SetFileEncoding and
// FileEncoding (textfile.h) are its public face.
#ifndef CNV_ENGINE_CHARSET_H_
#define CNV_ENGINE_CHARSET_H_

#include <string>
#include <string_view>

#include "engine/codec.h"

std::string UpperAscii(std::string_view text);

// Whether `upper`, a name in upper case, names Shift_JIS as configuration
// files know it: code page 932, whose lower half is plain ASCII (backslash
// and tilde included).
bool IsShiftJisName(const std::string& upper);

// The set SetFileEncoding chose; the value-initialized id when it is the
// user's default.
const CharsetId& SelectedCharset();

#endif  // CNV_ENGINE_CHARSET_H_
