#include "launch/process/process_handle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

#include "launch/process/testing/test_process.h"

namespace quarvel::launcher {
namespace {

using namespace std::chrono_literals;

TEST(ProcessHandle, AnEmptyHandleRefersToNothing) {
  ProcessHandle empty;
  std::uint32_t code = 99;
  EXPECT_FALSE(empty.IsValid());
  EXPECT_FALSE(empty.WaitForExit(0ms));
  EXPECT_FALSE(empty.GetExitCode(code));
  EXPECT_EQ(code, 99u);
  EXPECT_FALSE(empty.Duplicate().IsValid());
  EXPECT_FALSE(ProcessHandle::Open(0).IsValid());
}

TEST(ProcessHandle, AnEndedChildGivesItsExitCodeToEveryDuplicate) {
  test_support::ExitingChild child(7);
  ASSERT_NE(child.Id(), 0u);
  ProcessHandle handle = ProcessHandle::Open(child.Id());
  ASSERT_TRUE(handle.IsValid());
  ASSERT_TRUE(handle.WaitForExit(30s));

  ProcessHandle duplicate = handle.Duplicate();
  handle.Close();
  EXPECT_FALSE(handle.IsValid());
  ASSERT_TRUE(duplicate.IsValid());
  std::uint32_t code = 0;
  ASSERT_TRUE(duplicate.GetExitCode(code));
  EXPECT_EQ(code, 7u);

  // A moved handle keeps the process; the source is left empty.
  ProcessHandle moved = std::move(duplicate);
  EXPECT_FALSE(duplicate.IsValid());
  EXPECT_TRUE(moved.WaitForExit(0ms));
}

TEST(ProcessHandle, ARunningProcessHasNoExitCodeYet) {
  ProcessHandle self = ProcessHandle::Open(test_support::CurrentProcessId());
  ASSERT_TRUE(self.IsValid());
  EXPECT_FALSE(self.WaitForExit(50ms));
  std::uint32_t code = 0;
  EXPECT_FALSE(self.GetExitCode(code));
}

}  // namespace
}  // namespace quarvel::launcher
