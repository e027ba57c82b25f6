#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "launch/process/game_process.h"

namespace quarvel::launcher {
namespace {

std::uint32_t ExitCodeOf(const std::string& script) {
  GameStartResult start = StartGameProcess("/bin/sh", {"-c", script}, "");
  EXPECT_EQ(start.status, GameStartStatus::Started) << start.systemError;
  EXPECT_TRUE(start.process.handle.WaitForExit(std::chrono::seconds(30)));
  std::uint32_t code = 0xFFFFFFFF;
  EXPECT_TRUE(start.process.handle.GetExitCode(code));
  return code;
}

// As on Windows, where the game inherits no handle: a descriptor of ours that
// is not close-on-exec stays with us.
TEST(StartGameProcessPosix, GameInheritsNoDescriptorBeyondTheStandardOnes) {
  const int descriptor = open("/dev/null", O_RDONLY);
  ASSERT_GE(descriptor, 3);
  const std::string script = "test -e /proc/self/fd/" + std::to_string(descriptor) + " && exit 1; exit 0";
  EXPECT_EQ(ExitCodeOf(script), 0u);
  close(descriptor);
}

// Whatever the starting thread ignores or blocks, the game starts with the
// default signal handling.
TEST(StartGameProcessPosix, GameStartsWithDefaultSignalHandling) {
  struct sigaction ignore {};
  struct sigaction previous {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  sigset_t blocked;
  sigset_t previousMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);

  EXPECT_EQ(ExitCodeOf("kill -PIPE $$; exit 0"), 128u + SIGPIPE);
  EXPECT_EQ(ExitCodeOf("kill -TERM $$; exit 0"), 128u + SIGTERM);

  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  sigaction(SIGPIPE, &previous, nullptr);
}

}  // namespace
}  // namespace quarvel::launcher
