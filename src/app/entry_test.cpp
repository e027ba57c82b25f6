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
    bool received;
    bool wait;
    int expected;
  };
  const Case cases[] = {
      {0, false, false, Completed},            // the loop ended before any result
      {QVL_Success, true, false, Completed},   // 301 is never returned as such
      {QVL_CdnUnreachable, true, false, 202},
      {QVL_CdnUnreachable, true, true, 202},   // a failed launch never waits
      {0, false, true, NoGameProcess},         // a wait without any game
      {QVL_Success, true, true, NoGameProcess},
      // An unclassified failure showed the error screen: never 0, never a wait.
      {QVL_Unclassified, true, false, UnclassifiedLaunchFailure},
      {QVL_Unclassified, true, true, UnclassifiedLaunchFailure},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideExitCode(c.result, c.received, c.wait, nullptr), c.expected)
        << c.result << " received " << c.received << " wait " << c.wait;
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
