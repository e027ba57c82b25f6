#include "launch/module_loader.h"

#include <utility>

#include "common/logger.h"
#include "common/platform.h"
#include "common/strings.h"
#include "launch/launch_catalogue.h"
#include "net/deployment.h"

namespace quarvel::launcher {
namespace {

constexpr int kBootstrapperVersionMajor = 1;
constexpr int kBootstrapperVersionMinor = 9;
constexpr int kBootstrapperVersionPatch = 0;
constexpr const char* kArchitecture = "x86-64";

}  // namespace

cModuleLoader::cModuleLoader(const std::vector<std::string>& arguments)
    : arguments_(arguments),
      productionCdnHost_(deployment::ModuleCdnHost()),
      gameDevCdnHost_(deployment::GameDevModuleCdnHost()) {}

cModuleLoader::~cModuleLoader() { Shutdown(); }

bool cModuleLoader::Initialize(ProgressCallback progressCallback, ResultCallback resultCallback,
                               const std::string& gameBinaryPath, const std::string& workingDirectory,
                               const std::string& systemName, const std::string& productId,
                               const std::string& sandboxId, const std::string& deploymentId, bool isGameDev) {
  progressCallback_ = std::move(progressCallback);
  {
    std::lock_guard lock(resultCallbackLock_);
    resultCallback_ = std::move(resultCallback);
  }
  gameBinaryPath_ = gameBinaryPath;
  systemName_ = systemName;
  productId_ = productId;
  sandboxId_ = sandboxId;
  deploymentId_ = deploymentId;
  isGameDev_ = isGameDev;

  Log(LogLevel::Info, "Loader initializing with bootstrapper version %i.%i.%i, architecture: %s.",
      kBootstrapperVersionMajor, kBootstrapperVersionMinor, kBootstrapperVersionPatch, kArchitecture);
  if (isGameDev_) Log(LogLevel::Info, "Using GameDev environment.");

  if (!ValidateGamePaths(gameBinaryPath_, workingDirectory)) {
    ReleaseCallbacks();
    return false;
  }

  if (std::string cachePath; GetModuleCachePath(cachePath)) moduleCache_.Open(cachePath);

  if (!Start()) {
    Report(QVL_LoaderStartFailed,
           catalogue_.GetString("launcher_error.create_thread", "Failed at creating the background thread!").c_str());
    return false;
  }
  Log(LogLevel::Info, "Loader component initialized.");
  return true;
}

std::uint32_t cModuleLoader::GetGameProcessId() { return gameProcessId_.load(); }

ProcessHandle cModuleLoader::GetGameProcessHandle() { return {}; }

std::string cModuleLoader::GetModuleCachePath() {
  std::string path;
  if (!BuildModuleCachePath(productId_, deploymentId_, systemName_, path)) return {};
  return path;
}

bool cModuleLoader::ReportProgress(std::uint64_t received, std::uint64_t expected) {
  if (StopRequested() || !progressCallback_) return true;
  return progressCallback_(static_cast<std::uint32_t>(received), static_cast<std::uint32_t>(expected)) ==
         QVL_Cancel;
}

void cModuleLoader::SetLocalization(const std::string& directory, const char* language, const char* region) {
  language_.clear();
  region_.clear();
  if (directory.empty()) return;
  if (language != nullptr) language_ = language;
  if (region != nullptr) region_ = region;
  LoadLaunchCatalogue(catalogue_, directory, language, region);
}

void cModuleLoader::Report(QVL_ProtectedGameLaunchResult result, const char* message) {
  // A request to start the game is not the end of the launch.
  if (result != QVL_LoaderCreateGameProcess) launchResultReported_ = true;
  ResultCallback callback;
  {
    std::lock_guard lock(resultCallbackLock_);
    callback = resultCallback_;
  }
  if (!callback) return;
  if (message != nullptr) {
    std::string line = "[QVL Callback] Code: {0}. Message: '{1}'.";
    FormatPlaceholders(line, {std::to_string(static_cast<std::int32_t>(result)), message});
    Log(LogLevel::Verbose, "%s", line.c_str());
  }
  callback(result, message);
}

bool cModuleLoader::ValidateGamePaths(const std::string& path, const std::string& workingDirectory) {
  std::string refusal;
  if (path.empty()) {
    refusal = catalogue_.GetString("launcher_error.empty_executable_field",
                                   "The path to the game binary was not provided.");
  } else if (!workingDirectory.empty() && !DirectoryExists(workingDirectory.c_str())) {
    refusal = catalogue_.GetString("launcher_error.working_directory", "Working directory does not exist.");
  } else if (!PathExists(path.c_str())) {
    refusal = catalogue_.GetString("launcher_error.error_game_binary_not_found",
                                   "Could not locate the game binary: '{0}'", {path});
  } else if (DirectoryExists(path.c_str())) {
    refusal = catalogue_.GetString("launcher_error.error_game_binary_is_directory",
                                   "The target executable is a directory!");
  } else {
    return true;
  }
  Report(QVL_LoaderGamePathInvalid, refusal.c_str());
  return false;
}

void cModuleLoader::Shutdown() {
  Stop();
  ShutdownModule();
  if (GameLaunched()) moduleCache_.WritePayload();
  ReleaseCallbacks();
}

void cModuleLoader::ShutdownModule() {
  if (shutdownEntry_ == nullptr) return;
  const std::int32_t reason = QVL_ShutdownReasonExit;
  shutdownEntry_(&reason);
  shutdownEntry_ = nullptr;
}

void cModuleLoader::ReleaseCallbacks() {
  progressCallback_ = nullptr;
  std::lock_guard lock(resultCallbackLock_);
  resultCallback_ = nullptr;
}

}  // namespace quarvel::launcher
