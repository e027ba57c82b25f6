#include <windows.h>

#include "app/launch_lock.h"

namespace quarvel::launcher {
namespace {

// Created once and kept open until the process ends.
HANDLE launchLock = nullptr;

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
  if (WaitForSingleObject(launchLock, 0) == WAIT_OBJECT_0) return true;
  error = kLaunchLockHeldText;
  return false;
}

void ReleaseLaunchLock() {
  // At a count of 1 already the release fails and changes nothing.
  if (launchLock != nullptr) ReleaseSemaphore(launchLock, 1, nullptr);
}

}  // namespace quarvel::launcher
