#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/testing/test_scratch_directory.h"
#include "launch/native_module_loader.h"
#include "launch/testing/test_sample_launch.h"

// Protected launches of the sample game with the sample module, loaded from
// memory by the Linux loader.
namespace quarvel::launcher {
namespace {

using test_support::Finished;
using test_support::PayloadLoader;
using test_support::ReadBinary;
using test_support::ReadLines;
using test_support::SampleLaunch;
using test_support::ScratchDirectory;
using test_support::TestBinaryDirectory;
using ::testing::Contains;
using ::testing::HasSubstr;

constexpr const char* kSuccess = "Quarvel successfully loaded in-game";

class NativeModuleLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = ReadBinary(TestBinaryDirectory() + "libqvl_sample_module.so");
    ASSERT_FALSE(module_.empty());
    moduleLog_ = (scratch_.path() / "module.log").string();
    gameReport_ = (scratch_.path() / "game.txt").string();
    setenv("QVL_SAMPLE_MODULE_LOG", moduleLog_.c_str(), 1);
    unsetenv("QVL_SAMPLE_MODULE_MODE");
  }
  void TearDown() override {
    unsetenv("QVL_SAMPLE_MODULE_LOG");
    unsetenv("QVL_SAMPLE_MODULE_MODE");
  }

  std::vector<std::string> GameArguments() const {
    return {"--no-window", "--exit-after-ms", "100", "--exit-code", "7", "--report", gameReport_};
  }
  std::unique_ptr<cModuleLoader> Loader(std::vector<std::uint8_t> payload) const {
    return std::make_unique<PayloadLoader<cNativeModuleLoader>>(std::move(payload), GameArguments());
  }

  ScratchDirectory scratch_;
  std::vector<std::uint8_t> module_;
  std::string moduleLog_;
  std::string gameReport_;
};

TEST_F(NativeModuleLoaderTest, SampleModuleFromMemoryStartsTheGame) {
  SampleLaunch launch(Loader(module_));
  launch.Start("qvl-sample-game", GameArguments());
  EXPECT_EQ(launch.Results(), (std::vector<Finished>{{QVL_Success, kSuccess}}));

  // The launcher started the game when the module asked, and holds it.
  ProcessHandle game = launch.Launcher().DuplicateGameProcessHandle();
  ASSERT_TRUE(game);
  ASSERT_TRUE(game.WaitForExit(std::chrono::seconds(30)));
  std::uint32_t exitCode = 0;
  EXPECT_TRUE(game.GetExitCode(exitCode));
  EXPECT_EQ(exitCode, 7u);
  const std::vector<std::string> report = ReadLines(gameReport_);
  EXPECT_THAT(report, Contains("SteamNoOverlayUIDrawing=0"));
  EXPECT_THAT(report,
              Contains("working-directory=" + TestBinaryDirectory().substr(0, TestBinaryDirectory().size() - 1)));

  launch.End();
  const std::vector<std::string> module = ReadLines(moduleLog_);
  EXPECT_THAT(module, Contains("set-language version=1 language=en region=us"));
  EXPECT_THAT(module, Contains(HasSubstr("initialize version=2 product=sample-product sandbox=sample-sandbox "
                                         "deployment=sample-deployment unix-path=(null) argument-count=0")));
  EXPECT_THAT(module, Contains("report code=508 process-id=0"));
  EXPECT_THAT(module, Contains("report code=1002 process-id=0"));
  EXPECT_EQ(module.back(), "shutdown reason=1");
}

TEST_F(NativeModuleLoaderTest, ModuleAnswersReachTheCaller) {
  const struct {
    const char* mode;
    std::vector<Finished> expected;
  } cases[] = {
      {"v1", {{QVL_Success, kSuccess}}},
      {"init=2", {{QVL_ModuleLoadFailed, "Module initialization failed with 2"}}},
      {"v1,init=0", {{QVL_ModuleLoadFailed, "Module initialization failed with 0"}}},
      {"error", {{QVL_ModuleError, "Sample module: error on request."}}},
      {"codes=1003", {{QVL_Success, kSuccess}}},
  };
  for (const auto& test : cases) {
    setenv("QVL_SAMPLE_MODULE_MODE", test.mode, 1);
    SampleLaunch launch(Loader(module_));
    launch.Start("qvl-sample-game", GameArguments());
    EXPECT_EQ(launch.Results(), test.expected) << test.mode;
  }
}

TEST_F(NativeModuleLoaderTest, PayloadThatIsNoLibraryIsRefused) {
  const std::vector<std::vector<std::uint8_t>> payloads = {
      std::vector<std::uint8_t>(4096, 0x90),
      ReadBinary(TestBinaryDirectory() + "qvl-sample-game"),  // an executable, not a library
  };
  for (const auto& payload : payloads) {
    SampleLaunch launch(Loader(payload));
    launch.Start("qvl-sample-game", GameArguments());
    EXPECT_EQ(launch.Results(),
              (std::vector<Finished>{{QVL_ModuleLoadFailed, "Failed to load the anti-cheat module."}}));
  }
  EXPECT_TRUE(ReadLines(moduleLog_).empty());
}

TEST(CreateModuleLoader, LinuxBuildLoadsNativeModules) {
  const std::unique_ptr<cModuleLoader> loader = CreateModuleLoader({});
  EXPECT_NE(dynamic_cast<cNativeModuleLoader*>(loader.get()), nullptr);
}

}  // namespace
}  // namespace quarvel::launcher
