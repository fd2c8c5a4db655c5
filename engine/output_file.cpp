#include "engine/output_file.h"

#include <algorithm>

#include "engine/file_error.h"

namespace {

thread_local DiskWaitListener* t_diskWaitListener = nullptr;

// Test seam: total of bytes a write may reach before it fails (negative:
// no fault).
long long g_writeFaultAfter = -1;

// Test seam: the outputs whose flush fails.
std::function<bool(const std::filesystem::path&)> g_flushFault;

}  // namespace

DiskWaitScope::DiskWaitScope(DiskWaitListener& listener) : previous_(t_diskWaitListener) {
  t_diskWaitListener = &listener;
}

DiskWaitScope::~DiskWaitScope() {
  t_diskWaitListener = previous_;
}

DiskWait::DiskWait() : listener_(t_diskWaitListener) {
  if (listener_) listener_->DiskWaitBegins();
}

DiskWait::~DiskWait() {
  if (listener_) listener_->DiskWaitEnds();
}

void SetWriteFaultAfterBytes(long long bytes) {
  g_writeFaultAfter = bytes < 0 ? -1 : bytes;
}

void SetFlushFault(std::function<bool(const std::filesystem::path& target)> fails) {
  g_flushFault = std::move(fails);
}

bool FlushFaults(const std::filesystem::path& target) {
  return g_flushFault && g_flushFault(target);
}

void ByteSink::Append(std::string_view bytes) {
  buffer_.append(bytes);
  if (buffer_.size() >= 65536) Flush();
}

void ByteSink::Flush() {
  std::string_view pending = buffer_;
  bool ok = true;
  int error = 0;
  if (g_writeFaultAfter >= 0) {
    const long long room = std::max(0LL, g_writeFaultAfter - written_);
    if (static_cast<long long>(pending.size()) > room) {
      pending = pending.substr(0, static_cast<size_t>(room));
      ok = false;
      error = DiskFullError();  // the fault stands for a full disk
    }
  }
  if (!file_.Write(pending.data(), pending.size())) {
    ok = false;
    error = LastSystemError().value();
  }
  written_ += static_cast<long long>(pending.size());
  buffer_.clear();
  if (!ok) throw FileError(FileError::Kind::DiskFull, path_, "write failed (disk full?)", error);
}
