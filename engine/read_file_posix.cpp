// Reading an input on POSIX, in blocks watched by the input screen.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "engine/file_error.h"
#include "engine/textfile.h"

namespace {

// Closes the input however the reading ends.
struct Closer {
  int fd;
  ~Closer() { close(fd); }
};

}  // namespace

bool ReadFileThrough(const std::filesystem::path& path, InputScreen& screen, std::string& bytes,
                     std::error_code& why) {
  why.clear();
  bytes.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    why = std::error_code(errno, std::generic_category());
    return false;
  }
  const Closer closer{fd};
  struct stat st;
  const bool statted = fstat(fd, &st) == 0;
  if (!statted || S_ISDIR(st.st_mode)) {
    why = std::error_code(statted ? EISDIR : errno, std::generic_category());
    return false;
  }
  // A regular file too big is refused unread; one that is not is held in
  // one piece of its own size, unless the screen passes its lines on.
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    screen.Expect(static_cast<std::uint64_t>(st.st_size), bytes);
  }
  char buffer[65536];
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      throw FileError(
          FileError::Kind::Generic, path,
          "read error after " + std::to_string(total) + " bytes: " + std::strerror(error), error);
    }
    if (got == 0) break;
    total += static_cast<std::uint64_t>(got);
    screen.Add(std::string_view(buffer, static_cast<size_t>(got)), bytes);
  }
  screen.Finish(bytes);
  return true;
}
