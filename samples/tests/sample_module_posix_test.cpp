#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sample_module_library.h"
#include "sample_module_test_support.h"

namespace quarvel::samples::test_support {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;

// Given the game's host path, the module can start the game itself; the
// process id then travels in the result record.
TEST(SampleModuleNative, StartsTheGameItselfAndHandsOverItsProcessId) {
  SampleModuleEntries entries;
  std::string error;
  ASSERT_TRUE(LoadSampleModule(entries, error)) << error;
  const std::filesystem::path report =
      std::filesystem::temp_directory_path() / ("qvl-sample-game-" + std::to_string(UniqueNumber()) + ".txt");
  SetEnvironment("QVL_SAMPLE_MODULE_MODE", "start=self");
  received.clear();

  StartRecordData data;
  data.unixGamePath = SampleGamePath();
  data.arguments = {"Z:\\games\\game.exe", "--no-window", "--exit-code", "4", "--report", report.string()};
  bool retried = false;
  EXPECT_EQ(InitializeAsTheBootstrapperDoes(entries.initialize, data, retried), QVL_InitializeOk);
  SetEnvironment("QVL_SAMPLE_MODULE_MODE", nullptr);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].code, QVL_LoaderGameStarted);
  ASSERT_GT(received[0].processId, 0);

  int status = 0;
  ASSERT_EQ(waitpid(received[0].processId, &status, 0), received[0].processId);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 4);

  std::vector<std::string> lines;
  std::ifstream file(report);
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  file.close();
  std::filesystem::remove(report);
  EXPECT_THAT(lines, Contains("SteamNoOverlayUIDrawing=0"));
  EXPECT_THAT(lines, Contains("argument 0=" + SampleGamePath()));
  EXPECT_THAT(lines, Contains("argument 1=--no-window"));
  std::string directory = TestDirectory();
  directory.pop_back();
  EXPECT_THAT(lines, Contains("working-directory=" + directory));
}

}  // namespace
}  // namespace quarvel::samples::test_support
