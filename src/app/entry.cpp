#include "app/entry.h"

#include <SDL.h>

#include <exception>
#include <memory>

#include "app/anticheat_launcher.h"
#include "app/exit_codes.h"
#include "app/launch_lock.h"
#include "app/main_loop.h"
#include "app/message_box.h"
#include "app/sdl_startup.h"
#include "app/switches.h"
#include "common/platform.h"
#include "launch/wine/wine_helper_buffer.h"
#include "net/libcurl_start.h"

namespace quarvel::launcher {
namespace {

// Every way out of a run passes here exactly once: the last log line, the
// launch lock, and the logger's worker, so nothing logged later reaches the
// file.
class cTermination {
 public:
  explicit cTermination(cLogger& logger) : logger_(logger) {}

  int Terminate(int exitCode) {
    if (done_) return exitCode;
    done_ = true;
    Log(LogLevel::Info, "Terminating with: %i.", exitCode);
    ReleaseLaunchLock();
    logger_.StopWorker();
    return exitCode;
  }

 private:
  cLogger& logger_;
  bool done_ = false;
};

// Events, frames and waits, until the exit flag is set.
void RunMainLoop(AntiCheatLauncher& launcher, bool sdlRunning) {
  cMainLoop loop(launcher, sdlRunning);
  while (!launcher.ExitRequested()) loop.RunPass();
}

}  // namespace

int DecideExitCode(std::int32_t launchResult, bool resultReceived, bool waitForGame, cGameLauncher* gameLauncher) {
  if (resultReceived && launchResult == QVL_Unclassified) return UnclassifiedLaunchFailure;
  if (launchResult == QVL_Success) launchResult = 0;
  if (launchResult != 0) return launchResult;
  if (!waitForGame) return Completed;

  ProcessHandle game = gameLauncher != nullptr ? gameLauncher->DuplicateGameProcessHandle() : ProcessHandle();
  if (!game.IsValid()) return NoGameProcess;
  Log(LogLevel::Info, "Waiting for game process to exit, will return exit code upon termination.");
  game.WaitForExit(std::nullopt);
  std::uint32_t exitCode = GameExitCodeUnavailable;
  if (!game.GetExitCode(exitCode)) exitCode = GameExitCodeUnavailable;
  return static_cast<int>(exitCode);
}

namespace {

// Start-up from the launch lock on, the loop and the finish; inside the
// exception guard. `sdlMask` tells the caller what to shut down.
int RunGuarded(cLogger& logger, const std::vector<std::string>& arguments, cTermination& termination,
               unsigned& sdlMask, const EntryHooks& hooks) {
  std::string error;
  if (!AcquireLaunchLock(error)) {
    ShowLaunchErrorBox(error);
    return termination.Terminate(SingleInstanceFailed);
  }

  AntiCheatLauncher launcher(logger, arguments);
  if (!headlessMode) {
    launcher.StartSplashDecode();
    sdlMask = StartSdl();
    if (sdlMask != kSdlAllStarted) {
      ShowLaunchErrorBox("Failed to initialize dependencies.");
      return termination.Terminate(DependenciesFailed);
    }
  }
  // Not before SDL's start: on Linux that sets environment variables for a
  // moment, which libcurl's TLS library reads as it starts.
  const cLibcurlWarmUp libcurlWarmUp;
  if (!launcher.Initialize(error)) {
    ShowLaunchErrorBox(error);
    return termination.Terminate(InitializeFailed);
  }
  if (!launcher.Start()) {
    ShowLaunchErrorBox("Failed to start the anti-cheat module download.");
    return termination.Terminate(StartFailed);
  }

  if (hooks.beforeMainLoop) hooks.beforeMainLoop(launcher);
  RunMainLoop(launcher, sdlMask == kSdlAllStarted);

  launcher.ReportLaunchAnalytics();
  return termination.Terminate(DecideExitCode(launcher.GetLaunchResult(), launcher.LaunchResultReceived(),
                                              launcher.GetSettings().wait_for_game_process_exit,
                                              launcher.GetGameLauncher()));
  // The launcher is destroyed here, after Terminate, as it leaves scope.
}

}  // namespace

int RunBootstrapper(int argc, char** argv, const EntryHooks& hooks) {
  cLogger logger;
  cTermination termination(logger);
  const std::vector<std::string> arguments = ReadProcessArguments(argc, argv);
  ReadEnvironmentSwitches();

  if (IsRunningUnderWine() && !PlaceWineHelperBuffer()) {
    ShowLaunchErrorBox("Failed to initialize Wine helper buffer");
    return termination.Terminate(WineHelperFailed);
  }
  logger.StartWorker();
  SetOverlaySuppression(true);
  SetInformationBox(&ShowInformationBox);

  unsigned sdlMask = 0;
  int exitCode = InternalError;
  try {
    exitCode = RunGuarded(logger, arguments, termination, sdlMask, hooks);
  } catch (...) {
    // The launcher has been destroyed as the exception left it.
    StopSdl(sdlMask);
    sdlMask = 0;
    ShowLaunchErrorBox("The Quarvel launcher encountered an internal error.");
    exitCode = termination.Terminate(InternalError);
  }
  StopSdl(sdlMask);
  SetActiveLogger(nullptr);
  return exitCode;
}

}  // namespace quarvel::launcher
