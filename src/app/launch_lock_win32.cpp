#include <windows.h>

#include "app/launch_lock.h"

namespace quarvel::launcher {
namespace {

// Created once and kept open until the process ends.
HANDLE launchLock = nullptr;
// A semaphore has no owner: a release by a process that never took it, or
// already gave it back, would free the count another bootstrapper holds.
bool held = false;

}  // namespace

bool AcquireLaunchLock(std::string& error) {
  error.clear();
  if (launchLock == nullptr) {
    // Opens the semaphore when another process created it already.
    launchLock = CreateSemaphoreA(nullptr, 1, 1, kLaunchLockName);
    if (launchLock == nullptr) {
      error = kLaunchLockFailedText;
      return false;
    }
  }
  // Like the file lock, a second acquire by the holder itself is refused.
  if (!held && WaitForSingleObject(launchLock, 0) == WAIT_OBJECT_0) {
    held = true;
    return true;
  }
  error = kLaunchLockHeldText;
  return false;
}

void ReleaseLaunchLock() {
  // Only the count this process took goes back, and only once.
  if (launchLock == nullptr || !held) return;
  ReleaseSemaphore(launchLock, 1, nullptr);
  held = false;
}

}  // namespace quarvel::launcher
