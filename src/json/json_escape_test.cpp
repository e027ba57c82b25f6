#include "json/json_escape.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(EscapeJsonString, EscapesControlBytesQuotesAndBackslashesOnly) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"a\tb\x01" "c", "a\\tb\\u0001c"},
      {"\b\f\n\r", "\\b\\f\\n\\r"},
      {"\x1F", "\\u001F"},
      {"\x1B[0m", "\\u001B[0m"},
      {std::string("x\0y", 3), "x\\u0000y"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"C:\\Games\\game.exe", "C:\\\\Games\\\\game.exe"},
      {"https://example.com/a b", "https://example.com/a b"},  // '/' is not escaped
      {"\x7F", "\x7F"},
      {"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC", "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EscapeJsonString(c.text), c.expected) << c.text;
  }
}

}  // namespace
}  // namespace quarvel
