// The output file on Windows.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "engine/output_file.h"
#include "engine/pending_files.h"

namespace fs = std::filesystem;

std::error_code LastSystemError() {
  return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

int DiskFullError() {
  return ERROR_DISK_FULL;
}

int OutOfMemoryError() {
  return ERROR_NOT_ENOUGH_MEMORY;
}

namespace {

// FlushFileBuffers, failing where the test seam says so.
bool FlushFile(HANDLE file, const fs::path& target) {
  if (FlushFaults(target)) {
    SetLastError(ERROR_DISK_FULL);
    return false;
  }
  return FlushFileBuffers(file) != 0;
}

}  // namespace

// The file goes once the last handle to it is closed (see Create).
void RemoveFileInHandler(const wchar_t* path) {
  DeleteFileW(path);
}

OutputFile::OutputFile() : file_(INVALID_HANDLE_VALUE) {}

OutputFile::~OutputFile() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  if (!temp_.empty()) DeleteFileW(temp_.c_str());
  UnregisterPending(pending_);
}

bool OutputFile::Create(const fs::path& target) {
  target_ = target;
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    return false;
  }
  static std::atomic<unsigned> counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path temp = target;
    temp += L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) +
            L".tmp";
    pending_ = RegisterPending(temp);
    // Shared for deletion, so that an interrupt handler on another thread
    // can delete it while it is open: it goes when the process ends.
    file_ = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ != INVALID_HANDLE_VALUE) {
      temp_ = temp;
      return true;
    }
    const DWORD error = GetLastError();
    UnregisterPending(pending_);
    pending_ = nullptr;
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  return false;
}

bool OutputFile::Write(const char* data, size_t size) {
  while (size > 0) {
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 20));
    if (!WriteFile(file_, data, chunk, &done, nullptr) || done == 0) return false;
    data += done;
    size -= done;
  }
  return true;
}

bool OutputFile::Finish() {
  bool flushed;
  {
    const DiskWait wait;
    flushed = FlushFile(file_, target_);
  }
  const bool closed = CloseHandle(file_) != 0;
  file_ = INVALID_HANDLE_VALUE;
  return flushed && closed;
}

// The temporary file is closed by now, so that no handle stands in the way.
bool OutputFile::Commit() {
  const DiskWait wait;
  return Rename();
}

// Windows flushes one file at a time: the files are flushed in turn, then
// closed.
void OutputFile::FinishTogether(std::span<OutputFile* const> files,
                                std::span<std::error_code> why) {
  for (size_t i = 0; i < files.size(); ++i) {
    if (!FlushFile(files[i]->file_, files[i]->target_)) why[i] = LastSystemError();
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (!CloseHandle(files[i]->file_) && !why[i]) why[i] = LastSystemError();
    files[i]->file_ = INVALID_HANDLE_VALUE;
  }
}

// Written through: the move is on the disk when it returns.
bool OutputFile::Rename() {
  if (!MoveFileExW(temp_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return false;
  }
  temp_.clear();
  UnregisterPending(pending_);
  pending_ = nullptr;
  return true;
}

// A move written through needs no flush of its folder.
void OutputFile::FlushFolder(const fs::path&) {}
