// The output file of WriteTextLines: a temporary file beside the target
// that replaces the target only when complete and flushed, alone or with
// the outputs of a CommitGroup (commit_group.cpp), with the tool's disk
// waits and the test seams' faults. OutputFile is the platform's
// (output_file_posix.cpp, output_file_win32.cpp); the rest is shared
// (output_file.cpp). Private to the file layer.
#ifndef CNV_ENGINE_OUTPUT_FILE_H_
#define CNV_ENGINE_OUTPUT_FILE_H_

#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/pending_files.h"
#include "engine/textfile.h"

// The system's reason for the failure that has just happened.
std::error_code LastSystemError();
// The system's codes of a full disk and of memory run out.
int DiskFullError();
int OutOfMemoryError();
// Whether the test seam (SetFlushFault) fails the flush of `target`.
bool FlushFaults(const std::filesystem::path& target);

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
  // Replaces the target and flushes its folder; false when it cannot be
  // replaced.
  bool Commit();

  // The steps of Finish and Commit for several outputs at once, with no
  // disk waits of their own: FinishTogether flushes `files` (sharing the
  // flushes where the system can) and closes them, setting `why[i]` where
  // file i failed; Rename replaces the target; FlushFolder makes the
  // entries of `folder` durable.
  static void FinishTogether(std::span<OutputFile* const> files, std::span<std::error_code> why);
  bool Rename();
  static void FlushFolder(const std::filesystem::path& folder);

  // Written straight to a device or pipe: nothing to flush or rename.
  bool Direct() const { return temp_.empty(); }
  const std::filesystem::path& target() const { return target_; }

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

// How an output ended: it replaced its target, or it could not be flushed
// (a write error) or could not replace the target, for the system's reason.
struct CommitResult {
  enum class Failed { kNone, kFlush, kRename };
  Failed failed = Failed::kNone;
  std::error_code why;
};

// Flushes `file` and replaces its target, with the outputs of the thread's
// CommitGroup if it has one, else alone (Finish, then Commit).
CommitResult FinishAndCommit(OutputFile& file);

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
