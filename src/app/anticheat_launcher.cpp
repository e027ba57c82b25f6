#include "app/anticheat_launcher.h"

#include "analytics/analytics_tavik.h"
#include "app/launch_lock.h"
#include "app/switches.h"
#include "common/platform.h"
#include "common/version.h"
#include "launch/settings_location.h"

namespace quarvel::launcher {

AntiCheatLauncher::AntiCheatLauncher(cLogger& logger, const std::vector<std::string>& arguments)
    : downloadStart_(kUnsetTimePoint),
      downloadEnd_(kUnsetTimePoint),
      initStart_(kUnsetTimePoint),
      arguments_(arguments),
      logger_(logger) {
  SetActiveLogger(&logger_);
  logLevel_ = LogLevelFromArguments(arguments_);
  if (!cBackgroundWorker::Start()) Log(LogLevel::Error, "Failed to start AnalyticsWorker background thread!");
}

AntiCheatLauncher::~AntiCheatLauncher() {
  gameLauncher_.reset();
  cBackgroundWorker::Stop();
  ReleaseLaunchLock();
  logger_.AttachSink(nullptr, logLevel_);
  logFile_.close();
  DestroyWindow();
}

bool AntiCheatLauncher::Initialize(std::string& error) {
  error.clear();
  initStart_ = MonotonicNowNs();

  const ExecutableDirectoryResult result = GetExecutableDirectory(executableDirectory_);
  if (result != ExecutableDirectoryResult::Ok) {
    Log(LogLevel::Error, "Failed to query the process executable directory, result: %u.",
        static_cast<unsigned>(result));
    error = "Failed to query the working directory.";
    Log(LogLevel::Error, "Failed to query the working directory of the launcher.");
    return false;
  }

  DetectLocaleAndLoad();

  std::string settingsError;
  if (!LoadSettings(settingsError)) {
    Log(LogLevel::Error, "Failed to initialize the settings: '%s'.", settingsError.c_str());
  }
  ReportLocalization();

  if (!InitializeWindow(error)) return false;
  SetState(LauncherState::Loading);
  return true;
}

bool AntiCheatLauncher::Start() {
  const bool isGameDev = settings_.environment == "gamedev";
  gameLauncher_ = std::make_unique<cGameLauncher>(settings_, arguments_, isGameDev);
  if (!gameLauncher_) {
    Log(LogLevel::Error, "Failed to create GameLauncher instance!");
    return false;
  }

  SetState(LauncherState::Downloading);
  std::string localizationDirectory;
  GetLocalizationDirectory(localizationDirectory);
  gameLauncher_->SetLocalization(localizationDirectory, language_.c_str(), country_.c_str());

  if (static_cast<std::int32_t>(settings_.status) < 0) {
    OnGameLauncherFinished(QVL_GameBinaryInvalid,
                           settings_.DescribeError(settingsFileName_, catalogue_).c_str());
    return true;
  }

  downloadStart_ = MonotonicNowNs();
  gameLauncher_->StartModuleDownload(
      settings_.executable.c_str(), arguments_, executableDirectory_.c_str(),
      [this](std::uint32_t received, std::uint32_t expected) {
        return OnModuleDownloadProgress(received, expected);
      },
      [this](QVL_ProtectedGameLaunchResult result, const char* message) {
        OnGameLauncherFinished(result, message);
      });
  return true;
}

bool AntiCheatLauncher::LoadSettings(std::string& error) {
  settingsFileName_ = ResolveSettingsFileName(arguments_);
  // A name that climbs out of the Quarvel directory is no settings file of
  // this game: it reads as unreadable (an empty path).
  const std::string path = IsSettingsFileNameInside(settingsFileName_)
                               ? BuildSettingsPath(executableDirectory_, settingsFileName_)
                               : std::string();
  if (!settings_.Load(path)) {
    error = settings_.DescribeError(settingsFileName_, catalogue_);
    return false;
  }
  OpenLogFile();
  // The first line of every log file says which build wrote it.
  Log(LogLevel::Info, "Quarvel Bootstrapper version %s.", kProductVersion);
  Log(LogLevel::Info, "Loaded the following settings .json file: '%s'", path.c_str());
  AnalyticsTavik::SetIdentity(settings_.productid, settings_.sandboxid, settings_.deploymentid);
  settings_.LogSettings();
  return true;
}

std::string AntiCheatLauncher::GetLaunchMessage() const {
  std::lock_guard lock(launchMessageLock_);
  return launchMessage_;
}

}  // namespace quarvel::launcher
