#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace quarvel {

// An event that stays signalled until it is reset, like a Win32 manual-reset
// event, built on the standard library so both platforms share it.
class cManualResetEvent {
 public:
  void Set();
  void Reset();
  // Waits until signalled or until `timeout` has passed (no limit when empty).
  // True when the event was signalled.
  bool Wait(std::optional<std::chrono::milliseconds> timeout);

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
};

}  // namespace quarvel
