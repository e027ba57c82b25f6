#include "app/main_loop.h"

#include <SDL.h>

#include "app/anticheat_launcher.h"
#include "app/frame_pacing.h"
#include "app/frame_sleep.h"
#include "common/platform.h"

namespace quarvel::launcher {

cMainLoop::cMainLoop(AntiCheatLauncher& launcher, bool windowEvents, bool sleepWhileStill)
    : launcher_(launcher), windowEvents_(windowEvents), sleepWhileStill_(sleepWhileStill), lastPass_(MonotonicNowNs()) {}

void cMainLoop::RunPass() {
  HandlePendingEvents();
  const std::int64_t now = MonotonicNowNs();
  launcher_.RunFrame(now - lastPass_);
  lastPass_ = now;
  if (launcher_.ExitRequested()) return;
  Wait();
}

void cMainLoop::HandlePendingEvents() {
  SDL_Event event;
  while (windowEvents_ && SDL_PollEvent(&event) != 0) launcher_.HandleEvent(event);
}

void cMainLoop::Wait() {
  const std::int64_t wait = launcher_.NextFrameWaitNs(windowEvents_ && sleepWhileStill_);
  if (!windowEvents_ || wait < kShortestEventWaitNs) {
    SleepOutFrame(wait);
    return;
  }
  // Rounded up: a wake-up before the change is due would only come back.
  const auto milliseconds = static_cast<int>((wait + 999'999) / 1'000'000);
  SDL_Event event;
  if (SDL_WaitEventTimeout(&event, milliseconds) != 0) launcher_.HandleEvent(event);
}

void WakeMainLoop() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  SDL_Event event{};
  event.type = SDL_USEREVENT;
  SDL_PushEvent(&event);
}

}  // namespace quarvel::launcher
