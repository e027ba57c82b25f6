#include "app/switches.h"

#include <gtest/gtest.h>

#include "common/platform.h"

namespace quarvel::launcher {
namespace {

TEST(SplitCommandLine, FollowsTheQuotingRules) {
  using List = std::vector<std::string>;
  struct Case {
    std::string line;
    List expected;
  };
  const Case cases[] = {
      {"\"C:\\Program Files\\Game\\game.exe\" -first\t-second", {"-first", "-second"}},
      {"game.exe", {}},
      {"game.exe   ", {}},
      {"\"unterminated program name", {}},
      {"game.exe a\"b c\"d", {"a\"b c\"d"}},
      // An escaped quote does not open quoting: the space still ends it.
      {"game.exe \\\"a b", {"\\\"a", "b"}},
      // Two backslashes before a quote: the quote toggles.
      {"game.exe \\\\\"a b\"", {"\\\\\"a b\""}},
      {"game.exe \"\"", {"\"\""}},
      {"game.exe -anticheat_settings=\"My Settings.json\" -v",
       {"-anticheat_settings=\"My Settings.json\"", "-v"}},
      {"game.exe \xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0 x", {"\xD0\xB8\xD0\xB3\xD1\x80\xD0\xB0", "x"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
}

TEST(ReadEnvironmentSwitch, IsOnOnlyForExactlyOne) {
  const std::string name = "QVL_TEST_SWITCH";
  const std::pair<const char*, bool> cases[] = {
      {"1", true}, {"0", false}, {"", false}, {"true", false}, {" 1", false}, {"01", false}, {"1 ", false}};
  for (const auto& [value, expected] : cases) {
    SetEnvironmentVariableUtf8(name, value);
    EXPECT_EQ(ReadEnvironmentSwitch(name), expected) << "'" << value << "'";
  }
  EXPECT_FALSE(ReadEnvironmentSwitch("QVL_TEST_SWITCH_NEVER_SET"));
}

TEST(SetOverlaySuppression, WritesOneOrZero) {
  std::string value;
  SetOverlaySuppression(true);
  ASSERT_TRUE(GetEnvironmentVariableUtf8(kOverlayVariable, value));
  EXPECT_EQ(value, "1");
  SetOverlaySuppression(false);
  ASSERT_TRUE(GetEnvironmentVariableUtf8(kOverlayVariable, value));
  EXPECT_EQ(value, "0");
}

}  // namespace
}  // namespace quarvel::launcher
