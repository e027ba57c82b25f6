#include "app/message_box.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/switches.h"
#include "common/testing/test_scratch_directory.h"

// Where SDL cannot draw its box (here: no display at all), the desktop's
// dialog tool shows it, with the text as it is.
namespace quarvel::launcher {
namespace {

// Each tool on the test's PATH writes its arguments, one per line, to
// <its name>.args beside it.
class DesktopToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"PATH", "DISPLAY", "WAYLAND_DISPLAY"}) {
      const char* value = getenv(name);
      saved_[name] = value != nullptr ? value : "";
      had_[name] = value != nullptr;
    }
    setenv("PATH", tools_.path().c_str(), 1);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    immediateExitOnError = false;
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (had_[name]) setenv(name.c_str(), value.c_str(), 1);
      else unsetenv(name.c_str());
    }
  }

  void AddTool(const std::string& name) {
    const std::string path = tools_.Write(name, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n");
    chmod(path.c_str(), 0755);
  }
  std::string ArgumentsOf(const std::string& name) const {
    std::ifstream file(tools_.path() / (name + ".args"));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  test_support::ScratchDirectory tools_;
  std::map<std::string, std::string> saved_;
  std::map<std::string, bool> had_;
};

TEST_F(DesktopToolsTest, ZenityShowsTheErrorWithItsTextUnread) {
  AddTool("zenity");
  AddTool("kdialog");
  ShowLaunchErrorBox("Only <b>one</b> & no more");
  EXPECT_EQ(ArgumentsOf("zenity"),
            "--error\n--no-markup\n--title\nQuarvel Launch Error\n--text\nOnly <b>one</b> & no more\n");
  EXPECT_EQ(ArgumentsOf("kdialog"), "");
}

TEST_F(DesktopToolsTest, KdialogWhenThereIsNoZenity) {
  AddTool("kdialog");
  ShowInformationBox("Quarvel Launch Info", "Downloading undeployed anti-cheat module, build id: 7.");
  EXPECT_EQ(ArgumentsOf("kdialog"),
            "--title\nQuarvel Launch Info\n--msgbox\nDownloading undeployed anti-cheat module, build id: 7.\n");
}

TEST_F(DesktopToolsTest, NothingAtAllWithImmediateExitOnError) {
  AddTool("zenity");
  immediateExitOnError = true;
  ShowLaunchErrorBox("Failed to initialize dependencies.");
  ShowInformationBox("Quarvel Launch Info", "text");
  immediateExitOnError = false;
  EXPECT_EQ(ArgumentsOf("zenity"), "");
}

}  // namespace
}  // namespace quarvel::launcher
