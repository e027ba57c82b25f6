#include "app/anticheat_launcher.h"

#include "app/exit_poll.h"
#include "app/frame_pacing.h"
#include "app/main_loop.h"
#include "app/switches.h"
#include "common/platform.h"

namespace quarvel::launcher {

void AntiCheatLauncher::PostTask(Task task) {
  {
    std::lock_guard lock(tasksLock_);
    tasks_.push_back(std::move(task));
  }
  WakeMainLoop();
}

bool AntiCheatLauncher::HasTasks() {
  std::lock_guard lock(tasksLock_);
  return !tasks_.empty();
}

void AntiCheatLauncher::RunNextTask() {
  Task task;
  {
    std::lock_guard lock(tasksLock_);
    if (tasks_.empty()) return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  // Run without the lock, so the task may post further tasks. One that asks
  // to run again goes to the back and lets every other queued task go first.
  if (!task()) return;
  std::lock_guard lock(tasksLock_);
  tasks_.push_back(std::move(task));
}

void AntiCheatLauncher::RunFrame(std::int64_t elapsedNs) {
  frameTimeLeft_ -= elapsedNs;
  if (frameTimeLeft_ > 0) return;
  const FrameStep step = StepFrames(-frameTimeLeft_, frameInterval_, quietNs_);
  frameTimeLeft_ = step.untilNextNs;
  if (HasTasks()) RunNextTask();
  if (settings_.hide_bootstrapper || headlessMode) return;
  UpdateActiveElements(step.frames * frameInterval_);
  RenderFrameIfChanged();
  quietNs_ = TimeUntilScreenChange();
}

std::int64_t AntiCheatLauncher::NextFrameWaitNs(bool eventsWake) {
  FrameSchedule schedule;
  schedule.untilFrameNs = frameTimeLeft_;
  schedule.frameIntervalNs = frameInterval_;
  if (!eventsWake) return FrameWaitNs(schedule);
  {
    std::lock_guard lock(tasksLock_);
    schedule.busy = tasks_.size() > (windowPollQueued_ ? 1u : 0u);
  }
  const bool drawn = !settings_.hide_bootstrapper && !headlessMode;
  schedule.busy = schedule.busy || (drawn && redrawRequested_);
  schedule.untilChangeNs = drawn ? TimeUntilScreenChange() : ui::kNoChangeDue;
  schedule.untilPollNs = windowPollQueued_ ? NextWindowPollAt(lastWindowPoll_) - MonotonicNowNs() : ui::kNoChangeDue;
  return FrameWaitNs(schedule);
}

void AntiCheatLauncher::SetState(LauncherState state) {
  if (headlessMode) return;
  if (state < state_.load()) {
    Log(LogLevel::Error, "Tried to backtrack from state %u to %u!", static_cast<unsigned>(state_.load()),
        static_cast<unsigned>(state));
    return;
  }
  SwitchScreen(state);

  switch (state) {
    case LauncherState::Loading:
    case LauncherState::Initializing:
      break;
    case LauncherState::Downloading:
    case LauncherState::WaitingForGame:
      if (settings_.hide_bootstrapper) {
        Log(LogLevel::Verbose, "Will keep the bootstrapper window hidden.");
      } else {
        ShowBootstrapperWindow();
      }
      break;
    case LauncherState::Error:
      if (settings_.hide_bootstrapper) {
        Log(LogLevel::Info,
            "Making the bootstrapper window visible to display information about an occurred error.");
      }
      ShowBootstrapperWindow();
      break;
    default:
      Log(LogLevel::Error, "Called with unsupported state: %u!", static_cast<unsigned>(state));
      break;
  }
  state_ = state;
}

}  // namespace quarvel::launcher
