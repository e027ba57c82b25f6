#pragma once

#include <cstdint>

namespace quarvel::launcher {

class AntiCheatLauncher;

// The bootstrapper's main loop, one pass at a time: the window events that
// came, the frame when it is due, then the wait until the next frame is
// needed. While the window shows something moving the loop wakes every
// frame; while nothing moves it sleeps until the next event, posted task,
// timed change on screen or look at the game's window.
class cMainLoop {
 public:
  // `windowEvents`: SDL's video is running, so its events can be waited for.
  // Without `sleepWhileStill` the loop wakes every frame, as it once did.
  cMainLoop(AntiCheatLauncher& launcher, bool windowEvents, bool sleepWhileStill = true);

  void RunPass();

 private:
  void HandlePendingEvents();
  void Wait();

  AntiCheatLauncher& launcher_;
  bool windowEvents_;
  bool sleepWhileStill_;
  std::int64_t lastPass_;
};

// Ends a wait of the main loop for window events early, from any thread;
// does nothing while SDL's video is not running.
void WakeMainLoop();

}  // namespace quarvel::launcher
