// Runs a launcher on the waiting screen (state 4) for a number of seconds
// with the main loop's pacing, so its processor use while idle can be
// measured from outside: launcher_idle_probe <seconds> [--always-redraw].
// With --always-redraw every frame is drawn whether or not it changed, and
// the loop wakes every frame, as the launcher once did: the baseline the
// benchmarks compare against.
#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/anticheat_launcher.h"
#include "app/main_loop.h"
#include "app/sdl_startup.h"
#include "common/background_worker.h"

int main(int argc, char** argv) {
  using namespace quarvel;
  using namespace quarvel::launcher;
  const std::int64_t seconds = argc > 1 ? std::atoll(argv[1]) : 10;
  const bool alwaysRedraw = argc > 2 && std::strcmp(argv[2], "--always-redraw") == 0;
  cLogger logger;
  logger.StartWorker();
  const unsigned sdl = StartSdl();
  if (sdl != kSdlAllStarted) return 1;
  int result = 0;
  {
    AntiCheatLauncher launcher(logger, std::vector<std::string>{});
    std::string error;
    if (!launcher.Initialize(error)) {
      result = 2;
    } else {
      launcher.SetState(LauncherState::Downloading);
      launcher.OnGameLauncherFinished(QVL_Success, "idle probe");
      const std::int64_t end = MonotonicNowNs() + seconds * 1'000'000'000;
      cMainLoop loop(launcher, true, !alwaysRedraw);
      while (MonotonicNowNs() < end) {
        if (alwaysRedraw) launcher.RequestRedraw();
        loop.RunPass();
      }
      if (launcher.GetState() != LauncherState::WaitingForGame) result = 3;
    }
  }
  StopSdl(sdl);
  logger.StopWorker();
  SetActiveLogger(nullptr);
  return result;
}
