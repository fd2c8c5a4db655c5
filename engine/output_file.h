// The output file of WriteTextLines: a temporary file beside the target
// that replaces the target only when complete and flushed, with the tool's
// disk waits and the test seam's write faults. OutputFile is the
// platform's (output_file_posix.cpp, output_file_win32.cpp); the rest is
// shared (output_file.cpp). Private to the file layer.
#ifndef CNV_ENGINE_OUTPUT_FILE_H_
#define CNV_ENGINE_OUTPUT_FILE_H_

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/pending_files.h"
#include "engine/textfile.h"

// The system's reason for the failure that has just happened.
std::error_code LastSystemError();
// The system's code of a full disk.
int DiskFullError();

// The temporary file, removed on every path but a successful Commit. A
// target that is a device or a pipe is written directly (POSIX).
class OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // False when the output cannot be created: a folder, a read-only file, a
  // missing folder (the system's reason in LastSystemError).
  bool Create(const std::filesystem::path& target);
  bool Write(const char* data, size_t size);
  // Flushes to the disk and closes; false when that fails (a write error).
  bool Finish();
  // Replaces the target; false when it cannot be replaced.
  bool Commit();

 private:
#ifdef _WIN32
  void* file_;  // a HANDLE
#else
  int fd_ = -1;
#endif
  std::filesystem::path target_;
  std::filesystem::path temp_;
  PendingFile* pending_ = nullptr;  // the temporary file's entry among the pending ones
};

// Tells the thread's DiskWaitListener, if any, that the thread waits for the
// disk while it lives.
class DiskWait {
 public:
  DiskWait();
  ~DiskWait();
  DiskWait(const DiskWait&) = delete;
  DiskWait& operator=(const DiskWait&) = delete;

 private:
  DiskWaitListener* listener_;
};

// Buffers the bytes of the output and passes them to the file, failing as
// the test seam (SetWriteFaultAfterBytes) asks.
class ByteSink {
 public:
  ByteSink(OutputFile& file, const std::filesystem::path& path) : file_(file), path_(path) {}

  void Append(std::string_view bytes);
  // Throws FileError (disk full) when a write fails.
  void Flush();

 private:
  OutputFile& file_;
  const std::filesystem::path& path_;
  std::string buffer_;
  long long written_ = 0;  // bytes passed to the file so far
};

#endif  // CNV_ENGINE_OUTPUT_FILE_H_
