// The output file on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>

#include "engine/output_file.h"
#include "engine/pending_files.h"

namespace fs = std::filesystem;

std::error_code LastSystemError() {
  return std::error_code(errno, std::generic_category());
}

int DiskFullError() {
  return ENOSPC;
}

void RemoveFileInHandler(const char* path) {
  const int saved = errno;  // a handler leaves errno as it found it
  unlink(path);
  errno = saved;
}

OutputFile::OutputFile() = default;

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
  if (!temp_.empty()) unlink(temp_.c_str());
  UnregisterPending(pending_);
}

bool OutputFile::Create(const fs::path& path) {
  target_ = path;
  struct stat st;
  bool exists = stat(path.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return false;
  if (exists && !S_ISREG(st.st_mode)) {
    fd_ = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    return fd_ >= 0;
  }
  // Write beside the file a symbolic link names, so that the link stays.
  std::error_code ec;
  if (exists && fs::is_symlink(path, ec)) {
    fs::path real = fs::canonical(path, ec);
    if (!ec) target_ = real;
  }
  // A file the user may not write stays as it is, as an open for writing
  // would fail on it.
  if (exists && access(target_.c_str(), W_OK) != 0) return false;
  static std::atomic<unsigned> counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path temp = target_;
    temp += ".~" + std::to_string(getpid()) + "-" + std::to_string(++counter) + ".tmp";
    pending_ = RegisterPending(temp);
    fd_ = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temp_ = temp;
      if (exists) fchmod(fd_, st.st_mode & 07777);
      return true;
    }
    const int error = errno;
    UnregisterPending(pending_);
    pending_ = nullptr;
    if (error != EEXIST) break;
  }
  return false;
}

bool OutputFile::Write(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t done = write(fd_, data, size);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

bool OutputFile::Finish() {
  bool ok = true;
  if (!temp_.empty()) {
    const DiskWait wait;
    ok = fsync(fd_) == 0;
  }
  ok = close(fd_) == 0 && ok;
  fd_ = -1;
  return ok;
}

bool OutputFile::Commit() {
  if (temp_.empty()) return true;  // written directly
  if (rename(temp_.c_str(), target_.c_str()) != 0) return false;
  temp_.clear();
  UnregisterPending(pending_);
  pending_ = nullptr;
  // Make the new directory entry durable too; a failure here loses nothing.
  const int dir = open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                       O_RDONLY | O_CLOEXEC);
  if (dir >= 0) {
    const DiskWait wait;
    fsync(dir);
    close(dir);
  }
  return true;
}
