#include "app/entry.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "app/exit_codes.h"
#include "app/switches.h"
#include "common/platform.h"
#include "quarvel/module_interface.h"

namespace quarvel::launcher {
namespace {

TEST(DecideExitCode, FollowsTheResultAndTheWaitRequest) {
  struct Case {
    std::int32_t result;
    bool wait;
    int expected;
  };
  const Case cases[] = {
      {0, false, Completed},             // the loop ended before any result
      {QVL_Success, false, Completed},   // 301 is never returned as such
      {QVL_CdnUnreachable, false, 202},
      {QVL_CdnUnreachable, true, 202},   // a failed launch never waits
      {0, true, NoGameProcess},          // a wait without any game
      {QVL_Success, true, NoGameProcess},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideExitCode(c.result, c.wait, nullptr), c.expected) << c.result << " wait " << c.wait;
  }
}

TEST(RunBootstrapper, AnExceptionFromTheLaunchersWorkEndsWithInternalError) {
  SetEnvironmentVariableUtf8(kHeadlessVariable, "1");
  SetEnvironmentVariableUtf8(kImmediateExitVariable, "1");
  EntryHooks hooks;
  hooks.beforeMainLoop = [](AntiCheatLauncher&) { throw std::runtime_error("lost"); };
  char program[] = "quarvel-bootstrapper";
  char* argv[] = {program, nullptr};
  EXPECT_EQ(RunBootstrapper(1, argv, hooks), InternalError);
  SetEnvironmentVariableUtf8(kHeadlessVariable, "");
  SetEnvironmentVariableUtf8(kImmediateExitVariable, "");
  ReadEnvironmentSwitches();
}

}  // namespace
}  // namespace quarvel::launcher
