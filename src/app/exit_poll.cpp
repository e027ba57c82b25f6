#include "app/exit_poll.h"

#include <chrono>

#include "common/logger.h"

namespace quarvel::launcher {

bool WindowPollDue(std::int64_t lastPoll, std::int64_t now) {
  return lastPoll == 0 || now - lastPoll >= kWindowPollIntervalNs;
}

std::int64_t NextWindowPollAt(std::int64_t lastPoll) {
  return lastPoll == 0 ? 0 : lastPoll + kWindowPollIntervalNs;
}

ExitPollOutcome PollGameOnce(const GameWatch& watch, const ExitPollProbes& probes, std::int64_t& seenAt) {
  const std::int64_t now = probes.now();
  if (now - watch.pollStart > kExitDeferTimeNs) {
    Log(LogLevel::Info,
        "Exit defer time crossed, the bootstrapper will leave the visible state despite the game window not "
        "being visible.");
    seenAt = now;
    return ExitPollOutcome::DeferCrossed;
  }
  const ProcessHandle* process = watch.process;
  if (process == nullptr || !process->IsValid() || watch.processId == 0) {
    Log(LogLevel::Info, "Game process handle or ID have become invalidated, leaving the visible state: %p, %i.",
        process != nullptr ? process->NativeForLog() : nullptr, static_cast<int>(watch.processId));
    return ExitPollOutcome::NoGameProcess;
  }
  if (process->WaitForExit(std::chrono::milliseconds(0))) {
    // Ended before it showed a window (the code reads as 0 when unreadable).
    std::uint32_t exitCode = 0;
    process->GetExitCode(exitCode);
    Log(LogLevel::Error, "Fatal error, game process handle: %p, exit code: %u.", process->NativeForLog(), exitCode);
    return ExitPollOutcome::GameEnded;
  }
  if (!probes.hasWindow(watch.processId)) return ExitPollOutcome::KeepWatching;

  Log(LogLevel::Info, "The game window has become visible, the bootstrapper will leave the visible state.");
  seenAt = probes.now();
  return ExitPollOutcome::WindowVisible;
}

}  // namespace quarvel::launcher
