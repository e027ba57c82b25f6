#include "app/anticheat_launcher.h"

#include "app/game_window.h"
#include "common/platform.h"

namespace quarvel::launcher {
namespace {

// The watch gives up once more than this has passed since polling began.
constexpr std::int64_t kExitDeferTimeNs = 60'000'000'000;

}  // namespace

void AntiCheatLauncher::BeginExitPolling() {
  if (!gameLauncher_) return;
  pollStart_ = MonotonicNowNs();
  gameProcessHandle_ = gameLauncher_->DuplicateGameProcessHandle();
  gameProcessId_ = gameLauncher_->GetGameProcessId();
  PostTask([this] { return PollForGameWindow(); });
}

bool AntiCheatLauncher::PollForGameWindow() {
  // Under Wine, and on a native build without a display, the game's
  // window cannot be watched: leave at the first poll.
  if (IsRunningUnderWine() || !CanWatchGameWindows()) {
    LeaveVisibleState();
    return false;
  }
  const std::int64_t now = MonotonicNowNs();
  if (now - pollStart_ > kExitDeferTimeNs) {
    Log(LogLevel::Info,
        "Exit defer time crossed, the bootstrapper will leave the visible state despite the game window not "
        "being visible.");
    windowVisibleTime_ = now;
    LeaveVisibleState();
    return false;
  }
  if (!gameProcessHandle_.IsValid() || gameProcessId_ == 0) {
    Log(LogLevel::Info, "Game process handle or ID have become invalidated, leaving the visible state: %p, %i.",
        gameProcessHandle_.NativeForLog(), static_cast<int>(gameProcessId_));
    LeaveVisibleState();
    return false;
  }
  if (gameProcessHandle_.WaitForExit(std::chrono::milliseconds(0))) {
    // Ended before it showed a window (the code reads as 0 when unreadable).
    std::uint32_t exitCode = 0;
    gameProcessHandle_.GetExitCode(exitCode);
    Log(LogLevel::Error, "Fatal error, game process handle: %p, exit code: %u.",
        gameProcessHandle_.NativeForLog(), exitCode);
    LeaveVisibleState();
    return false;
  }
  if (!HasVisibleTopLevelWindow(gameProcessId_)) return true;

  Log(LogLevel::Info, "The game window has become visible, the bootstrapper will leave the visible state.");
  windowVisibleTime_ = MonotonicNowNs();
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
