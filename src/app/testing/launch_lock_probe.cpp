// Test helper: takes the launch lock in a process of its own.
//   launch_lock_probe try                      exit 0 when taken, 1 when refused (text on stdout)
//   launch_lock_probe hold <ms> [<release>]    take it, print "held", keep it for <ms> ms or until
//                                              the file <release> exists
// Like the bootstrapper, it gives the lock back on every way out, a refused
// attempt included: a Windows semaphore is not owned by a process and stays
// taken when its taker ends, and a release must never free a lock that this
// process did not take.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "app/launch_lock.h"

namespace {

bool FileExists(const char* path) {
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

void Hold(int milliseconds, const char* releaseFile) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (releaseFile != nullptr && FileExists(releaseFile)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const bool taken = quarvel::launcher::AcquireLaunchLock(error);
  if (!taken) {
    std::printf("%s\n", error.c_str());
    quarvel::launcher::ReleaseLaunchLock();
    return 1;
  }
  if (argc >= 3 && std::strcmp(argv[1], "hold") == 0) {
    std::printf("held\n");
    std::fflush(stdout);
    Hold(std::atoi(argv[2]), argc >= 4 ? argv[3] : nullptr);
  }
  quarvel::launcher::ReleaseLaunchLock();
  return 0;
}
