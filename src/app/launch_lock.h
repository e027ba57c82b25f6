#pragma once

#include <string>

// Only one bootstrapper may be launching at a time on this machine for this
// user. The lock is taken at start-up and released once the launch has
// finished, so a second bootstrapper may start while the first is still
// visible.
namespace quarvel::launcher {

inline constexpr const char* kLaunchLockName = "QuarvelLauncherSemaphore";
inline constexpr const char* kLaunchLockFailedText =
    "Failed at essential procedures, please run the system repair.";
inline constexpr const char* kLaunchLockHeldText =
    "Only a single instance of Quarvel launcher is allowed to run at any given time.";

// True when this process now holds the lock; otherwise `error` holds the text
// to show the user.
bool AcquireLaunchLock(std::string& error);

// Gives the lock back; releasing a lock that is not held changes nothing.
void ReleaseLaunchLock();

}  // namespace quarvel::launcher
