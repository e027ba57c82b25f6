#include "common/manual_reset_event.h"

namespace quarvel {

void cManualResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  signalled_.notify_all();
}

void cManualResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool cManualResetEvent::Wait(std::optional<std::chrono::milliseconds> timeout) {
  std::unique_lock lock(mutex_);
  if (!timeout) {
    signalled_.wait(lock, [this] { return set_; });
    return true;
  }
  return signalled_.wait_for(lock, *timeout, [this] { return set_; });
}

}  // namespace quarvel
