#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/process/game_process.h"

namespace quarvel::launcher {
namespace {

using test_support::ScratchDirectory;

std::string SampleGamePath() {
  std::string directory;
  GetExecutableDirectory(directory);
  return directory + "qvl_sample_game.exe";
}

// Arguments that make the command line exactly `length` units long (ASCII).
std::vector<std::string> ArgumentsForLength(const std::string& report, std::size_t length) {
  std::vector<std::string> arguments = {"--no-window", "--report", report, ""};
  const std::size_t withoutFiller = BuildGameCommandLine(SampleGamePath(), arguments).size();
  arguments.back().assign(length - withoutFiller, 'x');
  return arguments;
}

std::string ReportedCommandLine(const std::string& report) {
  std::ifstream file(report, std::ios::binary);
  for (std::string line; std::getline(file, line);) {
    if (line.starts_with("command-line=")) return line.substr(13);
  }
  return {};
}

TEST(StartGameProcessWindows, LongestCommandLineArrivesWhole) {
  ScratchDirectory scratch;
  const std::string report = (scratch.path() / "report.txt").string();
  const std::vector<std::string> arguments = ArgumentsForLength(report, 32766);
  GameStartResult start = StartGameProcess(SampleGamePath(), arguments, "");
  ASSERT_EQ(start.status, GameStartStatus::Started) << start.systemError;
  ASSERT_TRUE(start.process.handle.WaitForExit(std::chrono::seconds(60)));
  EXPECT_EQ(ReportedCommandLine(report), BuildGameCommandLine(SampleGamePath(), arguments));
}

// One unit more is refused, not cut: a cut line would end the last argument
// early without anyone noticing.
TEST(StartGameProcessWindows, LongerCommandLineIsRefused) {
  ScratchDirectory scratch;
  const std::string report = (scratch.path() / "report.txt").string();
  const GameStartResult start = StartGameProcess(SampleGamePath(), ArgumentsForLength(report, 32767), "");
  EXPECT_EQ(start.status, GameStartStatus::Failed);
  EXPECT_FALSE(start.systemError.empty());
  EXPECT_FALSE(std::filesystem::exists(report));
}

}  // namespace
}  // namespace quarvel::launcher
