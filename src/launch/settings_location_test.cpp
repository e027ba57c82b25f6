#include "launch/settings_location.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "common/platform.h"
#include "common/testing/test_scratch_directory.h"
#include "launch/launcher_settings.h"

namespace quarvel::launcher {
namespace {

using Arguments = std::vector<std::string>;

TEST(SettingsLocation, ResolveTakesTheFileNameAndRemovesItsArgument) {
  const struct {
    const char* what;
    Arguments arguments;
    std::string fileName;
    Arguments passedOn;
  } cases[] = {
      {"no switch", {"-windowed", "-v"}, "Settings.json", {"-windowed", "-v"}},
      {"no arguments", {}, "Settings.json", {}},
      {"plain", {"-windowed", "-anticheat_settings=Dev.json", "-v"}, "Dev.json", {"-windowed", "-v"}},
      {"two hyphens", {"--anticheat_settings=Dev.json"}, "Dev.json", {}},
      {"whole argument quoted", {"\"-anticheat_settings=Dev.json\""}, "Dev.json", {}},
      {"name quoted for its space", {"-anticheat_settings=\"My Dev.json\"", "x"}, "My Dev.json", {"x"}},
      {"apostrophes", {"'-anticheat_settings=Dev.json'"}, "Dev.json", {}},
      {"other text before the switch", {"x-anticheat_settings=Dev.json"}, "Settings.json",
       {"x-anticheat_settings=Dev.json"}},
      {"three hyphens", {"---anticheat_settings=Dev.json"}, "Settings.json", {"---anticheat_settings=Dev.json"}},
      {"switch is case-sensitive", {"-AntiCheat_Settings=Dev.json"}, "Settings.json",
       {"-AntiCheat_Settings=Dev.json"}},
      {"no equals sign", {"-anticheat_settings", "Dev.json"}, "Settings.json", {"-anticheat_settings", "Dev.json"}},
      {"refused one is skipped", {"x-anticheat_settings=A.json", "-anticheat_settings=B.json"}, "B.json",
       {"x-anticheat_settings=A.json"}},
      {"every copy is removed", {"-anticheat_settings=A.json", "-x", "-anticheat_settings=A.json"}, "A.json",
       {"-x"}},
      {"the first accepted wins", {"-anticheat_settings=A.json", "-anticheat_settings=B.json"}, "A.json",
       {"-anticheat_settings=B.json"}},
      {"copies differing in quotes stay", {"-anticheat_settings=A.json", "\"-anticheat_settings=A.json\""},
       "A.json", {"\"-anticheat_settings=A.json\""}},
      {"empty name", {"-anticheat_settings="}, "", {}},
  };
  for (const auto& c : cases) {
    Arguments arguments = c.arguments;
    EXPECT_EQ(ResolveSettingsFileName(arguments), c.fileName) << c.what;
    EXPECT_EQ(arguments, c.passedOn) << c.what;
  }
}

TEST(SettingsLocation, TheFileIsAlwaysInTheQuarvelDirectory) {
  const std::string directory = std::string("games") + kPathSeparator + "x" + kPathSeparator;
  const std::string quarvel = directory + "Quarvel" + kPathSeparator;
  EXPECT_EQ(BuildSettingsPath(directory, "Settings.json"), quarvel + "Settings.json");
  EXPECT_EQ(BuildSettingsPath(directory, "My Dev.json"), quarvel + "My Dev.json");
  // A full path is not honoured as such.
  const std::string full = std::string(1, kPathSeparator) + "elsewhere" + kPathSeparator + "Dev.json";
  EXPECT_EQ(BuildSettingsPath(directory, full), quarvel + full);
}

TEST(SettingsLocation, ANameWithAParentComponentLeavesTheDirectoryAndIsRefused) {
  const std::pair<const char*, bool> cases[] = {
      {"Settings.json", true},
      {"dev/Dev.json", true},
      {"dev\\Dev.json", true},
      {"..Settings.json", true},
      {"dev/..json", true},
      {"", true},
      {"../Settings.json", false},
      {"..\\Settings.json", false},
      {"dev/../../Settings.json", false},
      {"dev\\..\\x.json", false},
      {"dev/..", false},
      {"..", false},
  };
  for (const auto& [name, inside] : cases) EXPECT_EQ(IsSettingsFileNameInside(name), inside) << name;
}

TEST(SettingsLocation, ThePublicEntryUsesTheExecutableDirectory) {
  std::string directory, path;
  ASSERT_EQ(GetExecutableDirectory(directory), ExecutableDirectoryResult::Ok);
  ASSERT_TRUE(GetSettingsPath("Settings.json", path));
  EXPECT_EQ(path, directory + "Quarvel" + kPathSeparator + "Settings.json");
}

// From the command line to the loaded record, with a scratch directory in the
// place of the executable's.
TEST(SettingsLocation, TheNamedFileIsTheOneLoaded) {
  test_support::ScratchDirectory executableDirectory;
  const std::string directory = executableDirectory.path().string() + kPathSeparator;
  executableDirectory.Write(
      std::filesystem::path("Quarvel") / "My Dev.json",
      R"({"productid":"dev-product","sandboxid":"dev","deploymentid":"dev-1","executable":"game.exe"})");

  Arguments arguments = {"-windowed", "--anticheat_settings=\"My Dev.json\""};
  const std::string fileName = ResolveSettingsFileName(arguments);
  cLauncherSettings settings;
  EXPECT_TRUE(settings.Load(BuildSettingsPath(directory, fileName)));
  EXPECT_EQ(settings.productid, "dev-product");
  EXPECT_EQ(arguments, Arguments{"-windowed"});

  // Without the switch the default name is looked for, and it is not there.
  arguments = {"-windowed"};
  EXPECT_FALSE(settings.Load(BuildSettingsPath(directory, ResolveSettingsFileName(arguments))));
  EXPECT_EQ(settings.status, SettingsStatus::FileUnreadable);
}

}  // namespace
}  // namespace quarvel::launcher
