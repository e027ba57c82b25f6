#include "launch/launcher_settings.h"

#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

#include "common/logger.h"
#include "common/testing/test_scratch_directory.h"
#include "localization/localization.h"

namespace quarvel::launcher {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

const Fields kValidRequired = {
    {"productid", "quarvel-game"},
    {"sandboxid", "sandbox1"},
    {"deploymentid", "live-01"},
    {"executable", "Bin\\\\game.exe"},
};

// A settings file as games write it: one pretty-printed flat object.
std::string SettingsText(const Fields& fields) {
  std::string text = "{\n";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    text += "  \"" + fields[i].first + "\": \"" + fields[i].second + "\"";
    text += i + 1 < fields.size() ? ",\n" : "\n";
  }
  return text + "}\n";
}

Fields With(Fields fields, const std::string& key, const std::string& value) {
  for (auto& field : fields) {
    if (field.first == key) {
      field.second = value;
      return fields;
    }
  }
  fields.emplace_back(key, value);
  return fields;
}

Fields Without(Fields fields, const std::string& key) {
  std::erase_if(fields, [&](const auto& field) { return field.first == key; });
  return fields;
}

class LauncherSettingsTest : public ::testing::Test {
 protected:
  bool LoadText(const std::string& text) { return settings_.Load(scratch_.Write("Settings.json", text)); }

  test_support::ScratchDirectory scratch_;
  cLauncherSettings settings_;
  cLocalization noCatalogue_;
};

TEST_F(LauncherSettingsTest, StartsUnread) {
  EXPECT_EQ(settings_.status, SettingsStatus::NotLoaded);
  EXPECT_EQ(settings_.DescribeError("Settings.json", noCatalogue_), "");
}

TEST_F(LauncherSettingsTest, ReadsEveryField) {
  const Fields fields = {
      {"title", "Quarvel: Origins, Deluxe"},
      {"productid", "quarvel-game"},
      {"sandboxid", "sandbox1"},
      {"deploymentid", "live-01"},
      {"executable", "Bin\\\\Win64\\\\game.exe"},
      {"requested_splash", "Splash.png"},
      {"environment", "gamedev"},
      {"wait_for_game_process_exit", "1"},
      {"hide_gui", "true"},
      {"hide_bootstrapper", "0"},
      {"hide_logo_animation", "true"},
      {"unknown_key", "ignored"},
  };
  ASSERT_TRUE(LoadText(SettingsText(fields)));
  EXPECT_EQ(settings_.status, SettingsStatus::Loaded);
  EXPECT_EQ(settings_.title, "Quarvel: Origins, Deluxe");
  EXPECT_EQ(settings_.productid, "quarvel-game");
  EXPECT_EQ(settings_.sandboxid, "sandbox1");
  EXPECT_EQ(settings_.deploymentid, "live-01");
  EXPECT_EQ(settings_.executable, "Bin\\Win64\\game.exe");
  EXPECT_EQ(settings_.requested_splash, "Splash.png");
  EXPECT_EQ(settings_.environment, "gamedev");
  EXPECT_TRUE(settings_.wait_for_game_process_exit);
  EXPECT_TRUE(settings_.hide_gui);
  EXPECT_FALSE(settings_.hide_bootstrapper);
  EXPECT_TRUE(settings_.hide_logo_animation);
  EXPECT_EQ(settings_.invalidField, "");
  EXPECT_EQ(settings_.DescribeError("Settings.json", noCatalogue_), "");
}

TEST_F(LauncherSettingsTest, OptionalFieldsKeepTheirDefaultsWhenAbsentOrNotQuoted) {
  ASSERT_TRUE(LoadText(SettingsText(kValidRequired)));
  EXPECT_EQ(settings_.title, "");
  EXPECT_EQ(settings_.requested_splash, "");
  EXPECT_EQ(settings_.environment, "");
  EXPECT_FALSE(settings_.wait_for_game_process_exit);
  EXPECT_FALSE(settings_.hide_gui);
  EXPECT_FALSE(settings_.hide_bootstrapper);
  EXPECT_FALSE(settings_.hide_logo_animation);

  // An unquoted true is not a value: the key swallows the next key instead.
  std::string text = SettingsText(kValidRequired);
  text.insert(2, "\"wait_for_game_process_exit\": true,\n  \"hide_gui\": \"1\",\n");
  ASSERT_TRUE(LoadText(text));
  EXPECT_FALSE(settings_.wait_for_game_process_exit);
  EXPECT_TRUE(settings_.hide_gui);
}

struct StatusCase {
  const char* what;
  Fields fields;
  SettingsStatus status;
  const char* invalidField;
  const char* text;
};

TEST_F(LauncherSettingsTest, EachFailureHasItsStatusAndText) {
  const std::string longest(64, 'a');
  const std::string mixed64 = "0123456789-abcdefghijklmnopqrstuvwxyz-ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  ASSERT_EQ(mixed64.size(), 64u);
  const StatusCase cases[] = {
      {"shortest identifiers", With(With(With(kValidRequired, "productid", "ab"), "sandboxid", "1-"),
                                    "deploymentid", "--"),
       SettingsStatus::Loaded, "", ""},
      {"longest identifier", With(kValidRequired, "productid", longest), SettingsStatus::Loaded, "", ""},
      {"letters digits hyphens", With(kValidRequired, "deploymentid", mixed64), SettingsStatus::Loaded, "", ""},
      {"no productid", Without(kValidRequired, "productid"), SettingsStatus::MissingField, "",
       "Settings.json is missing a required field (productid)"},
      {"no sandboxid", Without(kValidRequired, "sandboxid"), SettingsStatus::MissingField, "",
       "Settings.json is missing a required field (sandboxid)"},
      {"no deploymentid", Without(kValidRequired, "deploymentid"), SettingsStatus::MissingField, "",
       "Settings.json is missing a required field (deploymentid)"},
      {"no executable", Without(kValidRequired, "executable"), SettingsStatus::MissingField, "",
       "Settings.json is missing a required field (executable)"},
      {"digit is not text", With(kValidRequired, "sandboxid", "7"), SettingsStatus::MissingField, "",
       "Settings.json is missing a required field (sandboxid)"},
      {"boolean is not text", With(kValidRequired, "executable", "true"), SettingsStatus::MissingField, "",
       "Settings.json is missing a required field (executable)"},
      {"one character", With(kValidRequired, "productid", "a"), SettingsStatus::InvalidIdentifier,
       "productid", "Settings.json contains an invalid Tavik identifier: (productid)"},
      {"65 characters", With(kValidRequired, "productid", longest + "b"), SettingsStatus::InvalidIdentifier,
       "productid", "Settings.json contains an invalid Tavik identifier: (productid)"},
      {"underscore", With(kValidRequired, "productid", "quarvel_game"), SettingsStatus::InvalidIdentifier,
       "productid", "Settings.json contains an invalid Tavik identifier: (productid)"},
      {"space", With(kValidRequired, "productid", "quarvel game"), SettingsStatus::InvalidIdentifier,
       "productid", "Settings.json contains an invalid Tavik identifier: (productid)"},
      {"empty", With(kValidRequired, "productid", ""), SettingsStatus::InvalidIdentifier, "productid",
       "Settings.json contains an invalid Tavik identifier: (productid)"},
      {"non-ASCII letter", With(kValidRequired, "sandboxid", "sandb\xC3\xB6x"),
       SettingsStatus::InvalidIdentifier, "sandboxid",
       "Settings.json contains an invalid Tavik identifier: (sandboxid)"},
      {"path characters", With(kValidRequired, "deploymentid", "..\\\\live"),
       SettingsStatus::InvalidIdentifier, "deploymentid",
       "Settings.json contains an invalid Tavik identifier: (deploymentid)"},
      {"first bad identifier is named", With(With(kValidRequired, "sandboxid", "x"), "deploymentid", "y"),
       SettingsStatus::InvalidIdentifier, "sandboxid",
       "Settings.json contains an invalid Tavik identifier: (sandboxid)"},
  };
  for (const StatusCase& c : cases) {
    EXPECT_EQ(LoadText(SettingsText(c.fields)), c.status == SettingsStatus::Loaded) << c.what;
    EXPECT_EQ(settings_.status, c.status) << c.what;
    EXPECT_EQ(settings_.invalidField, c.invalidField) << c.what;
    EXPECT_EQ(settings_.DescribeError("Settings.json", noCatalogue_), c.text) << c.what;
  }
}

TEST_F(LauncherSettingsTest, AMissingOrEmptyFileIsNotFound) {
  const std::pair<const char*, std::string> cases[] = {
      {"missing", (scratch_.path() / "Absent.json").string()},
      {"empty", scratch_.Write("Empty.json", "")},
      {"directory", scratch_.path().string()},
  };
  for (const auto& [what, path] : cases) {
    EXPECT_FALSE(settings_.Load(path)) << what;
    EXPECT_EQ(settings_.status, SettingsStatus::FileUnreadable) << what;
    EXPECT_EQ(settings_.DescribeError("Settings.json", noCatalogue_), "Settings.json not found") << what;
  }
}

// A valid file padded with spaces to the given size.
std::string PaddedSettings(std::size_t size) {
  std::string text = R"({"productid":"p-1","sandboxid":"s-1","deploymentid":"d-1","executable":"game.exe"})";
  text.resize(size, ' ');
  return text;
}

TEST_F(LauncherSettingsTest, AFileAboveOneMebibyteIsUnreadable) {
  EXPECT_TRUE(LoadText(PaddedSettings(cLauncherSettings::kMaxSettingsFileSize)));
  EXPECT_FALSE(LoadText(PaddedSettings(cLauncherSettings::kMaxSettingsFileSize + 1)));
  EXPECT_EQ(settings_.status, SettingsStatus::FileUnreadable);
  EXPECT_EQ(settings_.DescribeError("Settings.json", noCatalogue_), "Settings.json not found");
}

TEST_F(LauncherSettingsTest, BrokenFilesEndAsAMissingField) {
  ASSERT_FALSE(LoadText("not json at all"));
  EXPECT_EQ(settings_.status, SettingsStatus::MissingField);
  ASSERT_FALSE(LoadText("{\"productid\": quarvel, \"sandboxid\": \"s1\"}"));
  EXPECT_EQ(settings_.status, SettingsStatus::MissingField);
}

TEST_F(LauncherSettingsTest, ALoadStartsFromTheDefaults) {
  ASSERT_TRUE(LoadText(SettingsText(With(With(kValidRequired, "title", "Game"), "hide_gui", "1"))));
  ASSERT_FALSE(LoadText(SettingsText(With(kValidRequired, "productid", "x"))));
  ASSERT_FALSE(LoadText(SettingsText(Without(kValidRequired, "deploymentid"))));
  EXPECT_EQ(settings_.status, SettingsStatus::MissingField);
  EXPECT_EQ(settings_.invalidField, "");
  EXPECT_EQ(settings_.title, "");
  EXPECT_FALSE(settings_.hide_gui);
  EXPECT_EQ(settings_.executable, "");  // read after the missing key, so never read
}

TEST_F(LauncherSettingsTest, ErrorTextsComeFromTheCatalogueWithTheResolvedName) {
  const std::string catalogue =
      "launcher:\n"
      "{\n"
      "  error_no_settings_file = \"{0} fehlt\";\n"
      "  error_invalid_tavik_identifier = \"{1} in {0} ist ungueltig\";\n"
      "}\n";
  cLocalization german;
  std::string error;
  ASSERT_TRUE(german.LoadFile(scratch_.Write("de.cfg", catalogue), error)) << error;

  settings_.Load((scratch_.path() / "Dev.json").string());
  EXPECT_EQ(settings_.DescribeError("Dev.json", german), "Dev.json fehlt");

  ASSERT_FALSE(LoadText(SettingsText(With(kValidRequired, "deploymentid", "x"))));
  EXPECT_EQ(settings_.DescribeError("Dev.json", german), "deploymentid in Dev.json ist ungueltig");

  // Keys the catalogue lacks fall back to the English default.
  ASSERT_FALSE(LoadText(SettingsText(Without(kValidRequired, "executable"))));
  EXPECT_EQ(settings_.DescribeError("Dev.json", german), "Dev.json is missing a required field (executable)");
}

// Collects the bodies of the lines logged through the global Log.
class LogCapture {
 public:
  LogCapture() {
    logger_.StartWorker();
    logger_.AttachSink(
        [this](unsigned, const char* line) {
          std::lock_guard lock(mutex_);
          const std::string text = line;
          const std::size_t tag = text.find("[Info] ");
          lines_.push_back(tag == std::string::npos ? text : text.substr(tag + 7));
        },
        3);
    SetActiveLogger(&logger_);
  }
  ~LogCapture() { SetActiveLogger(nullptr); }

  std::vector<std::string> Stop() {
    SetActiveLogger(nullptr);
    logger_.StopWorker();
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  cLogger logger_;
  std::mutex mutex_;
  std::vector<std::string> lines_;
};

TEST_F(LauncherSettingsTest, LogSettingsWritesTheFieldsInOrder) {
  ASSERT_TRUE(LoadText(SettingsText(With(With(With(kValidRequired, "hide_bootstrapper", "true"),
                                              "environment", "gamedev"),
                                         "hide_logo_animation", "1"))));
  LogCapture capture;
  settings_.LogSettings();
  const std::vector<std::string> expected = {
      "Provided settings:",
      " - ProcessTitle: N/A.",
      " - ExecutablePath: Bin\\game.exe.",
      " - ProductId: quarvel-game.",
      " - SandboxId: sandbox1.",
      " - DeploymentId: live-01.",
      " - RequestedSplashScreen: N/A.",
      " - WaitForGameProcessExit: false.",
      " - HideGUI: false.",
      " - HideBootstrapper: true.",
  };
  EXPECT_EQ(capture.Stop(), expected);
}

}  // namespace
}  // namespace quarvel::launcher
