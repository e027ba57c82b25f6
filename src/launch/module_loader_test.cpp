#include "launch/module_loader.h"

#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/testing/test_log_capture.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/testing/test_module_loader.h"

namespace quarvel::launcher {
namespace {

using test_support::LogCapture;
using test_support::ScratchDirectory;
using test_support::ScriptedModuleLoader;

struct Reported {
  std::int32_t result;
  std::string message;
  bool hasMessage;
  bool operator==(const Reported&) const = default;
};

// Collects what reaches a loader's result callback.
class ResultLog {
 public:
  ResultCallback Callback() {
    return [this](QVL_ProtectedGameLaunchResult result, const char* message) {
      std::lock_guard lock(mutex_);
      results_.push_back({result, message != nullptr ? message : "", message != nullptr});
    };
  }
  std::vector<Reported> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(results_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<Reported> results_;
};

ProgressCallback Answering(QVL_ModuleDownloadProgressResult answer) {
  return [answer](std::uint32_t, std::uint32_t) { return answer; };
}

class ModuleLoaderTest : public ::testing::Test {
 protected:
  ModuleLoaderTest() {
    game_ = scratch_.Write("Game/game.exe", "game");
    directory_ = (scratch_.path() / "Game").string() + "/";
  }

  bool Initialize(const std::string& path, const std::string& workingDirectory, bool isGameDev = false,
                  ProgressCallback progress = Answering(QVL_Continue)) {
    return loader_.Initialize(std::move(progress), results_.Callback(), path, workingDirectory, "linux64",
                              "product", "sandbox", "deployment", isGameDev);
  }

  ScratchDirectory scratch_;
  std::string game_;
  std::string directory_;
  ResultLog results_;
  ScriptedModuleLoader loader_;
};

TEST_F(ModuleLoaderTest, UnusableGamePathsAreRefusedWithTheirReason) {
  const std::string missing = directory_ + "missing.exe";
  struct Case {
    std::string path;
    std::string workingDirectory;
    std::string message;
  };
  const Case cases[] = {
      {"", directory_, "The path to the game binary was not provided."},
      {game_, directory_ + "Nowhere/", "Working directory does not exist."},
      {missing, directory_, "Could not locate the game binary: '" + missing + "'"},
      {(scratch_.path() / "Game").string(), directory_, "The target executable is a directory!"},
  };
  for (const Case& test : cases) {
    ScriptedModuleLoader loader;
    ResultLog results;
    EXPECT_FALSE(loader.Initialize(Answering(QVL_Continue), results.Callback(), test.path, test.workingDirectory,
                                   "linux64", "product", "sandbox", "deployment", false));
    EXPECT_EQ(results.Take(), (std::vector<Reported>{{QVL_LoaderGamePathInvalid, test.message, true}}))
        << test.message;
    EXPECT_FALSE(loader.IsRunning());

    // The callbacks were let go: nothing reaches the caller any more.
    loader.Report(QVL_LoaderModuleFailed, "late");
    EXPECT_TRUE(loader.ReportProgress(1, 2));
    EXPECT_TRUE(results.Take().empty());
  }
}

TEST_F(ModuleLoaderTest, AnEmptyWorkingDirectoryIsNotChecked) {
  std::promise<void> ran;
  loader_.threadBody = [&ran](ScriptedModuleLoader&) { ran.set_value(); };
  EXPECT_TRUE(Initialize(game_, ""));
  ran.get_future().wait();
  EXPECT_TRUE(results_.Take().empty());
}

TEST_F(ModuleLoaderTest, InitializeKeepsTheLaunchAndStartsTheThread) {
  LogCapture log;
  std::promise<std::string> seenOnThread;
  loader_.threadBody = [&seenOnThread](ScriptedModuleLoader& loader) {
    seenOnThread.set_value(loader.GameBinaryPath() + "|" + loader.SystemName() + "|" + loader.ProductId() + "|" +
                           loader.SandboxId() + "|" + loader.DeploymentId());
  };

  ASSERT_TRUE(Initialize(game_, directory_, true));
  EXPECT_EQ(seenOnThread.get_future().get(), game_ + "|linux64|product|sandbox|deployment");
  EXPECT_TRUE(loader_.IsGameDev());
  EXPECT_TRUE(results_.Take().empty());

  const std::vector<LogCapture::Line> expected = {
      {3, "Loader initializing with bootstrapper version 1.9.0, architecture: x86-64."},
      {3, "Using GameDev environment."},
      {3, "Loader component initialized."},
  };
  EXPECT_EQ(log.Stop(), expected);
}

TEST_F(ModuleLoaderTest, ASecondThreadCannotStartWhileTheFirstRuns) {
  loader_.threadBody = [](ScriptedModuleLoader& loader) {
    while (!loader.StopWasRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  ASSERT_TRUE(Initialize(game_, directory_));
  EXPECT_FALSE(Initialize(game_, directory_));
  EXPECT_EQ(results_.Take(),
            (std::vector<Reported>{{QVL_LoaderStartFailed, "Failed at creating the background thread!", true}}));
}

TEST_F(ModuleLoaderTest, ReportLogsMessagesAndPassesEverythingOn) {
  // Without a callback a report goes nowhere, not even to the log.
  {
    LogCapture log;
    loader_.Report(QVL_LoaderModuleFailed, "unheard");
    EXPECT_TRUE(log.Stop().empty());
  }

  ASSERT_TRUE(Initialize(game_, directory_));
  LogCapture log;
  loader_.Report(QVL_LoaderModuleFailed, "Module said {1}");
  loader_.Report(QVL_LoaderGameStarted, nullptr);
  EXPECT_EQ(results_.Take(), (std::vector<Reported>{{QVL_LoaderModuleFailed, "Module said {1}", true},
                                                    {QVL_LoaderGameStarted, "", false}}));
  const std::vector<LogCapture::Line> expected = {{4, "[QVL Callback] Code: 507. Message: 'Module said {1}'."}};
  EXPECT_EQ(log.Stop(), expected);
}

TEST_F(ModuleLoaderTest, ProgressCancelsOnlyWhenAskedOrWhenNobodyListens) {
  // An empty callback means nobody wants the transfer any more.
  ScriptedModuleLoader idle;
  EXPECT_TRUE(idle.ReportProgress(1, 2));

  struct Case {
    std::int32_t answer;
    bool cancel;
  };
  for (const Case test : {Case{QVL_Continue, false}, Case{QVL_Cancel, true}, Case{2, false}, Case{-1, false}}) {
    ScriptedModuleLoader loader;
    ResultLog results;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> seen;
    std::promise<bool> cancelled;
    // Counts wider than 32 bits keep their low 32 bits.
    loader.threadBody = [&cancelled](ScriptedModuleLoader& self) {
      cancelled.set_value(self.ReportProgress(0x100000005ull, 0x200000010ull));
    };
    ASSERT_TRUE(loader.Initialize(
        [&seen, &test](std::uint32_t received, std::uint32_t expected) {
          seen.emplace_back(received, expected);
          return static_cast<QVL_ModuleDownloadProgressResult>(test.answer);
        },
        results.Callback(), game_, directory_, "linux64", "product", "sandbox", "deployment", false));

    EXPECT_EQ(cancelled.get_future().get(), test.cancel) << test.answer;
    EXPECT_EQ(seen, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{5u, 0x10u}}));
  }
}

TEST_F(ModuleLoaderTest, AStopRequestCancelsTheTransferWithoutAskingTheCaller) {
  bool asked = false;
  std::promise<bool> answer;
  loader_.threadBody = [&answer](ScriptedModuleLoader& loader) {
    while (!loader.StopWasRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    answer.set_value(loader.ReportProgress(10, 20));
  };
  ASSERT_TRUE(Initialize(game_, directory_, false, [&asked](std::uint32_t, std::uint32_t) {
    asked = true;
    return QVL_Continue;
  }));
  loader_.RequestStop();
  EXPECT_TRUE(answer.get_future().get());
  EXPECT_FALSE(asked);
}

TEST_F(ModuleLoaderTest, LoaderMessagesComeFromItsCatalogue) {
  const std::string localization = (scratch_.path() / "Localization").string() + "/";
  scratch_.Write("Localization/de.cfg",
                 "launcher_error:\n{\n  working_directory = \"Arbeitsverzeichnis fehlt.\";\n}\n");
  loader_.SetLocalization(localization, "de", nullptr);
  EXPECT_EQ(loader_.Language(), "de");
  EXPECT_EQ(loader_.Region(), "");

  EXPECT_FALSE(Initialize(game_, directory_ + "Nowhere/"));
  EXPECT_EQ(results_.Take(), (std::vector<Reported>{{QVL_LoaderGamePathInvalid, "Arbeitsverzeichnis fehlt.", true}}));

  // Without a directory the language is forgotten.
  loader_.SetLocalization("", "fr", "ca");
  EXPECT_EQ(loader_.Language(), "");
  EXPECT_EQ(loader_.Region(), "");
}

}  // namespace
}  // namespace quarvel::launcher
