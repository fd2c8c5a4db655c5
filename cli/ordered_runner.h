// Runs independent jobs on a few threads and hands their results back in
// the order of the jobs, whatever the order in which they finish. At most a
// window of jobs is started ahead of the first unfinished one, so that the
// results held at any time are bounded by the threads, not by the jobs.
#ifndef CNV_CLI_ORDERED_RUNNER_H_
#define CNV_CLI_ORDERED_RUNNER_H_

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Calls `job(i)` for every i below `count` on `threads` threads and, on the
// calling thread, `deliver(i, result)` in the order of i, each as soon as it
// and every job before it have finished. `finished(n)` is called on the
// calling thread whenever the number of finished jobs grows (for progress).
// A job's exception is rethrown on the calling thread when its turn comes,
// after the running jobs have ended.
template <typename Result>
void RunOrdered(size_t count, unsigned threads, const std::function<Result(size_t)>& job,
                const std::function<void(size_t, Result&)>& deliver,
                const std::function<void(size_t)>& finished = {}) {
  threads = std::max(1u, threads);
  const size_t window = static_cast<size_t>(threads) * 4;
  std::mutex mutex;
  std::condition_variable changed;
  // Slots of the jobs from `delivered` on; a slot holds its result once done.
  std::deque<std::optional<Result>> done;
  std::vector<std::exception_ptr> errors;  // by job, only when one threw
  size_t next = 0;                         // the next job to start
  size_t delivered = 0;                    // jobs handed back so far
  size_t finishedCount = 0;
  bool stop = false;

  const auto worker = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      changed.wait(lock, [&] { return stop || next >= count || next < delivered + window; });
      if (stop || next >= count) return;
      const size_t i = next++;
      lock.unlock();
      std::optional<Result> result;
      std::exception_ptr error;
      try {
        result.emplace(job(i));
      } catch (...) {
        error = std::current_exception();
      }
      lock.lock();
      if (error) {
        if (errors.size() <= i) errors.resize(i + 1);
        errors[i] = error;
        stop = true;
      }
      done[i - delivered] = std::move(result);
      ++finishedCount;
      changed.notify_all();
    }
  };

  std::vector<std::thread> pool;
  const unsigned started = static_cast<unsigned>(std::min<size_t>(threads, count));
  pool.reserve(started);
  {
    // Slots for the whole window exist before any worker writes one.
    std::lock_guard<std::mutex> lock(mutex);
    done.resize(window);
  }
  // However the delivery ends, even by an exception of `deliver` or
  // `finished`, the workers stop and are joined first.
  struct Joiner {
    std::mutex& mutex;
    std::condition_variable& changed;
    bool& stop;
    std::vector<std::thread>& pool;
    ~Joiner() {
      {
        std::lock_guard<std::mutex> lock(mutex);
        stop = true;
      }
      changed.notify_all();
      for (std::thread& t : pool) {
        if (t.joinable()) t.join();
      }
    }
  } joiner{mutex, changed, stop, pool};
  for (unsigned t = 0; t < started; ++t) pool.emplace_back(worker);

  std::exception_ptr failure;
  size_t reported = 0;
  std::unique_lock<std::mutex> lock(mutex);
  while (delivered < count) {
    changed.wait(lock, [&] {
      return done.front().has_value() || finishedCount != reported ||
             (delivered < errors.size() && errors[delivered]);
    });
    if (finishedCount != reported) {
      reported = finishedCount;
      if (finished) {
        lock.unlock();
        finished(reported);
        lock.lock();
      }
    }
    if (delivered < errors.size() && errors[delivered]) {
      failure = errors[delivered];
      break;
    }
    while (delivered < count && done.front().has_value()) {
      std::optional<Result> result = std::move(done.front());
      done.pop_front();
      done.emplace_back();
      const size_t i = delivered++;
      changed.notify_all();
      lock.unlock();
      deliver(i, *result);
      lock.lock();
    }
  }
  lock.unlock();
  if (failure) std::rethrow_exception(failure);
}

#endif  // CNV_CLI_ORDERED_RUNNER_H_
