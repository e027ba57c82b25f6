#include "app/exit_poll.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/testing/test_log_capture.h"
#include "launch/process/testing/test_process.h"

// Every branch of one poll, on both platforms (under Wine the launcher leaves
// before it polls), with a clock the test sets.
namespace quarvel::launcher {
namespace {

using test_support::CurrentProcessId;
using test_support::ExitingChild;
using test_support::LogCapture;

constexpr std::int64_t kStart = 5'000'000'000;
constexpr std::int64_t kSecond = 1'000'000'000;
constexpr std::int64_t kUnset = -1;

TEST(ExitPoll, DecidesEachBranchFromTheClockTheProcessAndTheWindow) {
  ExitingChild ended(3);
  ASSERT_NE(ended.Id(), 0u);
  ProcessHandle endedGame = ProcessHandle::Open(ended.Id());
  ASSERT_TRUE(endedGame.IsValid());
  ASSERT_TRUE(endedGame.WaitForExit(std::nullopt));
  const std::uint32_t self = CurrentProcessId();
  const ProcessHandle runningGame = ProcessHandle::Open(self);
  ASSERT_TRUE(runningGame.IsValid());
  const ProcessHandle noHandle;

  enum Window { kNoWindow, kWindow };
  struct Case {
    const char* what;
    std::int64_t elapsed;
    const ProcessHandle* process;
    std::uint32_t processId;
    Window window;
    ExitPollOutcome expected;
    std::string line;  // the line logged; empty: none
    bool windowAsked;
  };
  const std::string defer =
      "Exit defer time crossed, the bootstrapper will leave the visible state despite the game window not being "
      "visible.";
  const std::string seen = "The game window has become visible, the bootstrapper will leave the visible state.";
  const std::string fatal = "Fatal error, game process handle: ";
  const std::string invalid = "Game process handle or ID have become invalidated, leaving the visible state: ";
  const Case cases[] = {
      {"running, no window yet", 2 * kSecond, &runningGame, self, kNoWindow, ExitPollOutcome::KeepWatching, "",
       true},
      {"the window is up", 2 * kSecond, &runningGame, self, kWindow, ExitPollOutcome::WindowVisible, seen, true},
      {"exactly the defer time", kExitDeferTimeNs, &runningGame, self, kNoWindow, ExitPollOutcome::KeepWatching,
       "", true},
      {"defer time crossed", kExitDeferTimeNs + 1, &runningGame, self, kWindow, ExitPollOutcome::DeferCrossed,
       defer, false},
      {"defer time crossed without a handle", kExitDeferTimeNs + 1, &noHandle, 0, kNoWindow,
       ExitPollOutcome::DeferCrossed, defer, false},
      {"no handle", 0, &noHandle, self, kWindow, ExitPollOutcome::NoGameProcess, invalid, false},
      {"no handle at all", 0, nullptr, self, kWindow, ExitPollOutcome::NoGameProcess, invalid, false},
      {"no id", 0, &runningGame, 0, kWindow, ExitPollOutcome::NoGameProcess, invalid, false},
      {"the game has ended with 3", kSecond, &endedGame, ended.Id(), kWindow, ExitPollOutcome::GameEnded, fatal,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint32_t> asked;
    const ExitPollProbes probes{[&] { return kStart + c.elapsed; },
                                [&](std::uint32_t id) {
                                  asked.push_back(id);
                                  return c.window == kWindow;
                                }};
    std::int64_t seenAt = kUnset;
    LogCapture log;
    EXPECT_EQ(PollGameOnce({kStart, c.process, c.processId}, probes, seenAt), c.expected);
    const std::vector<LogCapture::Line> lines = log.Stop();

    const bool timed = c.expected == ExitPollOutcome::WindowVisible || c.expected == ExitPollOutcome::DeferCrossed;
    EXPECT_EQ(seenAt, timed ? kStart + c.elapsed : kUnset);
    EXPECT_EQ(asked, c.windowAsked ? std::vector<std::uint32_t>{c.processId} : std::vector<std::uint32_t>{});
    if (c.line.empty()) {
      EXPECT_TRUE(lines.empty()) << lines.front().text;
      continue;
    }
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text.rfind(c.line, 0), 0u) << lines[0].text;
    EXPECT_EQ(lines[0].level, c.expected == ExitPollOutcome::GameEnded ? 1u : 3u);
    // The line ends with the id, or with the code read from the ended process.
    const std::string end = c.expected == ExitPollOutcome::GameEnded ? ", exit code: 3."
                                                                     : ", " + std::to_string(c.processId) + ".";
    if (c.expected == ExitPollOutcome::GameEnded || c.expected == ExitPollOutcome::NoGameProcess) {
      ASSERT_GE(lines[0].text.size(), end.size());
      EXPECT_EQ(lines[0].text.substr(lines[0].text.size() - end.size()), end) << lines[0].text;
    }
  }
}

// The watch runs on every frame but asks the window system only every
// 100 ms: the first frame asks at once, later ones once the interval is up.
TEST(ExitPoll, AsksTheWindowSystemOncePerPollInterval) {
  constexpr std::int64_t kFrame = 16'000'000;
  std::vector<std::int64_t> asked;
  std::int64_t lastPoll = 0;
  for (std::int64_t now = kStart; now < kStart + kSecond; now += kFrame) {
    if (!WindowPollDue(lastPoll, now)) continue;
    lastPoll = now;
    asked.push_back(now - kStart);
  }
  // 16 ms frames: the first frame at or after each 100 ms step.
  const std::vector<std::int64_t> expected = {0,           112'000'000, 224'000'000, 336'000'000, 448'000'000,
                                              560'000'000, 672'000'000, 784'000'000, 896'000'000};
  EXPECT_EQ(asked, expected);
  EXPECT_TRUE(WindowPollDue(0, kStart));
  EXPECT_FALSE(WindowPollDue(kStart, kStart + kWindowPollIntervalNs - 1));
  EXPECT_TRUE(WindowPollDue(kStart, kStart + kWindowPollIntervalNs));
}

}  // namespace
}  // namespace quarvel::launcher
