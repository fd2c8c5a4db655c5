#include "ui/ui_text.h"

#include <vector>

std::wstring LoadUiString(UINT id) {
  const wchar_t* text = nullptr;
  // With a zero buffer size LoadStringW returns a pointer into the resource.
  int length = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return std::wstring(text, static_cast<size_t>(length));
}

std::wstring ModuleFilePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  return std::wstring(buffer.data(), length);
}

PathParts SplitPath(std::wstring_view path) {
  PathParts parts;
  if (path.size() >= 2 && path[1] == L':') {
    parts.drive = std::wstring(path.substr(0, 2));
    path.remove_prefix(2);
  }
  size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring_view::npos) {
    parts.dir = std::wstring(path.substr(0, slash + 1));
    path.remove_prefix(slash + 1);
  }
  size_t dot = path.rfind(L'.');
  if (dot != std::wstring_view::npos) {
    parts.ext = std::wstring(path.substr(dot));
    path = path.substr(0, dot);
  }
  parts.fname = std::wstring(path);
  return parts;
}

std::wstring WindowText(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  length = GetWindowTextW(hwnd, text.data(), length + 1);
  text.resize(static_cast<size_t>(length > 0 ? length : 0));
  return text;
}
