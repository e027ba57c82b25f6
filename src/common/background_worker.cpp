#include "common/background_worker.h"

#include <chrono>

namespace quarvel {

std::int64_t MonotonicNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

cBackgroundWorker::~cBackgroundWorker() {
  Stop();
  std::lock_guard lock(queueLock_);
  queue_.clear();
}

void cBackgroundWorker::Post(const Job& job, bool runOnce, std::uint32_t delayMs,
                             std::uint32_t intervalMs) {
  if (!job.function) return;
  QueuedJob queued{job, runOnce, intervalMs,
                   MonotonicNowNs() + static_cast<std::int64_t>(delayMs) * 1'000'000};
  {
    std::lock_guard lock(queueLock_);
    queue_.insert(std::move(queued));
  }
  workEvent_.Set();
}

void cBackgroundWorker::Stop() {
  RequestStop();
  cWorkerThread::Stop();
}

void cBackgroundWorker::RequestStop() {
  cWorkerThread::RequestStop();
  workEvent_.Set();
}

void cBackgroundWorker::Run() {
  while (!StopRequested()) {
    workEvent_.Wait(TimeUntilEarliestDue());
    workEvent_.Reset();

    QueuedJob taken;
    if (!TakeDueJob(taken)) continue;
    if (StopRequested()) return;  // the taken job is dropped unrun

    void* context = taken.job.sharedContext ? taken.job.sharedContext.get() : taken.job.rawContext;
    const bool again = taken.job.function(context);
    if (again && !taken.runOnce) {
      taken.job.priority = 1;
      Post(taken.job, false, taken.intervalMs, taken.intervalMs);
    }
  }
}

std::optional<std::chrono::milliseconds> cBackgroundWorker::TimeUntilEarliestDue() {
  std::lock_guard lock(queueLock_);
  if (queue_.empty()) return std::nullopt;
  std::int64_t earliest = queue_.begin()->dueTimeNs;
  for (const QueuedJob& queued : queue_) earliest = std::min(earliest, queued.dueTimeNs);
  const std::int64_t waitMs = (earliest - MonotonicNowNs()) / 1'000'000;
  return std::chrono::milliseconds(waitMs < 1 ? 0 : waitMs);
}

bool cBackgroundWorker::TakeDueJob(QueuedJob& out) {
  std::lock_guard lock(queueLock_);
  const std::int64_t now = MonotonicNowNs();
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    if (it->dueTimeNs > now) continue;
    out = std::move(queue_.extract(it).value());
    return true;
  }
  return false;
}

}  // namespace quarvel
