#include "ui/version_text.h"

#include <string>
#include <vector>

#include "engine/strutil.h"

std::wstring VersionText(const VS_FIXEDFILEINFO* info) {
  unsigned major = 0, minor = 0, build = 0;
  if (info != nullptr) {
    major = HIWORD(info->dwFileVersionMS);
    minor = LOWORD(info->dwFileVersionMS);
    build = HIWORD(info->dwFileVersionLS);
  }
  const std::string text =
      ::VersionText(static_cast<int>(major), static_cast<int>(minor), static_cast<int>(build));
  return std::wstring(text.begin(), text.end());
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
