// Lets at most N conversions use the processor at once while others wait for
// the disk: a conversion holds a seat of the gate while it computes and gives
// it up while the file layer makes its output durable, so that a pool of
// more threads than seats keeps every seat busy.
#ifndef CNV_CLI_COMPUTE_GATE_H_
#define CNV_CLI_COMPUTE_GATE_H_

#include <condition_variable>
#include <mutex>

#include "engine/textfile.h"

class ComputeGate {
 public:
  explicit ComputeGate(unsigned seats) : free_(seats) {}
  ComputeGate(const ComputeGate&) = delete;
  ComputeGate& operator=(const ComputeGate&) = delete;

  void Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    freed_.wait(lock, [this] { return free_ > 0; });
    --free_;
  }
  void Give() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++free_;
    }
    freed_.notify_one();
  }

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  unsigned free_;
};

// Holds a seat for the calling thread while it lives, and gives it up around
// the thread's waits for the disk.
class ComputeSeat final : private DiskWaitListener {
 public:
  explicit ComputeSeat(ComputeGate& gate) : gate_(gate), scope_(*this) { gate_.Take(); }
  ~ComputeSeat() { gate_.Give(); }
  ComputeSeat(const ComputeSeat&) = delete;
  ComputeSeat& operator=(const ComputeSeat&) = delete;

 private:
  void DiskWaitBegins() override { gate_.Give(); }
  void DiskWaitEnds() override { gate_.Take(); }

  ComputeGate& gate_;
  const DiskWaitScope scope_;
};

#endif  // CNV_CLI_COMPUTE_GATE_H_
