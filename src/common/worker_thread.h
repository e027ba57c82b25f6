#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "common/manual_reset_event.h"

namespace quarvel {

// One thread of its own with a stop request. Derived classes provide `Run`,
// which loops until `StopRequested`.
class cWorkerThread {
 public:
  cWorkerThread() = default;
  virtual ~cWorkerThread();
  cWorkerThread(const cWorkerThread&) = delete;
  cWorkerThread& operator=(const cWorkerThread&) = delete;

  // Creates the thread; false when one already runs or creation failed.
  bool Start();
  // Requests the stop, then waits for the thread to end.
  virtual void Stop();
  // Requests the stop without waiting.
  virtual void RequestStop();
  bool IsRunning();

 protected:
  virtual void Run() = 0;
  bool StopRequested() const { return stopFlag_.load(); }

  cManualResetEvent stopEvent_;

 private:
  void Join();

  std::mutex threadLock_;
  std::thread thread_;
  std::atomic<bool> stopFlag_{false};
};

}  // namespace quarvel
