// Reading an input whole on Windows.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

#include "engine/file_error.h"
#include "engine/textfile.h"

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes, std::error_code& why) {
  why.clear();
  // No sharing: the open fails while another process holds the file.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return false;
  }
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      // A pipe whose writer has closed its end is at its end.
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE) break;
      CloseHandle(file);
      throw FileError(FileError::Kind::Generic, path,
                      "read error after " + std::to_string(bytes.size()) + " bytes",
                      static_cast<int>(error));
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  CloseHandle(file);
  return true;
}
