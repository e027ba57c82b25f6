// Test helper: takes the launch lock in a process of its own.
//   launch_lock_probe try         exit 0 when taken, 1 when refused (text on stdout)
//   launch_lock_probe hold <ms>   take it, print "held", keep it for <ms> ms
// Like the bootstrapper, it gives the lock back before it exits: a Windows
// semaphore is not owned by a process and stays taken when its taker ends.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "app/launch_lock.h"

int main(int argc, char** argv) {
  std::string error;
  const bool taken = quarvel::launcher::AcquireLaunchLock(error);
  if (!taken) {
    std::printf("%s\n", error.c_str());
    return 1;
  }
  if (argc >= 3 && std::strcmp(argv[1], "hold") == 0) {
    std::printf("held\n");
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
  }
  quarvel::launcher::ReleaseLaunchLock();
  return 0;
}
