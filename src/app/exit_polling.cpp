#include "app/anticheat_launcher.h"

#include "app/exit_poll.h"
#include "app/game_window.h"
#include "common/platform.h"

namespace quarvel::launcher {

void AntiCheatLauncher::BeginExitPolling() {
  if (!gameLauncher_) return;
  pollStart_ = MonotonicNowNs();
  gameProcessHandle_ = gameLauncher_->DuplicateGameProcessHandle();
  gameProcessId_ = gameLauncher_->GetGameProcessId();
  windowPollQueued_ = true;
  PostTask([this] {
    windowPollQueued_ = PollForGameWindow();
    return windowPollQueued_;
  });
}

bool AntiCheatLauncher::PollForGameWindow() {
  // Under Wine, and on a native build without a display, the game's
  // window cannot be watched: leave at the first poll.
  if (IsRunningUnderWine() || !CanWatchGameWindows()) {
    LeaveVisibleState();
    return false;
  }
  const std::int64_t now = MonotonicNowNs();
  if (!WindowPollDue(lastWindowPoll_, now)) return true;
  lastWindowPoll_ = now;
  const GameWatch watch{pollStart_, &gameProcessHandle_, gameProcessId_};
  const ExitPollProbes probes{&MonotonicNowNs, [](std::uint32_t id) { return HasVisibleTopLevelWindow(id); }};
  if (PollGameOnce(watch, probes, windowVisibleTime_) == ExitPollOutcome::KeepWatching) return true;
  LeaveVisibleState();
  return false;
}

void AntiCheatLauncher::LeaveVisibleState() {
  RequestExit();
  HideBootstrapperWindow();
}

void AntiCheatLauncher::OnExitButton() {
  RequestExit();
  Log(LogLevel::Info, "Exit button pressed by the user, setting exit flag.");
}

void AntiCheatLauncher::OnCloseButton() {
  RequestExit();
  Log(LogLevel::Info, "Close button pressed by the user, setting exit flag.");
}

}  // namespace quarvel::launcher
