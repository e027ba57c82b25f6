#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/launch_lock.h"

// An flock on a per-user lock file: the kernel drops it when the holder
// exits or crashes, so a dead bootstrapper never blocks the next launch (a
// named POSIX semaphore would stay taken).
namespace quarvel::launcher {
namespace {

int lockFile = -1;  // kept open until the process ends
bool held = false;

std::string LockFilePath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    return std::string(runtime) + "/" + kLaunchLockName + ".lock";
  }
  // /tmp is shared by every user: one file per user.
  return std::string("/tmp/") + kLaunchLockName + "-" + std::to_string(getuid()) + ".lock";
}

}  // namespace

bool AcquireLaunchLock(std::string& error) {
  error.clear();
  if (lockFile < 0) {
    // Close-on-exec: the game must not inherit the lock. No symlinks: another
    // user must not be able to point our lock at a file of theirs.
    lockFile = open(LockFilePath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFile < 0) {
      error = kLaunchLockFailedText;
      return false;
    }
  }
  // Like the semaphore, a second acquire by the holder itself is refused.
  if (!held) {
    int result;
    do {
      result = flock(lockFile, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    held = result == 0;
    if (held) return true;
  }
  error = kLaunchLockHeldText;
  return false;
}

void ReleaseLaunchLock() {
  if (lockFile < 0 || !held) return;
  flock(lockFile, LOCK_UN);
  held = false;
}

}  // namespace quarvel::launcher
