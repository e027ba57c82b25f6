#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include "common/manual_reset_event.h"
#include "common/worker_thread.h"

namespace quarvel {

// Runs queued jobs on its own thread, highest priority first and, among equal
// priorities, in posting order. A job may be delayed and may repeat at an
// interval for as long as its function returns true. Stopping does not drain
// the queue: jobs still queued then are discarded without running.
class cBackgroundWorker : public cWorkerThread {
 public:
  struct Job {
    // The work; returns whether a repeating job should run again.
    std::function<bool(void*)> function;
    // Kept alive while the job is queued or running; passed to the function
    // when set, otherwise `rawContext` is.
    std::shared_ptr<void> sharedContext;
    void* rawContext = nullptr;
    std::uint32_t priority = 1;
  };

  cBackgroundWorker() = default;
  ~cBackgroundWorker() override;

  // Queues a copy of `job`; an empty function is never queued. Any thread may
  // post, a running job of this worker included.
  void Post(const Job& job, bool runOnce, std::uint32_t delayMs, std::uint32_t intervalMs);

  void Stop() override;
  void RequestStop() override;

 protected:
  void Run() override;

 private:
  struct QueuedJob {
    Job job;
    bool runOnce = true;
    std::uint32_t intervalMs = 0;
    std::int64_t dueTimeNs = 0;
  };
  struct HigherPriorityFirst {
    bool operator()(const QueuedJob& a, const QueuedJob& b) const {
      return a.job.priority > b.job.priority;
    }
  };

  // Removes the first due job in queue order; false when none is due.
  bool TakeDueJob(QueuedJob& out);
  std::optional<std::chrono::milliseconds> TimeUntilEarliestDue();

  // std::multiset inserts after every element of equal priority, which keeps
  // posting order among equals.
  std::multiset<QueuedJob, HigherPriorityFirst> queue_;
  std::mutex queueLock_;
  cManualResetEvent workEvent_;
};

// Nanoseconds of the monotonic clock.
std::int64_t MonotonicNowNs();

}  // namespace quarvel
