#include "launch/game_launcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_log_capture.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/process/system_name.h"
#include "launch/process/testing/test_process.h"
#include "launch/testing/test_module_loader.h"

namespace quarvel::launcher {
namespace {

using test_support::LogCapture;
using test_support::ScratchDirectory;
using test_support::ScriptedModuleLoader;

constexpr char kSuccessText[] = "Quarvel successfully loaded in-game";

struct Finished {
  std::int32_t result;
  std::string message;
  bool operator==(const Finished&) const = default;
};

// A launcher with a scripted loader, launching the test executable itself:
// a real binary that classifies on every platform.
class GameLauncherTest : public ::testing::Test {
 protected:
  GameLauncherTest() {
    settings_.productid = "quarvel-game";
    settings_.sandboxid = "sandbox1";
    settings_.deploymentid = "live-01";
    std::string path;
    EXPECT_TRUE(GetExecutablePath(path));
    EXPECT_EQ(GetExecutableDirectory(directory_), ExecutableDirectoryResult::Ok);
    executable_ = path.substr(directory_.size());
    Recreate();
  }

  void Recreate(bool withLoader = true) {
    launcher_.reset();
    auto loader = std::make_unique<ScriptedModuleLoader>(std::vector<std::string>{"-windowed"});
    loader_ = withLoader ? loader.get() : nullptr;
    launcher_ = std::make_unique<cGameLauncher>(settings_, false, withLoader ? std::move(loader) : nullptr);
    std::lock_guard lock(mutex_);
    finished_.clear();
  }

  void Start(const char* executable, const char* workingDirectory) {
    launcher_->StartModuleDownload(
        executable, {"-windowed", "-fps 60"}, workingDirectory,
        [](std::uint32_t, std::uint32_t) { return QVL_Continue; },
        [this](QVL_ProtectedGameLaunchResult result, const char* message) {
          std::lock_guard lock(mutex_);
          finished_.push_back({result, message != nullptr ? message : "(null)"});
        });
  }
  void StartValid() { Start(executable_.c_str(), directory_.c_str()); }

  std::vector<Finished> TakeFinished() {
    std::lock_guard lock(mutex_);
    return std::exchange(finished_, {});
  }

  cLauncherSettings settings_;
  std::string directory_;
  std::string executable_;
  ScriptedModuleLoader* loader_ = nullptr;
  std::unique_ptr<cGameLauncher> launcher_;
  std::mutex mutex_;
  std::vector<Finished> finished_;
};

TEST_F(GameLauncherTest, EveryLoaderResultBecomesOneLaunchResult) {
  struct Case {
    std::int32_t loaderCode;
    std::int32_t result;
    const char* message;  // the loader's message is passed on unless given here
  };
  const Case cases[] = {
      {QVL_LoaderGamePathInvalid, QVL_GameBinaryInvalid, nullptr},
      {QVL_LoaderStartFailed, QVL_GameStartFailed, nullptr},
      {QVL_LoaderInstallFailed, QVL_InstallFailed, nullptr},
      {QVL_LoaderOverrideFailed, QVL_OverrideDownloadFailed, nullptr},
      {QVL_LoaderCdnUnreachable, QVL_CdnUnreachable, nullptr},
      {QVL_LoaderCdnTransferFailed, QVL_CdnTransferFailed, nullptr},
      {QVL_LoaderModuleFailed, QVL_ModuleLoadFailed, nullptr},
      {QVL_LoaderModuleError, QVL_ModuleError, nullptr},
      {QVL_LoaderGameStarted, QVL_Success, kSuccessText},
      {QVL_LoaderModuleReady, QVL_Success, kSuccessText},
      {0, QVL_Unclassified, nullptr},
      {510, QVL_Unclassified, nullptr},
      {1001, QVL_Unclassified, nullptr},
      {QVL_Success, QVL_Unclassified, nullptr},
  };
  for (const Case& test : cases) {
    Recreate();
    StartValid();
    loader_->Report(static_cast<QVL_ProtectedGameLaunchResult>(test.loaderCode), "loader message");
    const std::string message = test.message != nullptr ? test.message : "loader message";
    EXPECT_EQ(TakeFinished(), (std::vector<Finished>{{test.result, message}})) << test.loaderCode;
    EXPECT_EQ(loader_->GameLaunched(), test.loaderCode == QVL_LoaderGameStarted) << test.loaderCode;
  }
}

TEST_F(GameLauncherTest, TheModulesRequestStartsTheGameWithoutFinishing) {
  loader_->processIdOnCreate = test_support::CurrentProcessId();
  StartValid();
  EXPECT_FALSE(launcher_->DuplicateGameProcessHandle().IsValid());

  loader_->Report(QVL_LoaderCreateGameProcess, nullptr);
  EXPECT_TRUE(TakeFinished().empty());
  ASSERT_EQ(loader_->gameStarts.size(), 1u);
  EXPECT_EQ(loader_->gameStarts[0].path, directory_ + executable_);
  EXPECT_EQ(loader_->gameStarts[0].arguments, (std::vector<std::string>{"-windowed", "-fps 60"}));
  EXPECT_EQ(loader_->gameStarts[0].workingDirectory, directory_);
  EXPECT_EQ(launcher_->GetGameProcessId(), test_support::CurrentProcessId());
  EXPECT_TRUE(launcher_->DuplicateGameProcessHandle().IsValid());

  // The module then reports the start, naming another id; the known one stays.
  loader_->ReportFromModule(QVL_LoaderGameStarted, "started", 4242);
  loader_->Report(QVL_LoaderModuleReady, nullptr);
  EXPECT_EQ(TakeFinished(), (std::vector<Finished>{{QVL_Success, kSuccessText}, {QVL_Success, kSuccessText}}));
  EXPECT_EQ(launcher_->GetGameProcessId(), test_support::CurrentProcessId());
  EXPECT_TRUE(loader_->GameLaunched());
}

TEST_F(GameLauncherTest, AFailedGameStartFinishesWithTheLoadersMessage) {
  StartValid();
  loader_->Report(QVL_LoaderCreateGameProcess, nullptr);
  EXPECT_EQ(TakeFinished(),
            (std::vector<Finished>{{QVL_GameStartFailed, "Failed to create the game process: scripted failure"}}));
  EXPECT_EQ(launcher_->GetGameProcessId(), 0u);
}

// The module reports the game as started although the launcher could not
// start it: the game did not start, so the module must not be kept.
TEST_F(GameLauncherTest, AStartReportedAfterAFailedStartDoesNotCountAsLaunched) {
  StartValid();
  loader_->Report(QVL_LoaderCreateGameProcess, nullptr);
  loader_->ReportFromModule(QVL_LoaderGameStarted, "started", 0);
  const std::vector<Finished> finished = TakeFinished();
  ASSERT_EQ(finished.size(), 2u);
  EXPECT_EQ(finished[0].result, QVL_GameStartFailed);
  EXPECT_FALSE(loader_->GameLaunched());
  EXPECT_EQ(launcher_->GetGameProcessId(), 0u);
}

TEST_F(GameLauncherTest, AGameTheModuleStartedItselfIsTakenFromItsReport) {
  StartValid();
  loader_->ReportFromModule(QVL_LoaderGameStarted, "started", test_support::CurrentProcessId());
  EXPECT_EQ(TakeFinished(), (std::vector<Finished>{{QVL_Success, kSuccessText}}));
  EXPECT_EQ(launcher_->GetGameProcessId(), test_support::CurrentProcessId());
  EXPECT_TRUE(launcher_->DuplicateGameProcessHandle().IsValid());
}

TEST_F(GameLauncherTest, RefusedRequestsFinishAtOnceAndStartNothing) {
  ScratchDirectory scratch;
  std::filesystem::create_directories(scratch.path() / "Folder.exe");
  const std::string folder = scratch.path().string() + "/";
  struct Case {
    const char* executable;
    const char* workingDirectory;
    std::int32_t result;
    std::string message;
  };
  const Case cases[] = {
      {nullptr, directory_.c_str(), QVL_InvalidLaunchRequest, "Missing game executable path."},
      {"", directory_.c_str(), QVL_InvalidLaunchRequest, "Missing game executable path."},
      {executable_.c_str(), nullptr, QVL_InvalidLaunchRequest, "Missing working directory path."},
      {executable_.c_str(), "", QVL_InvalidLaunchRequest, "Missing working directory path."},
      {"missing.exe", folder.c_str(), QVL_GameBinaryInvalid,
       "Invalid game executable path: " + folder + "missing.exe."},
      {"Folder.exe", folder.c_str(), QVL_InvalidLaunchRequest,
       "Invalid game executable path: " + folder + "Folder.exe."},
  };
  for (const Case& test : cases) {
    Recreate();
    Start(test.executable, test.workingDirectory);
    EXPECT_EQ(TakeFinished(), (std::vector<Finished>{{test.result, test.message}})) << test.message;
    EXPECT_EQ(loader_->initializeCalls, 0);
  }
}

TEST_F(GameLauncherTest, WithoutBothCallbacksNothingHappens) {
  bool called = false;
  const auto progress = [&called](std::uint32_t, std::uint32_t) {
    called = true;
    return QVL_Continue;
  };
  const auto finish = [&called](QVL_ProtectedGameLaunchResult, const char*) { called = true; };
  launcher_->StartModuleDownload(nullptr, {}, nullptr, nullptr, finish);
  launcher_->StartModuleDownload(nullptr, {}, nullptr, progress, nullptr);
  launcher_->StartModuleDownload(executable_.c_str(), {}, directory_.c_str(), progress, nullptr);
  EXPECT_FALSE(called);
  EXPECT_EQ(loader_->initializeCalls, 0);
}

TEST_F(GameLauncherTest, AValidRequestHandsTheLaunchToTheLoader) {
  settings_.productid = "other-game";
  std::promise<void> ran;
  loader_->threadBody = [&ran](ScriptedModuleLoader&) { ran.set_value(); };
  LogCapture log;
  StartValid();
  ran.get_future().wait();

  const std::string path = directory_ + executable_;
  const std::string systemName = GetSystemName(path);
  ASSERT_NE(systemName, "N/A");
  EXPECT_EQ(loader_->GameBinaryPath(), path);
  EXPECT_EQ(loader_->SystemName(), systemName);
  EXPECT_EQ(loader_->ProductId(), "other-game");
  EXPECT_EQ(loader_->SandboxId(), "sandbox1");
  EXPECT_EQ(loader_->DeploymentId(), "live-01");
  EXPECT_FALSE(loader_->IsGameDev());
  EXPECT_EQ(loader_->Arguments(), (std::vector<std::string>{"-windowed"}));
  EXPECT_TRUE(TakeFinished().empty());
  const std::vector<LogCapture::Line> lines = log.Stop();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), (LogCapture::Line{3, "System name: '" + systemName + "'."}));
}

TEST_F(GameLauncherTest, WithoutALoaderTheModuleCannotBeLoaded) {
  Recreate(false);
  StartValid();
  EXPECT_EQ(TakeFinished(), (std::vector<Finished>{{QVL_ModuleLoadFailed, "Failed to load the anti-cheat module."}}));
}

TEST_F(GameLauncherTest, TextsComeFromTheCatalogueAndTheBlankBeforeADetailIsKept) {
  ScratchDirectory scratch;
  const std::string localization = scratch.path().string() + "/";
  scratch.Write("de.cfg",
                "launcher_error:\n{\n  success_loaded = \"Quarvel geladen\";\n"
                "  error_invalid_executable_path = \"Ungueltiger Pfad:\";\n}\n");
  launcher_->SetLocalization(localization, "de", "de");
  EXPECT_EQ(loader_->Language(), "de");
  EXPECT_EQ(loader_->Region(), "de");

  Start("missing.exe", localization.c_str());
  StartValid();
  loader_->Report(QVL_LoaderModuleReady, nullptr);
  EXPECT_EQ(TakeFinished(), (std::vector<Finished>{{QVL_GameBinaryInvalid, "Ungueltiger Pfad: " + localization +
                                                                               "missing.exe."},
                                                   {QVL_Success, "Quarvel geladen"}}));
}

TEST_F(GameLauncherTest, DestructionEndsTheLoaderBeforeTheModuleAndTheHandle) {
  static std::vector<std::string>* events = nullptr;
  std::vector<std::string> seen;
  events = &seen;
  loader_->SetShutdownEntry([](const std::int32_t* reason) -> std::uint8_t {
    events->push_back("module shutdown " + std::to_string(*reason));
    return 1;
  });
  loader_->threadBody = [](ScriptedModuleLoader& loader) {
    while (!loader.StopWasRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    events->push_back("thread ended");
  };
  StartValid();
  launcher_.reset();
  EXPECT_EQ(seen, (std::vector<std::string>{"thread ended", "module shutdown 1"}));
  events = nullptr;
}

}  // namespace
}  // namespace quarvel::launcher
