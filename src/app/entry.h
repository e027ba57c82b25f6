#pragma once

#include <cstdint>
#include <functional>

namespace quarvel::launcher {

class AntiCheatLauncher;
class cGameLauncher;

// Lets a test reach into a run at the point where the launcher's work
// happens; the product passes none.
struct EntryHooks {
  // Called inside the exception guard just before the main loop.
  std::function<void(AntiCheatLauncher&)> beforeMainLoop;
};

// The whole life of the bootstrapper process; returns its exit code.
int RunBootstrapper(int argc, char** argv, const EntryHooks& hooks = {});

// The exit code once the main loop has ended: the launch result (301 counts
// as 0, a received 0 is 60102), or with no result 0, or the game's own exit
// code when the settings ask to wait for it (waiting here until the game
// ends).
int DecideExitCode(std::int32_t launchResult, bool resultReceived, bool waitForGame, cGameLauncher* gameLauncher);

}  // namespace quarvel::launcher
