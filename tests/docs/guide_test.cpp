// The integration guide against the program: its key table is the program's
// key table, its example settings file reads as the guide says, and the
// messages it shows for broken settings are the ones a player gets.
//   QVL_UPDATE_GUIDE=1 qvl_guide_tests   rewrites the guide's key table
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "launch/launcher_settings.h"
#include "common/testing/test_scratch_directory.h"
#include "localization/catalogue_keys.h"
#include "localization/localization.h"

namespace quarvel {
namespace {

using launcher::cLauncherSettings;
using launcher::SettingsStatus;
using launcher::test_support::ScratchDirectory;

const std::string kGuide = std::string(QVL_SOURCE_DIR) + "/docs/integration-guide.md";
constexpr const char* kTableBegin = "<!-- BEGIN generated key table -->\n";
constexpr const char* kTableEnd = "<!-- END generated key table -->";

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string KeyTable() {
  std::string table = "| key | English default |\n|---|---|\n";
  for (const CatalogueText& text : kCatalogueTexts) {
    table += std::string("| `") + text.key + "` | \"" + text.defaultText + "\" |\n";
  }
  for (const char* key : kSystemFontKeys) table += std::string("| `") + key + "` | (empty) |\n";
  return table;
}

// The first fenced block after `marker`, without its fences.
std::string BlockAfter(const std::string& text, const std::string& marker) {
  const std::size_t at = text.find(marker);
  if (at == std::string::npos) return {};
  const std::size_t open = text.find("```", at);
  const std::size_t begin = text.find('\n', open) + 1;
  const std::size_t close = text.find("\n```", begin);
  if (open == std::string::npos || close == std::string::npos) return {};
  return text.substr(begin, close + 1 - begin);
}

TEST(IntegrationGuide, KeyTableIsTheProgramsKeyTable) {
  std::string guide = ReadText(kGuide);
  const std::size_t begin = guide.find(kTableBegin);
  const std::size_t end = guide.find(kTableEnd);
  ASSERT_NE(begin, std::string::npos) << kGuide;
  ASSERT_NE(end, std::string::npos) << kGuide;
  const std::size_t from = begin + std::string(kTableBegin).size();
  const std::string expected = KeyTable();
  if (const char* update = std::getenv("QVL_UPDATE_GUIDE"); update != nullptr && std::string(update) == "1") {
    guide.replace(from, end - from, expected);
    std::ofstream(kGuide, std::ios::binary | std::ios::trunc) << guide;
    return;
  }
  EXPECT_EQ(guide.substr(from, end - from), expected)
      << "The key table of " << kGuide << " differs from the program's; QVL_UPDATE_GUIDE=1 rewrites it.";
}

TEST(IntegrationGuide, ExampleSettingsAreReadAsTheGuideDescribesThem) {
  const std::string example = BlockAfter(ReadText(kGuide), "<!-- settings-example");
  ASSERT_FALSE(example.empty());
  ScratchDirectory scratch;
  cLauncherSettings settings;
  ASSERT_TRUE(settings.Load(scratch.Write("Settings.json", example)));
  EXPECT_EQ(settings.productid, "mygame-live");
  EXPECT_EQ(settings.sandboxid, "mygame-sandbox");
  EXPECT_EQ(settings.deploymentid, "prod-eu1");
  EXPECT_EQ(settings.executable, "MyGame-Win64-Shipping.exe");
  EXPECT_EQ(settings.title, "My Game");
  EXPECT_EQ(settings.requested_splash, "Quarvel/Art/splash.png");
  EXPECT_EQ(settings.environment, "production");
  EXPECT_FALSE(settings.wait_for_game_process_exit);
  EXPECT_FALSE(settings.hide_gui);
  EXPECT_FALSE(settings.hide_bootstrapper);
  EXPECT_TRUE(settings.hide_logo_animation) << "\"1\" is true";
}

TEST(IntegrationGuide, ShowsTheMessagesOfBrokenSettingsAsAPlayerSeesThem) {
  const std::string guide = ReadText(kGuide);
  const std::string example = BlockAfter(guide, "<!-- settings-example");
  ScratchDirectory scratch;
  struct Case {
    const char* name;
    std::string content;  // empty: no file
    SettingsStatus status;
  };
  std::string noSandbox = example;
  noSandbox.erase(noSandbox.find("  \"sandboxid\""), std::string("  \"sandboxid\": \"mygame-sandbox\",\n").size());
  std::string underscore = example;
  underscore.replace(underscore.find("mygame-live"), 11, "my_game");
  const Case cases[] = {
      {"no file", "", SettingsStatus::FileUnreadable},
      {"no sandboxid", noSandbox, SettingsStatus::MissingField},
      {"productid my_game", underscore, SettingsStatus::InvalidIdentifier},
  };
  const cLocalization catalogue;
  for (const Case& test : cases) {
    const std::string path = test.content.empty() ? (scratch.path() / "missing.json").string()
                                                  : scratch.Write("Settings.json", test.content);
    cLauncherSettings settings;
    EXPECT_FALSE(settings.Load(path)) << test.name;
    EXPECT_EQ(settings.status, test.status) << test.name;
    const std::string message = settings.DescribeError("Settings.json", catalogue);
    EXPECT_NE(guide.find("| " + message + " |"), std::string::npos)
        << test.name << ": the guide does not show \"" << message << "\"";
  }
}

}  // namespace
}  // namespace quarvel
