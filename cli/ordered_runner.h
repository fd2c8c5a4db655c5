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

// The shared state of one RunOrdered: the slots of the jobs from the first
// undelivered one on, filled by the workers and emptied in order by the
// calling thread.
template <typename Result>
class OrderedRun {
 public:
  OrderedRun(size_t count, unsigned threads)
      : count_(count), window_(static_cast<size_t>(threads) * 4) {
    done_.resize(window_);  // slots for the whole window before any worker writes one
  }
  // However the delivery ends, even by an exception of `deliver` or
  // `finished`, the workers stop and are joined first.
  ~OrderedRun() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : pool_) {
      if (t.joinable()) t.join();
    }
  }
  OrderedRun(const OrderedRun&) = delete;
  OrderedRun& operator=(const OrderedRun&) = delete;

  void Start(unsigned threads, const std::function<Result(size_t)>& job) {
    const unsigned started = static_cast<unsigned>(std::min<size_t>(threads, count_));
    pool_.reserve(started);
    for (unsigned t = 0; t < started; ++t) pool_.emplace_back([this, &job] { Work(job); });
  }

  // Hands the results back in order; a job's exception once its turn comes.
  void Deliver(const std::function<void(size_t, Result&)>& deliver,
               const std::function<void(size_t)>& finished) {
    std::exception_ptr failure;
    size_t reported = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    while (delivered_ < count_) {
      changed_.wait(lock, [&] {
        return done_.front().has_value() || finishedCount_ != reported || FailedAtTurn();
      });
      if (finishedCount_ != reported) {
        reported = finishedCount_;
        if (finished) {
          lock.unlock();
          finished(reported);
          lock.lock();
        }
      }
      if (FailedAtTurn()) {
        failure = errors_[delivered_];
        break;
      }
      while (delivered_ < count_ && done_.front().has_value()) {
        std::optional<Result> result = std::move(done_.front());
        done_.pop_front();
        done_.emplace_back();
        const size_t i = delivered_++;
        changed_.notify_all();
        lock.unlock();
        deliver(i, *result);
        lock.lock();
      }
    }
    lock.unlock();
    if (failure) std::rethrow_exception(failure);
  }

 private:
  bool FailedAtTurn() const { return delivered_ < errors_.size() && errors_[delivered_]; }

  void Work(const std::function<Result(size_t)>& job) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stop_ || next_ >= count_ || next_ < delivered_ + window_; });
      if (stop_ || next_ >= count_) return;
      const size_t i = next_++;
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
        if (errors_.size() <= i) errors_.resize(i + 1);
        errors_[i] = error;
        stop_ = true;
      }
      done_[i - delivered_] = std::move(result);
      ++finishedCount_;
      changed_.notify_all();
    }
  }

  const size_t count_;
  const size_t window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::optional<Result>> done_;  // a slot holds its result once done
  std::vector<std::exception_ptr> errors_;  // by job, only when one threw
  size_t next_ = 0;                         // the next job to start
  size_t delivered_ = 0;                    // jobs handed back so far
  size_t finishedCount_ = 0;
  bool stop_ = false;
  std::vector<std::thread> pool_;
};

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
  OrderedRun<Result> run(count, threads);
  run.Start(threads, job);
  run.Deliver(deliver, finished);
}

#endif  // CNV_CLI_ORDERED_RUNNER_H_
