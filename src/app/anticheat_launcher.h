#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/launch_analytics.h"
#include "common/background_worker.h"
#include "common/logger.h"
#include "launch/game_launcher.h"
#include "launch/launcher_settings.h"
#include "launch/process_handle.h"
#include "localization/localization.h"
#include "quarvel/module_interface.h"

struct SDL_Window;
struct SDL_Renderer;
union SDL_Event;

namespace quarvel::launcher {

enum class LauncherState : std::int32_t {
  Created = 0,
  Loading = 1,
  Downloading = 2,
  Initializing = 3,
  WaitingForGame = 4,
  Error = 5,
};

// The bootstrapper's one long-lived object. It owns what the run needs,
// steps through states that only advance, and runs all its work on the main
// thread through a task queue that the other threads feed. It is also the
// worker thread that sends the run's analytics.
class AntiCheatLauncher : public cBackgroundWorker {
 public:
  using Task = std::function<bool()>;

  AntiCheatLauncher(cLogger& logger, const std::vector<std::string>& arguments);
  ~AntiCheatLauncher() override;

  // Settings, log file, texts and window. False only when the executable's
  // directory is unknown or the window cannot be made; `error` says why.
  bool Initialize(std::string& error);
  // Creates the game launcher and starts the module download; a bad settings
  // file ends the launch with 207 at once. False when no game launcher could
  // be made.
  bool Start();

  // Requests state `state`; a request that would go backwards is refused.
  void SetState(LauncherState state);
  LauncherState GetState() const { return state_; }

  // Any thread may post; tasks run on the main thread, one per frame.
  void PostTask(Task task);
  void RunNextTask();
  bool HasTasks();

  // One pending window event, from the main loop.
  void HandleEvent(const SDL_Event& event);

  // The frame tick of the main loop: sleeps out the frame budget, then runs
  // at most one task and draws.
  void RunFrame(std::int64_t elapsedNs);

  // Called from the module loader's thread.
  QVL_ModuleDownloadProgressResult OnModuleDownloadProgress(std::uint32_t received, std::uint32_t expected);
  void OnGameLauncherFinished(QVL_ProtectedGameLaunchResult result, const char* message);

  // After a successful launch: watch for the game's window, then leave.
  void BeginExitPolling();
  // The end-of-run analytics batch; called once after the main loop.
  // Returns the events of the batch (none when the run has nothing to report).
  std::vector<Analytics::EventDescriptor> ReportLaunchAnalytics();

  // The exit and close buttons.
  void OnExitButton();
  void OnCloseButton();

  bool ExitRequested() const { return exitFlag_.load(); }
  void RequestExit() { exitFlag_.store(true); }
  std::int32_t GetLaunchResult() const { return launchResult_.load(); }
  std::string GetLaunchMessage() const;
  const cLauncherSettings& GetSettings() const { return settings_; }
  cGameLauncher* GetGameLauncher() { return gameLauncher_.get(); }
  const cLocalization& GetCatalogue() const { return catalogue_; }

  // The log file sink.
  void OpenLogFile();
  void WriteLogLine(unsigned level, const char* line);

 private:
  // Window and screens; the user interface fills these in.
  bool InitializeWindow(std::string& error);
  void ShowScreenForState(LauncherState state);
  void ShowBootstrapperWindow();
  void HideBootstrapperWindow();
  void FlashBootstrapperWindow();
  void SetStatusTexts(int pair, const std::string& first, const std::string& second);
  void LayoutStatusTexts();
  void LayoutErrorScreen();
  void ShowDownloadProgress(std::uint32_t percent);
  void CompleteProgressBar();
  void ShowFinalLogoFrame();
  void RevealLogoKeyElement();
  void UpdateAndRenderFrame(std::int64_t elapsedNs);
  void DestroyWindow();

  void DetectLocaleAndLoad();
  void LoadLocalization(const std::string& language, const std::string& country);
  bool LoadSettings(std::string& error);

  void RunProgressTask();
  void RunFinishTask();
  bool PollForGameWindow();
  void LeaveVisibleState();

  // Members, in the order the run creates them.
  LauncherState state_ = LauncherState::Created;
  std::deque<Task> tasks_;
  std::mutex tasksLock_;

  cLauncherSettings settings_;
  std::string settingsFileName_;
  std::string executableDirectory_;
  cLocalization catalogue_;
  std::string country_;
  std::string language_;

  std::int64_t frameTimeLeft_ = 0;
  std::int64_t frameInterval_ = 16'000'000;

  std::unique_ptr<cGameLauncher> gameLauncher_;

  // Progress and result, written by the loader's thread.
  std::atomic<std::uint32_t> lastPercent_{0};
  std::atomic<std::uint32_t> maxBytesDone_{0};
  std::atomic<std::uint32_t> maxBytesTotal_{0};
  std::atomic<std::int64_t> downloadStart_;
  std::atomic<std::int64_t> downloadEnd_;
  std::atomic<std::int32_t> launchResult_{0};
  std::string launchMessage_;
  mutable std::mutex launchMessageLock_;  // a second result may arrive while a task reads the first
  std::int64_t initStart_;

  std::atomic<bool> exitFlag_{false};

  // Exit polling.
  std::int64_t pollStart_ = 0;
  std::int64_t windowVisibleTime_ = 0;
  ProcessHandle gameProcessHandle_;
  std::uint32_t gameProcessId_ = 0;

  // The window; headless runs and hidden bootstrappers draw nothing.
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;

  std::vector<std::string> arguments_;
  std::ofstream logFile_;
  unsigned logLevel_ = cLogger::kDefaultMaximumLevel;
  cLogger& logger_;
};

}  // namespace quarvel::launcher
