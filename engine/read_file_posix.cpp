// Reading an input whole on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "engine/file_error.h"
#include "engine/textfile.h"

bool ReadFileBytes(const std::filesystem::path& path, std::string& bytes, std::error_code& why) {
  why.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = std::error_code(errno, std::generic_category());
    return false;
  }
  struct stat st;
  const bool statted = fstat(fd, &st) == 0;
  if (!statted || S_ISDIR(st.st_mode)) {
    why = std::error_code(statted ? EISDIR : errno, std::generic_category());
    close(fd);
    return false;
  }
  // A regular file is read in one piece of its own size.
  if (S_ISREG(st.st_mode) && st.st_size > 0)
    bytes.reserve(bytes.size() + static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      close(fd);
      throw FileError(
          FileError::Kind::Generic, path,
          "read error after " + std::to_string(bytes.size()) + " bytes: " + std::strerror(error),
          error);
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}
