#include "launch/game_launcher.h"

#include <utility>

#include "common/logger.h"
#include "common/platform.h"
#include "launch/launch_catalogue.h"
#include "launch/process/system_name.h"

namespace quarvel::launcher {

cGameLauncher::cGameLauncher(const cLauncherSettings& settings, const std::vector<std::string>& arguments,
                             bool isGameDev)
    : cGameLauncher(settings, isGameDev, CreateModuleLoader(arguments)) {}

cGameLauncher::cGameLauncher(const cLauncherSettings& settings, bool isGameDev,
                             std::unique_ptr<cModuleLoader> loader)
    : settings_(&settings), isGameDev_(isGameDev), loader_(std::move(loader)) {}

cGameLauncher::~cGameLauncher() {
  // The loader's thread and the module report into this object, and a report
  // may store a new process handle: both end before the handle is released.
  if (loader_) loader_->Shutdown();
  std::lock_guard lock(processLock_);
  gameProcessHandle_.Close();
}

void cGameLauncher::SetLocalization(const std::string& directory, const char* language, const char* region) {
  LoadLaunchCatalogue(catalogue_, directory, language, region);
  if (loader_) loader_->SetLocalization(directory, language, region);
}

void cGameLauncher::StartModuleDownload(const char* executable, const std::vector<std::string>& arguments,
                                        const char* workingDirectory, ProgressCallback onProgress,
                                        FinishCallback onFinish) {
  if (!onProgress || !onFinish) return;
  progressCallback_ = std::move(onProgress);
  finishCallback_ = std::move(onFinish);

  if (executable == nullptr || executable[0] == '\0') {
    Finish(QVL_InvalidLaunchRequest,
           catalogue_.GetString("launcher_error.error_missing_binary_path", "Missing game executable path.").c_str());
    return;
  }
  if (workingDirectory == nullptr || workingDirectory[0] == '\0') {
    Finish(QVL_InvalidLaunchRequest,
           catalogue_.GetString("launcher_error.error_missing_directory_path", "Missing working directory path.")
               .c_str());
    return;
  }

  workingDirectory_ = workingDirectory;
  gameBinaryPath_ = workingDirectory_ + executable;
  arguments_ = arguments;

  if (!PathExists(gameBinaryPath_.c_str())) {
    FinishInvalidPath(QVL_GameBinaryInvalid);
    return;
  }
  const std::string systemName = GetSystemName(gameBinaryPath_);
  if (systemName == kUnknownSystemName) {
    FinishInvalidPath(QVL_InvalidLaunchRequest);
    return;
  }
  Log(LogLevel::Info, "System name: '%s'.", systemName.c_str());

  if (!loader_) {
    Log(LogLevel::Error, "No module loader is available in this build.");
    Finish(QVL_ModuleLoadFailed,
           catalogue_.GetString("launcher_error.error_module_loading", "Failed to load the anti-cheat module.")
               .c_str());
    return;
  }
  // Failures are reported through the result callback before this returns.
  loader_->Initialize(
      progressCallback_,
      [this](QVL_ProtectedGameLaunchResult result, const char* message) { OnLoaderResult(result, message); },
      gameBinaryPath_, workingDirectory_, systemName, settings_->productid, settings_->sandboxid,
      settings_->deploymentid, isGameDev_);
}

ProcessHandle cGameLauncher::DuplicateGameProcessHandle() const {
  std::lock_guard lock(processLock_);
  return gameProcessHandle_.Duplicate();
}

std::uint32_t cGameLauncher::GetGameProcessId() const {
  std::lock_guard lock(processLock_);
  return gameProcessId_;
}

void cGameLauncher::OnLoaderResult(QVL_ProtectedGameLaunchResult result, const char* message) {
  switch (result) {
    case QVL_LoaderGamePathInvalid:
      return Finish(QVL_GameBinaryInvalid, message);
    case QVL_LoaderStartFailed:
      return Finish(QVL_GameStartFailed, message);
    case QVL_LoaderInstallFailed:
      return Finish(QVL_InstallFailed, message);
    case QVL_LoaderOverrideFailed:
      return Finish(QVL_OverrideDownloadFailed, message);
    case QVL_LoaderCdnUnreachable:
      return Finish(QVL_CdnUnreachable, message);
    case QVL_LoaderCdnTransferFailed:
      return Finish(QVL_CdnTransferFailed, message);
    case QVL_LoaderModuleFailed:
      return Finish(QVL_ModuleLoadFailed, message);
    case QVL_LoaderModuleError:
      return Finish(QVL_ModuleError, message);
    case QVL_LoaderCreateGameProcess:
      // A failed start was already reported by the loader (502).
      return LaunchGameProcess();
    case QVL_LoaderGameStarted:
      // After a failed start (502) the game did not start whatever the
      // module says: its module is not the one to keep in the cache.
      if (failed_.load()) {
        Log(LogLevel::Warning, "The module reported the game as started after the launch had failed.");
      } else {
        loader_->SetGameLaunched();
        TakeProcessFromLoader(true);
      }
      return Finish(QVL_Success, SuccessText().c_str());
    case QVL_LoaderModuleReady:
      return Finish(QVL_Success, SuccessText().c_str());
    default:
      return Finish(QVL_Unclassified, message);
  }
}

void cGameLauncher::LaunchGameProcess() {
  if (!loader_->CreateGameProcess(gameBinaryPath_, arguments_, workingDirectory_)) return;
  TakeProcessFromLoader(false);
}

void cGameLauncher::TakeProcessFromLoader(bool keepKnown) {
  const std::uint32_t processId = loader_->GetGameProcessId();
  bool needHandle = true;
  {
    std::lock_guard lock(processLock_);
    if (!keepKnown || gameProcessId_ == 0) gameProcessId_ = processId;
    needHandle = !keepKnown || !gameProcessHandle_;
  }
  if (!needHandle) return;
  ProcessHandle handle = loader_->GetGameProcessHandle();
  std::lock_guard lock(processLock_);
  if (!keepKnown || !gameProcessHandle_) gameProcessHandle_ = std::move(handle);
}

void cGameLauncher::Finish(QVL_ProtectedGameLaunchResult result, const char* message) {
  if (result != QVL_Success) failed_ = true;
  if (finishCallback_) finishCallback_(result, message);
}

void cGameLauncher::FinishInvalidPath(QVL_ProtectedGameLaunchResult result) {
  const std::string text = AppendDetail(
      catalogue_.GetString("launcher_error.error_invalid_executable_path", "Invalid game executable path: "),
      gameBinaryPath_ + ".");
  Finish(result, text.c_str());
}

std::string cGameLauncher::SuccessText() const {
  return catalogue_.GetString("launcher_error.success_loaded", "Quarvel successfully loaded in-game");
}

}  // namespace quarvel::launcher
