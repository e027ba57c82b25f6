#include "launch/process/game_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/process/overlay_switch.h"

namespace quarvel::launcher {
namespace {

using test_support::ScratchDirectory;
using ::testing::ElementsAreArray;

#ifdef _WIN32
constexpr const char* kSampleGameName = "qvl_sample_game.exe";
#else
constexpr const char* kSampleGameName = "qvl-sample-game";
#endif

std::string SampleGameDirectory() {
  std::string directory;
  GetExecutableDirectory(directory);
  return directory;
}

std::string SampleGamePath() { return SampleGameDirectory() + kSampleGameName; }

// What the sample game wrote about one run.
struct GameReport {
  std::string workingDirectory;
  std::string overlay;
  std::string commandLine;
  std::vector<std::string> arguments;
};

GameReport ReadGameReport(const std::string& path) {
  GameReport report;
  std::ifstream file(path, std::ios::binary);
  std::string line;
  while (std::getline(file, line)) {
    const auto take = [&line](const std::string& prefix, std::string& into) {
      if (!line.starts_with(prefix)) return false;
      into = line.substr(prefix.size());
      return true;
    };
    std::string value;
    if (take("working-directory=", report.workingDirectory) || take("command-line=", report.commandLine)) continue;
    if (take("SteamNoOverlayUIDrawing=", report.overlay)) continue;
    if (line.starts_with("argument ") && line.find('=') != std::string::npos) {
      report.arguments.push_back(line.substr(line.find('=') + 1));
    }
  }
  return report;
}

// Starts the sample game, waits for it and returns its exit code.
std::uint32_t RunToEnd(GameStartResult& start) {
  EXPECT_EQ(start.status, GameStartStatus::Started) << start.systemError;
  EXPECT_NE(start.process.processId, 0u);
  EXPECT_TRUE(start.process.handle.WaitForExit(std::chrono::seconds(60)));
  std::uint32_t code = 0xFFFFFFFF;
  EXPECT_TRUE(start.process.handle.GetExitCode(code));
  return code;
}

TEST(BuildGameCommandLine, QuotesOnlyThePath) {
  struct Case {
    std::string path;
    std::vector<std::string> arguments;
    std::string expected;
  };
  const Case cases[] = {
      {"C:\\Games\\X\\game.exe", {}, "\"C:\\Games\\X\\game.exe\""},
      {"C:\\Games\\X\\game.exe", {"-a", "--b=1"}, "\"C:\\Games\\X\\game.exe\" -a --b=1"},
      {"C:\\My Games\\game.exe", {"two words"}, "\"C:\\My Games\\game.exe\" two words"},
      {"game.exe", {"\"quoted\"", "back\\slash\\"}, "\"game.exe\" \"quoted\" back\\slash\\"},
      {"game.exe", {"", "x"}, "\"game.exe\"  x"},
      {"C:\\\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0\\game.exe", {"\xC3\xA9"}, "\"C:\\\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0\\game.exe\" \xC3\xA9"},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildGameCommandLine(c.path, c.arguments), c.expected) << c.path;
}

TEST(StartGameProcess, PassesArgumentsDirectoryAndOverlayAndReadsTheExitCode) {
  ScratchDirectory scratch;
  const std::string report = (scratch.path() / "report.txt").string();
  const std::vector<std::string> arguments = {"--no-window", "--exit-code", "7", "--report", report, "two words", "-v"};
  // The bootstrapper runs with the overlay kept out; the game must not.
  SetOverlaySuppression(true);

  GameStartResult start = StartGameProcess(SampleGamePath(), arguments, scratch.path().string());
  EXPECT_EQ(RunToEnd(start), 7u);

  const GameReport seen = ReadGameReport(report);
  EXPECT_TRUE(std::filesystem::equivalent(seen.workingDirectory, scratch.path())) << seen.workingDirectory;
  EXPECT_EQ(seen.overlay, "0");
#ifdef _WIN32
  // The line goes over verbatim, so the blank splits the argument.
  EXPECT_EQ(seen.commandLine, BuildGameCommandLine(SampleGamePath(), arguments));
  EXPECT_THAT(seen.arguments, ElementsAreArray({SampleGamePath(), std::string("--no-window"), std::string("--exit-code"),
                                                std::string("7"), std::string("--report"), report,
                                                std::string("two"), std::string("words"), std::string("-v")}));
#else
  std::vector<std::string> expected = {SampleGamePath()};
  expected.insert(expected.end(), arguments.begin(), arguments.end());
  EXPECT_THAT(seen.arguments, ElementsAreArray(expected));
#endif
}

TEST(StartGameProcess, EmptyWorkingDirectoryMeansOurs) {
  ScratchDirectory scratch;
  const std::string report = (scratch.path() / "report.txt").string();
  GameStartResult start = StartGameProcess(SampleGamePath(), {"--no-window", "--report", report}, "");
  EXPECT_EQ(RunToEnd(start), 0u);
  EXPECT_TRUE(std::filesystem::equivalent(ReadGameReport(report).workingDirectory, std::filesystem::current_path()));
}

// A relative binary path names a file relative to our current directory, not
// to the game's working directory.
TEST(StartGameProcess, RelativePathIsOursNotTheGames) {
  ScratchDirectory scratch;
  const std::string report = (scratch.path() / "report.txt").string();
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(SampleGameDirectory());
  GameStartResult start =
      StartGameProcess(kSampleGameName, {"--no-window", "--exit-code", "3", "--report", report}, scratch.path().string());
  std::filesystem::current_path(previous);
  EXPECT_EQ(RunToEnd(start), 3u);
  EXPECT_TRUE(std::filesystem::equivalent(ReadGameReport(report).workingDirectory, scratch.path()));
}

TEST(StartGameProcess, MissingBinaryFailsWithTheSystemsReason) {
  ScratchDirectory scratch;
  const GameStartResult start = StartGameProcess((scratch.path() / "missing-game").string(), {}, "");
  EXPECT_EQ(start.status, GameStartStatus::Failed);
  EXPECT_FALSE(start.systemError.empty());
  EXPECT_FALSE(start.process.handle.IsValid());
}

}  // namespace
}  // namespace quarvel::launcher
