// Text helpers of the Windows front end: string resources, the running
// executable's path, path splitting as the C runtime does it, and the
// bridge between wchar_t (Win32) and char16_t (the core).
#ifndef CNV_UI_UI_TEXT_H_
#define CNV_UI_UI_TEXT_H_

#include <windows.h>

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 text is UTF-16");

inline std::u16string ToU16(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}
inline std::wstring ToWide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

// The string with `id` from the executable's string table; empty when
// there is none.
std::wstring LoadUiString(UINT id);

// The full path of the running executable.
std::wstring ModuleFilePath();

// A path in the four parts of the C runtime's path splitting: drive ("D:"),
// folder (ending with a separator), file name, extension (with its dot).
struct PathParts {
  std::wstring drive;
  std::wstring dir;
  std::wstring fname;
  std::wstring ext;
};
PathParts SplitPath(std::wstring_view path);

// The text of a window (an edit control, a caption).
std::wstring WindowText(HWND hwnd);

#endif  // CNV_UI_UI_TEXT_H_
