// The output file on POSIX.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "engine/output_file.h"
#include "engine/pending_files.h"

namespace fs = std::filesystem;

std::error_code LastSystemError() {
  return std::error_code(errno, std::generic_category());
}

int DiskFullError() {
  return ENOSPC;
}

int OutOfMemoryError() {
  return ENOMEM;
}

namespace {

// fsync, failing where the test seam says so.
bool FlushFile(int fd, const fs::path& target) {
  if (FlushFaults(target)) {
    errno = ENOSPC;
    return false;
  }
  return fsync(fd) == 0;
}

// Flushes the whole file system of `fd` (the data of every file on it,
// then its journal) in one wait: cheaper than a flush of each of many small
// files. Linux reports write-back errors of the file system since 5.8;
// false elsewhere, where each file is flushed instead.
bool FlushFileSystem(int fd) {
#ifdef __linux__
  // Before 5.8, syncfs could succeed though a file's data never reached the
  // disk: there each file is flushed, whose errors fsync reports.
  static const bool reportsErrors = [] {
    struct utsname name;
    int major = 0;
    int minor = 0;
    return uname(&name) == 0 && std::sscanf(name.release, "%d.%d", &major, &minor) == 2 &&
           (major > 5 || (major == 5 && minor >= 8));
  }();
  return reportsErrors && syncfs(fd) == 0;
#else
  (void)fd;
  return false;
#endif
}

}  // namespace

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
    ok = FlushFile(fd_, target_);
  }
  ok = close(fd_) == 0 && ok;
  fd_ = -1;
  return ok;
}

bool OutputFile::Commit() {
  if (temp_.empty()) return true;  // written directly
  if (!Rename()) return false;
  const DiskWait wait;
  FlushFolder(target_.parent_path());
  return true;
}

// The files of each file system share one flush, unless a file's flush is
// to fail (the test seam) or the shared one fails: then each file of that
// file system is flushed on its own, so that only those that fail fail. A
// file alone on its file system is flushed on its own too, which does not
// wait for the other files of the system.
void OutputFile::FinishTogether(std::span<OutputFile* const> files,
                                std::span<std::error_code> why) {
  std::map<dev_t, std::vector<size_t>> byDevice;
  for (size_t i = 0; i < files.size(); ++i) {
    struct stat st;
    if (fstat(files[i]->fd_, &st) == 0) {
      byDevice[st.st_dev].push_back(i);
    } else if (!FlushFile(files[i]->fd_, files[i]->target_)) {
      why[i] = LastSystemError();  // of no known file system: flushed on its own
    }
  }
  for (const auto& [device, members] : byDevice) {
    std::vector<bool> faulted(members.size());
    bool shared = members.size() > 1;
    for (size_t k = 0; k < members.size(); ++k) {
      faulted[k] = FlushFaults(files[members[k]]->target_);
      if (faulted[k]) shared = false;
    }
    if (shared && FlushFileSystem(files[members.front()]->fd_)) continue;
    for (size_t k = 0; k < members.size(); ++k) {
      const size_t i = members[k];
      if (faulted[k]) {
        why[i] = std::error_code(ENOSPC, std::generic_category());
      } else if (fsync(files[i]->fd_) != 0) {
        why[i] = LastSystemError();
      }
    }
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (close(files[i]->fd_) != 0 && !why[i]) why[i] = LastSystemError();
    files[i]->fd_ = -1;
  }
}

bool OutputFile::Rename() {
  if (rename(temp_.c_str(), target_.c_str()) != 0) return false;
  temp_.clear();
  UnregisterPending(pending_);
  pending_ = nullptr;
  return true;
}

// A failure here loses nothing: the new entry is there, only perhaps not
// yet on the disk.
void OutputFile::FlushFolder(const fs::path& folder) {
  const int dir = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
}
