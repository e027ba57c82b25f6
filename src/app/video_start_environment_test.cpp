#include "app/video_start_environment.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

// The video start's environment is the bootstrapper's own: whatever the user
// had is back once SDL's video has started, so the game inherits it.
namespace quarvel::launcher {
namespace {

std::optional<std::string> Read(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void Put(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

TEST(VideoStartEnvironment, SkipsComposeAndBusAutolaunchThenGivesTheUsersBack) {
  struct Case {
    std::optional<std::string> compose, bus;  // what the user had
    std::optional<std::string> busDuring;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt, "disabled:"},
      {"/home/player/.XCompose", std::nullopt, "disabled:"},
      // A session bus the user has is used, and stays.
      {std::nullopt, "unix:path=/run/user/1000/bus", "unix:path=/run/user/1000/bus"},
      {"", "", ""},
  };
  const std::optional<std::string> compose = Read("XCOMPOSEFILE");
  const std::optional<std::string> bus = Read("DBUS_SESSION_BUS_ADDRESS");
  for (const Case& c : cases) {
    Put("XCOMPOSEFILE", c.compose);
    Put("DBUS_SESSION_BUS_ADDRESS", c.bus);
    {
      const cVideoStartEnvironment environment;
      EXPECT_EQ(Read("XCOMPOSEFILE"), std::optional<std::string>("/dev/null"));
      EXPECT_EQ(Read("DBUS_SESSION_BUS_ADDRESS"), c.busDuring);
    }
    EXPECT_EQ(Read("XCOMPOSEFILE"), c.compose);
    EXPECT_EQ(Read("DBUS_SESSION_BUS_ADDRESS"), c.bus);
  }
  Put("XCOMPOSEFILE", compose);
  Put("DBUS_SESSION_BUS_ADDRESS", bus);
}

}  // namespace
}  // namespace quarvel::launcher
