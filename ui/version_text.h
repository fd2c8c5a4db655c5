// The version text of the version dialog: "%d.%d%d" from the high and low
// words of the file version's most significant half and the high word of
// its least significant half ("1.01" for 1.0.1.0).
#ifndef CNV_UI_VERSION_TEXT_H_
#define CNV_UI_VERSION_TEXT_H_

#include <windows.h>

#include <string>

// The version text of a fixed file-version block; "0.00" without one.
std::wstring VersionText(const VS_FIXEDFILEINFO* info);

// "NAME Version TEXT", the line the version dialog shows.
std::wstring AboutVersionLine(const std::wstring& moduleName, const std::wstring& versionText);

// The version text from the version resource of the file at `path`.
std::wstring FileVersionText(const std::wstring& path);

#endif  // CNV_UI_VERSION_TEXT_H_
