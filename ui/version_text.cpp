#include "ui/version_text.h"

#include <cstdio>
#include <vector>

std::wstring VersionText(const VS_FIXEDFILEINFO* info) {
  unsigned major = 0, minor = 0, build = 0;
  if (info != nullptr) {
    major = HIWORD(info->dwFileVersionMS);
    minor = LOWORD(info->dwFileVersionMS);
    build = HIWORD(info->dwFileVersionLS);
  }
  wchar_t text[64];
  swprintf(text, 64, L"%u.%u%u", major, minor, build);
  return text;
}

std::wstring AboutVersionLine(const std::wstring& moduleName, const std::wstring& versionText) {
  return moduleName + L" Version " + versionText;
}

std::wstring FileVersionText(const std::wstring& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return VersionText(nullptr);
  std::vector<BYTE> data(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return VersionText(nullptr);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
      length < sizeof(VS_FIXEDFILEINFO)) {
    return VersionText(nullptr);
  }
  return VersionText(info);
}
