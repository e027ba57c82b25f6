#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "launch/launcher_settings.h"
#include "launch/module_loader.h"
#include "launch/process/process_handle.h"
#include "localization/localization.h"
#include "quarvel/module_interface.h"

namespace quarvel::launcher {

// The caller's end of a launch: one result and its localized message.
using FinishCallback = ResultCallback;

// Turns one launch request (game executable, arguments, working directory)
// into a protected game start. It checks the request, hands it to its module
// loader, and translates every loader result into one launch-level result
// for the caller. Results arrive on the loader's or the module's threads.
class cGameLauncher {
 public:
  // With the platform's module loader. `settings` must outlive the launcher.
  cGameLauncher(const cLauncherSettings& settings, const std::vector<std::string>& arguments, bool isGameDev);
  // With the given loader (which may be null: every launch then fails).
  cGameLauncher(const cLauncherSettings& settings, bool isGameDev, std::unique_ptr<cModuleLoader> loader);
  // Stops the loader and the module, then releases the game process handle.
  ~cGameLauncher();
  cGameLauncher(const cGameLauncher&) = delete;
  cGameLauncher& operator=(const cGameLauncher&) = delete;

  // Loads this launcher's and the loader's catalogues; `language` and
  // `region` may be null. Call before StartModuleDownload.
  void SetLocalization(const std::string& directory, const char* language, const char* region);

  // Starts a protected launch of `workingDirectory` + `executable` (UTF-8;
  // the directory ends with a separator). Does nothing when either callback
  // is empty; every other outcome arrives through `onFinish`, a refused
  // request at once on the calling thread.
  void StartModuleDownload(const char* executable, const std::vector<std::string>& arguments,
                           const char* workingDirectory, ProgressCallback onProgress, FinishCallback onFinish);

  // A new handle to the game process, owned by the caller; empty when the
  // game has not been started or duplication fails.
  ProcessHandle DuplicateGameProcessHandle() const;
  // 0 until the game has been started.
  std::uint32_t GetGameProcessId() const;

 private:
  void OnLoaderResult(QVL_ProtectedGameLaunchResult result, const char* message);
  void LaunchGameProcess();
  void TakeProcessFromLoader(bool keepKnown);
  void Finish(QVL_ProtectedGameLaunchResult result, const char* message);
  void FinishInvalidPath(QVL_ProtectedGameLaunchResult result);
  std::string SuccessText() const;

  const cLauncherSettings* settings_;
  const bool isGameDev_;
  std::unique_ptr<cModuleLoader> loader_;
  // Set once a result other than success went to the caller.
  std::atomic<bool> failed_{false};
  // Set before the loader's thread starts, read on it afterwards.
  ProgressCallback progressCallback_;
  FinishCallback finishCallback_;
  std::string gameBinaryPath_;
  std::vector<std::string> arguments_;
  std::string workingDirectory_;
  // Written on the reporting thread, read on the caller's.
  mutable std::mutex processLock_;
  std::uint32_t gameProcessId_ = 0;
  ProcessHandle gameProcessHandle_;
  cLocalization catalogue_;
};

}  // namespace quarvel::launcher
