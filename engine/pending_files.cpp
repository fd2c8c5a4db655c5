#include "engine/pending_files.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <thread>

#include "engine/textfile.h"

namespace {

constexpr size_t kPendingPathSize = 4096;  // with the NUL; PATH_MAX on Linux
constexpr int kBlockFiles = 32;

// A Free entry is claimed (Filling), gets its path, and is published
// (Ready); a handler takes a Ready entry (Removing) while it removes the
// file and gives it back.
enum PendingState : int { kFree, kFilling, kReady, kRemoving };

}  // namespace

struct PendingFile {
  std::atomic<int> state{kFree};
  std::filesystem::path::value_type path[kPendingPathSize];
};

namespace {

// The entries come in blocks: one to begin with, and more as the writes
// under way need them, so that the table fits however many threads write.
// A block, once linked, is never freed, so that a handler may walk the
// chain at any moment.
struct PendingBlock {
  PendingFile files[kBlockFiles];
  std::atomic<PendingBlock*> next{nullptr};
};
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need lock-free atomics");
static_assert(std::atomic<PendingBlock*>::is_always_lock_free,
              "signal handlers need lock-free atomics");

PendingBlock g_firstBlock;

PendingFile* ClaimFree(PendingBlock& block) {
  for (PendingFile& file : block.files) {
    int expected = kFree;
    if (file.state.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
      return &file;
    }
  }
  return nullptr;
}

// The block after `block`, linked now if there is none; null when there is
// no memory for it. Of two threads that link one at once, one block stays.
PendingBlock* NextBlock(PendingBlock& block) {
  PendingBlock* next = block.next.load(std::memory_order_acquire);
  if (next != nullptr) return next;
  PendingBlock* fresh = new (std::nothrow) PendingBlock;
  if (fresh == nullptr) return nullptr;
  if (block.next.compare_exchange_strong(next, fresh, std::memory_order_acq_rel)) return fresh;
  delete fresh;
  return next;
}

}  // namespace

PendingFile* RegisterPending(const std::filesystem::path& path) {
  const std::filesystem::path::string_type& native = path.native();
  if (native.size() >= kPendingPathSize) return nullptr;
  PendingBlock* block = &g_firstBlock;
  PendingFile* file = ClaimFree(*block);
  while (file == nullptr) {
    block = NextBlock(*block);
    if (block == nullptr) return nullptr;
    file = ClaimFree(*block);
  }
  std::copy(native.begin(), native.end(), file->path);
  file->path[native.size()] = 0;
  file->state.store(kReady, std::memory_order_release);
  return file;
}

void UnregisterPending(PendingFile* file) {
  if (file == nullptr) return;
  for (;;) {
    int expected = kReady;
    if (file->state.compare_exchange_strong(expected, kFree, std::memory_order_acq_rel) ||
        expected != kRemoving) {
      return;
    }
    std::this_thread::yield();
  }
}

void RemovePendingOutputFiles() {
  for (PendingBlock* block = &g_firstBlock; block != nullptr;
       block = block->next.load(std::memory_order_acquire)) {
    for (PendingFile& file : block->files) {
      int expected = kReady;
      if (!file.state.compare_exchange_strong(expected, kRemoving, std::memory_order_acquire)) {
        continue;
      }
      RemoveFileInHandler(file.path);
      file.state.store(kReady, std::memory_order_release);
    }
  }
}
