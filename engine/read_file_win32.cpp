// Reading an input on Windows, in blocks watched by the input screen.
#include <windows.h>

#include <string>

#include "engine/file_error.h"
#include "engine/textfile.h"

namespace {

// Closes the input however the reading ends.
struct Closer {
  HANDLE file;
  ~Closer() { CloseHandle(file); }
};

}  // namespace

bool ReadFileThrough(const std::filesystem::path& path, InputScreen& screen, std::string& bytes,
                     std::error_code& why) {
  why.clear();
  bytes.clear();
  // No sharing: the open fails while another process holds the file.
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    why = std::error_code(static_cast<int>(GetLastError()), std::system_category());
    return false;
  }
  const Closer closer{file};
  // A file on disk too big is refused unread; one that is not is held in
  // one piece of its own size, unless the screen passes its lines on.
  LARGE_INTEGER size;
  if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart > 0) {
    screen.Expect(static_cast<std::uint64_t>(size.QuadPart), bytes);
  }
  char buffer[65536];
  std::uint64_t total = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      // A pipe whose writer has closed its end is at its end.
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE) break;
      throw FileError(FileError::Kind::Generic, path,
                      "read error after " + std::to_string(total) + " bytes",
                      static_cast<int>(error));
    }
    if (got == 0) break;
    total += got;
    screen.Add(std::string_view(buffer, got), bytes);
  }
  screen.Finish(bytes);
  return true;
}
