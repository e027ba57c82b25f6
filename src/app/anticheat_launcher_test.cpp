#include "app/anticheat_launcher.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/switches.h"

namespace quarvel::launcher {
namespace {

// A launcher with its log lines collected, outside any real run.
class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    headlessMode = false;
    immediateExitOnError = false;
    logger_.StartWorker();
    launcher_ = std::make_unique<AntiCheatLauncher>(logger_, std::vector<std::string>{"-v"});
    logger_.AttachSink(
        [this](unsigned, const char* line) {
          std::lock_guard lock(linesLock_);
          lines_.emplace_back(line);
        },
        5);
  }
  void TearDown() override {
    launcher_.reset();
    logger_.StopWorker();
    SetActiveLogger(nullptr);
    headlessMode = false;
    immediateExitOnError = false;
  }

 public:
  bool Logged(const std::string& text) {
    logger_.Flush();
    std::lock_guard lock(linesLock_);
    for (const auto& line : lines_) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  void RunAllTasks() {
    for (int guard = 0; guard < 100 && launcher_->HasTasks(); ++guard) launcher_->RunNextTask();
  }

 protected:
  cLogger logger_;
  std::unique_ptr<AntiCheatLauncher> launcher_;
  std::mutex linesLock_;
  std::vector<std::string> lines_;
};

TEST_F(LauncherTest, StatesOnlyAdvance) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->SetState(LauncherState::Downloading);  // re-entering is allowed
  launcher_->SetState(LauncherState::WaitingForGame);
  launcher_->SetState(LauncherState::Initializing);
  EXPECT_EQ(launcher_->GetState(), LauncherState::WaitingForGame);
  EXPECT_TRUE(Logged("[Err!] Tried to backtrack from state 4 to 3!"));
}

TEST_F(LauncherTest, HeadlessStateStaysCreated) {
  headlessMode = true;
  launcher_->SetState(LauncherState::Downloading);
  EXPECT_EQ(launcher_->GetState(), LauncherState::Created);
  launcher_->OnModuleDownloadProgress(500, 1000);
  EXPECT_FALSE(launcher_->HasTasks());  // no progress task outside state 2
}

TEST_F(LauncherTest, OneTaskPerCallAndRepeatingTasksTakeTurns) {
  std::vector<std::string> order;
  int repeats = 0;
  launcher_->PostTask([&] {
    order.push_back("repeating");
    return ++repeats < 3;  // true twice
  });
  launcher_->PostTask([&] {
    order.push_back("once");
    return false;
  });
  launcher_->RunNextTask();
  EXPECT_EQ(order.size(), 1u);
  RunAllTasks();
  EXPECT_EQ(order, (std::vector<std::string>{"repeating", "once", "repeating", "repeating"}));
}

TEST_F(LauncherTest, TasksMayPostTasks) {
  int ran = 0;
  launcher_->PostTask([&] {
    launcher_->PostTask([&] {
      ++ran;
      return false;
    });
    return false;
  });
  RunAllTasks();
  EXPECT_EQ(ran, 1);
}

TEST_F(LauncherTest, ProgressPostsTasksOnlyWhenThePercentageGrows) {
  launcher_->SetState(LauncherState::Downloading);
  struct Report {
    std::uint32_t received, expected;
    bool posts;
  };
  const Report reports[] = {
      {0, 1000, false}, {500, 1000, true}, {500, 1000, false}, {1000, 1000, true}, {10, 0, false}};
  for (const Report& report : reports) {
    EXPECT_EQ(launcher_->OnModuleDownloadProgress(report.received, report.expected), QVL_Continue);
    EXPECT_EQ(launcher_->HasTasks(), report.posts) << report.received << "/" << report.expected;
    RunAllTasks();
  }
  EXPECT_TRUE(Logged("Current progress: 50 (500/1000)."));
  EXPECT_TRUE(Logged("Current progress: 0 (10/0)."));
  // The task for 100 % moves on to the initializing screen.
  EXPECT_EQ(launcher_->GetState(), LauncherState::Initializing);
}

TEST_F(LauncherTest, ProgressAbove100PercentChangesNoState) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnModuleDownloadProgress(1500, 1000);
  RunAllTasks();
  EXPECT_TRUE(Logged("Current progress: 150 (1500/1000)."));
  EXPECT_EQ(launcher_->GetState(), LauncherState::Downloading);
}

TEST_F(LauncherTest, ProgressAsksToCancelOnceExitIsRequested) {
  launcher_->RequestExit();
  EXPECT_EQ(launcher_->OnModuleDownloadProgress(1, 10), QVL_Cancel);
}

TEST_F(LauncherTest, FailedLaunchShowsTheErrorScreen) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnGameLauncherFinished(QVL_CdnUnreachable, "no route");
  RunAllTasks();
  EXPECT_EQ(launcher_->GetState(), LauncherState::Error);
  EXPECT_EQ(launcher_->GetLaunchResult(), QVL_CdnUnreachable);
  EXPECT_FALSE(launcher_->ExitRequested());
  EXPECT_TRUE(Logged("Launcher finished with: 202, 'no route'."));
  EXPECT_TRUE(Logged("[Err!] Could not reach the Quarvel CDN!"));
  EXPECT_TRUE(Logged("Unlocking the launch lock, allowing next game to launch to take place."));
}

TEST_F(LauncherTest, ImmediateExitEndsTheLoopAfterAnError) {
  immediateExitOnError = true;
  launcher_->OnGameLauncherFinished(QVL_GameBinaryInvalid, nullptr);
  RunAllTasks();
  EXPECT_TRUE(launcher_->ExitRequested());
  EXPECT_TRUE(Logged("Launcher finished with: 207, ''."));
}

// A module may report the game as started after the launcher failed to start
// it; the failure stays what the player sees and what the run ends with,
// whether or not its task has run before the success arrives.
void ExpectFailureKept(LauncherTest& test, AntiCheatLauncher& launcher, bool taskRunsFirst) {
  launcher.SetState(LauncherState::Downloading);
  launcher.OnGameLauncherFinished(QVL_GameStartFailed, "Failed to create the game process: denied");
  if (taskRunsFirst) test.RunAllTasks();
  launcher.OnGameLauncherFinished(QVL_Success, "Quarvel successfully loaded in-game");
  test.RunAllTasks();
  EXPECT_EQ(launcher.GetState(), LauncherState::Error);
  EXPECT_EQ(launcher.GetLaunchResult(), QVL_GameStartFailed);
  EXPECT_EQ(launcher.GetLaunchMessage(), "Failed to create the game process: denied");
  EXPECT_TRUE(test.Logged("Ignoring a success reported after the launch had failed with 208."));
  EXPECT_FALSE(test.Logged("Successfully initialized the Quarvel module"));
}

TEST_F(LauncherTest, ASuccessAfterAShownFailureLeavesTheFailure) { ExpectFailureKept(*this, *launcher_, true); }

TEST_F(LauncherTest, ASuccessRightAfterAFailureLeavesTheFailure) { ExpectFailureKept(*this, *launcher_, false); }

TEST_F(LauncherTest, AnUnclassifiedResultIsTakenApartFromNoResult) {
  EXPECT_FALSE(launcher_->LaunchResultReceived());
  launcher_->OnGameLauncherFinished(QVL_Unclassified, "odd code");
  RunAllTasks();
  EXPECT_TRUE(launcher_->LaunchResultReceived());
  EXPECT_EQ(launcher_->GetLaunchResult(), QVL_Unclassified);
  EXPECT_TRUE(Logged("Launcher finished with: 0, 'odd code'."));
}

TEST_F(LauncherTest, SuccessWithoutAGameLauncherWaitsWithoutWatching) {
  launcher_->SetState(LauncherState::Downloading);
  launcher_->OnGameLauncherFinished(QVL_Success, "ok");
  RunAllTasks();
  EXPECT_EQ(launcher_->GetState(), LauncherState::WaitingForGame);
  EXPECT_TRUE(Logged("Successfully initialized the Quarvel module, waiting for game window to become visible."));
  // No game launcher, so no watch runs and nothing ends the loop by itself.
  EXPECT_FALSE(launcher_->ExitRequested());
}

// The module loader reports from its own thread while the main thread runs
// the tasks those reports post and moves the state on.
TEST_F(LauncherTest, ReportsFromTheLoaderThreadMeetTheMainThread) {
  launcher_->SetState(LauncherState::Downloading);
  std::thread loader([this] {
    for (std::uint32_t received = 0; received <= 1000; received += 10) {
      launcher_->OnModuleDownloadProgress(received, 1000);
    }
    // A server that sends more than it announced goes on past 100 %.
    for (std::uint32_t received = 1010; received <= 3000; received += 10) {
      launcher_->OnModuleDownloadProgress(received, 1000);
    }
    launcher_->OnGameLauncherFinished(QVL_CdnTransferFailed, "cut off");
  });
  while (launcher_->GetState() != LauncherState::Error) launcher_->RunNextTask();
  loader.join();
  RunAllTasks();
  EXPECT_EQ(launcher_->GetLaunchResult(), QVL_CdnTransferFailed);
  EXPECT_TRUE(Logged("Launcher finished with: 204, 'cut off'."));
}

}  // namespace
}  // namespace quarvel::launcher
