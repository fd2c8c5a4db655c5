// Group commit: the outputs of several writing threads made durable,
// renamed and their folders flushed together, one thread doing it for all
// that wait (see CommitGroup in textfile.h).
#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <vector>

#include "engine/output_file.h"
#include "engine/textfile.h"

namespace fs = std::filesystem;

namespace {

// An output waiting for its group, on the stack of its writing thread.
struct Waiting {
  OutputFile* file;
  CommitResult result;
  bool done = false;
};

thread_local CommitGroup::State* t_group = nullptr;

}  // namespace

// The outputs that wait for the next flush. The first writer to find no
// flush under way takes them all and flushes them; those that come
// meanwhile wait for the one after.
struct CommitGroup::State {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<Waiting*> queue;
  bool flushing = false;
};

CommitGroup::CommitGroup() : state_(std::make_unique<State>()) {}

CommitGroup::~CommitGroup() = default;

CommitGroupScope::CommitGroupScope(CommitGroup& group) : previous_(t_group) {
  t_group = group.state_.get();
}

CommitGroupScope::~CommitGroupScope() {
  t_group = previous_;
}

namespace {

// Flushes the outputs of `batch`, then renames those that are on the disk,
// then flushes each of their folders once. An output that is not reached
// (no memory to go on) stays unflushed and unrenamed, and fails.
void CommitBatch(const std::vector<Waiting*>& batch) {
  for (Waiting* w : batch) {
    w->result = {CommitResult::Failed::kFlush,
                 std::error_code(OutOfMemoryError(), std::system_category())};
  }
  try {
    std::vector<OutputFile*> files;
    files.reserve(batch.size());
    for (const Waiting* w : batch) files.push_back(w->file);
    std::vector<std::error_code> why(batch.size());
    std::vector<fs::path> folders;
    folders.reserve(batch.size());
    OutputFile::FinishTogether(files, why);
    for (size_t i = 0; i < batch.size(); ++i) {
      CommitResult& result = batch[i]->result;
      if (why[i]) {
        result = {CommitResult::Failed::kFlush, why[i]};
      } else if (!files[i]->Rename()) {
        result = {CommitResult::Failed::kRename, LastSystemError()};
      } else {
        result = {};
        const fs::path folder = files[i]->target().parent_path();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
          folders.push_back(folder);
        }
      }
    }
    for (const fs::path& folder : folders) OutputFile::FlushFolder(folder);
  } catch (const std::bad_alloc&) {
  }
}

CommitResult FinishAlone(OutputFile& file) {
  if (!file.Finish()) return {CommitResult::Failed::kFlush, LastSystemError()};
  if (!file.Commit()) return {CommitResult::Failed::kRename, LastSystemError()};
  return {};
}

}  // namespace

CommitResult FinishAndCommit(OutputFile& file) {
  CommitGroup::State* group = t_group;
  if (group == nullptr || file.Direct()) return FinishAlone(file);
  Waiting me{&file, {}};
  const DiskWait wait;
  std::unique_lock<std::mutex> lock(group->mutex);
  group->queue.push_back(&me);
  while (!me.done) {
    if (group->flushing) {
      group->changed.wait(lock);
      continue;
    }
    group->flushing = true;
    std::vector<Waiting*> batch;
    batch.swap(group->queue);
    lock.unlock();
    CommitBatch(batch);
    lock.lock();
    for (Waiting* w : batch) w->done = true;
    group->flushing = false;
    group->changed.notify_all();
  }
  return me.result;
}
