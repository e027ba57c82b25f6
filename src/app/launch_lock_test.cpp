#include "app/launch_lock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/platform.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace quarvel::launcher {
namespace {

struct ProbeResult {
  int exitCode = -1;
  std::string output;
};

std::string ProbePath() {
  std::string directory;
  GetExecutableDirectory(directory);
#ifdef _WIN32
  return directory + "launch_lock_probe.exe";
#else
  return directory + "launch_lock_probe";
#endif
}

// Runs the probe in a process of its own and waits for it.
ProbeResult RunProbe(const std::string& arguments) {
  ProbeResult result;
  const std::string command = "\"" + ProbePath() + "\" " + arguments;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[256];
  while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) result.output += buffer;
  const int status = pclose(pipe);
#ifdef _WIN32
  result.exitCode = status;
#else
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return result;
}

TEST(LaunchLock, ASecondProcessIsRefusedUntilTheHolderReleases) {
  std::string error = "stale";
  ASSERT_TRUE(AcquireLaunchLock(error)) << error;
  EXPECT_EQ(error, "");

  const ProbeResult refused = RunProbe("try");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.output, std::string(kLaunchLockHeldText) + "\n");

  // The holder itself cannot take it twice.
  EXPECT_FALSE(AcquireLaunchLock(error));
  EXPECT_EQ(error, kLaunchLockHeldText);

  ReleaseLaunchLock();
  ReleaseLaunchLock();  // a second release changes nothing
  EXPECT_EQ(RunProbe("try").exitCode, 0);
  EXPECT_TRUE(AcquireLaunchLock(error));
  ReleaseLaunchLock();
}

#ifndef _WIN32
TEST(LaunchLock, AKilledHolderNoLongerBlocks) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const std::string probe = ProbePath();
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    dup2(ready[1], STDOUT_FILENO);
    execl(probe.c_str(), probe.c_str(), "hold", "60000", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ready[1]);
  char said[8] = {};
  ASSERT_GT(read(ready[0], said, sizeof(said) - 1), 0);
  close(ready[0]);
  ASSERT_EQ(std::string(said), "held\n");

  std::string error;
  EXPECT_FALSE(AcquireLaunchLock(error));
  EXPECT_EQ(error, kLaunchLockHeldText);

  kill(holder, SIGKILL);
  int status = 0;
  waitpid(holder, &status, 0);
  EXPECT_TRUE(AcquireLaunchLock(error)) << error;
  ReleaseLaunchLock();
}
#endif

}  // namespace
}  // namespace quarvel::launcher
