#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "app/launch_lock.h"
#include "app/launch_lock_file_posix.h"
#include "common/logger.h"
#include "common/platform.h"

// An flock on a per-user lock file: the kernel drops it when the holder
// exits or crashes, so a dead bootstrapper never blocks the next launch (a
// named POSIX semaphore would stay taken).
namespace quarvel::launcher {
namespace {

int lockFile = -1;  // kept open until the process ends
bool held = false;

// A regular file of this user, or -1.
int OpenOwnLockFile(const std::string& path) {
  if (path.empty()) return -1;
  // Close-on-exec: the game must not inherit the lock. No symlinks, and no
  // waiting on a FIFO someone put there.
  const int file = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
  if (file < 0) return -1;
  struct stat status {};
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid()) {
    Log(LogLevel::Warning, "Refusing the launch lock file '%s': not a file of this user.", path.c_str());
    close(file);
    return -1;
  }
  return file;
}

}  // namespace

std::vector<std::string> LaunchLockFileCandidates() {
  std::vector<std::string> candidates;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    candidates.push_back(std::string(runtime) + "/" + kLaunchLockName + ".lock");
  } else {
    // /tmp is shared by every user: one name per user.
    candidates.push_back(std::string("/tmp/") + kLaunchLockName + "-" + std::to_string(getuid()) + ".lock");
  }
  if (std::string root; GetCacheRootDirectory(root)) candidates.push_back(root + kLaunchLockName + ".lock");
  return candidates;
}

int OpenLaunchLockFile(const std::vector<std::string>& candidates, std::string& chosen) {
  for (const std::string& path : candidates) {
    const int file = OpenOwnLockFile(path);
    if (file < 0) continue;
    chosen = path;
    return file;
  }
  chosen.clear();
  return -1;
}

bool AcquireLaunchLock(std::string& error) {
  error.clear();
  if (lockFile < 0) {
    std::string path;
    lockFile = OpenLaunchLockFile(LaunchLockFileCandidates(), path);
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
