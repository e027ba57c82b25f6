#include "app/launch_lock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/launch_lock_file_posix.h"
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

// The probe's command line for popen. Windows runs it through cmd /c, which
// drops the first and the last quote of a line that holds more than two: one
// more pair around the whole line keeps the quoted paths inside intact.
std::string ProbeCommand(const std::string& arguments) {
  const std::string command = "\"" + ProbePath() + "\" " + arguments;
#ifdef _WIN32
  return "\"" + command + "\"";
#else
  return command;
#endif
}

// Runs the probe in a process of its own and waits for it.
ProbeResult RunProbe(const std::string& arguments) {
  ProbeResult result;
  FILE* pipe = popen(ProbeCommand(arguments).c_str(), "r");
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

// A probe that holds the lock until the test lets it go.
class HoldingProbe {
 public:
  explicit HoldingProbe(const std::string& releaseFile) : releaseFile_(releaseFile) {
    pipe_ = popen(ProbeCommand("hold 60000 \"" + releaseFile + "\"").c_str(), "r");
    char line[64] = {};
    if (pipe_ != nullptr && std::fgets(line, sizeof(line), pipe_) != nullptr) holding_ = std::string(line) == "held\n";
  }
  ~HoldingProbe() {
    if (pipe_ == nullptr) return;
    if (FILE* release = std::fopen(releaseFile_.c_str(), "wb")) std::fclose(release);
    pclose(pipe_);
  }
  bool Holding() const { return holding_; }

 private:
  std::string releaseFile_;
  FILE* pipe_ = nullptr;
  bool holding_ = false;
};

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

// A process gives back only what it took and has not given back yet: neither
// a refused bootstrapper nor one that released after its launch may free the
// lock of another.
TEST(LaunchLock, AReleaseNeverFreesTheLockOfAnotherProcess) {
  std::string error;
  ASSERT_TRUE(AcquireLaunchLock(error)) << error;
  // The probe releases as it leaves, refused or not, like the bootstrapper.
  EXPECT_EQ(RunProbe("try").exitCode, 1);
  EXPECT_EQ(RunProbe("try").exitCode, 1) << "a refused process freed the holder's lock";
  ReleaseLaunchLock();

  const test_support::ScratchDirectory scratch;
  {
    const HoldingProbe newer((scratch.path() / "release").string());
    ASSERT_TRUE(newer.Holding());
    ReleaseLaunchLock();
    ReleaseLaunchLock();
    EXPECT_EQ(RunProbe("try").exitCode, 1) << "a later release freed the newer holder's lock";
  }
  EXPECT_EQ(RunProbe("try").exitCode, 0);
}

#ifndef _WIN32
TEST(LaunchLockFile, OnlyARegularFileOfThisUserIsTaken) {
  const test_support::ScratchDirectory scratch;
  const std::string own = (scratch.path() / "own.lock").string();
  const std::string fifo = (scratch.path() / "fifo.lock").string();
  const std::string link = (scratch.path() / "link.lock").string();
  const std::string foreign = (scratch.path() / "foreign.lock").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ASSERT_EQ(symlink(own.c_str(), link.c_str()), 0);
  scratch.Write("foreign.lock", "");
  const bool canChown = chown(foreign.c_str(), 65534, 65534) == 0;

  struct Case {
    const char* name;
    std::vector<std::string> candidates;
    std::string chosen;
  };
  std::vector<Case> cases = {
      {"missing file is created", {own}, own},
      {"a FIFO is passed over without waiting", {fifo, own}, own},
      {"a symlink is not followed", {link, own}, own},
      {"nothing usable", {fifo, link}, ""},
  };
  if (canChown) cases.push_back({"another user's file falls back", {foreign, own}, own});
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    std::string chosen = "stale";
    const int file = OpenLaunchLockFile(row.candidates, chosen);
    EXPECT_EQ(chosen, row.chosen);
    EXPECT_EQ(file >= 0, !row.chosen.empty());
    if (file >= 0) close(file);
  }
  if (!canChown) GTEST_SKIP() << "no other user's file can be made without root";
}

TEST(LaunchLockFile, WithoutARuntimeDirectoryTmpComesFirstThenTheDataFolder) {
  const test_support::ScratchDirectory scratch;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string savedRuntime = runtime != nullptr ? runtime : "";
  const char* data = std::getenv("XDG_DATA_HOME");
  const std::string savedData = data != nullptr ? data : "";
  unsetenv("XDG_RUNTIME_DIR");
  setenv("XDG_DATA_HOME", scratch.path().c_str(), 1);

  const std::vector<std::string> candidates = LaunchLockFileCandidates();
  const std::vector<std::string> expected = {
      "/tmp/QuarvelLauncherSemaphore-" + std::to_string(getuid()) + ".lock",
      (scratch.path() / "Quarvel" / "QuarvelLauncherSemaphore.lock").string()};
  EXPECT_EQ(candidates, expected);

  if (runtime != nullptr) setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  if (data != nullptr) {
    setenv("XDG_DATA_HOME", savedData.c_str(), 1);
  } else {
    unsetenv("XDG_DATA_HOME");
  }
}

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
