#include "common/strings.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(FormatPlaceholders, ReplacesOnlyTheFirstOccurrenceOfEachIndex) {
  struct Case {
    std::string text;
    std::vector<std::string> args;
    std::string expected;
  };
  const Case cases[] = {
      {"Could not locate the game binary: '{0}'", {"C:\\Game\\game.exe"},
       "Could not locate the game binary: 'C:\\Game\\game.exe'"},
      {"{0} and {0}", {"x"}, "x and {0}"},
      {"{1} before {0}", {"a", "b"}, "b before a"},
      {"no placeholders", {"a", "b"}, "no placeholders"},
      {"{0} {1} {2}", {"a"}, "a {1} {2}"},
      // An argument that carries a later placeholder has that one replaced.
      {"{0}!", {"{1}", "late"}, "late!"},
      {"{10}", {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "ten"}, "ten"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    FormatPlaceholders(text, c.args);
    EXPECT_EQ(text, c.expected) << "from " << c.text;
  }
}

TEST(ReplaceFirst, ReportsWhetherAnythingWasReplaced) {
  std::string text = "a-b-c";
  EXPECT_TRUE(ReplaceFirst(text, "-", "+"));
  EXPECT_EQ(text, "a+b-c");
  EXPECT_FALSE(ReplaceFirst(text, "x", "y"));
  EXPECT_EQ(text, "a+b-c");
}

TEST(SplitByAny, FollowsTheDelimiterRules) {
  using List = std::vector<std::string>;
  struct Case {
    std::string text, delimiters;
    List expected;
  };
  const Case cases[] = {
      {"section", ".", {}},  // no delimiter at all gives nothing
      {"section.key", ".", {"section", "key"}},
      {"a b", " ", {"a", "b"}},
      {" abc", " ", {"abc"}},
      {"a,,b;;c", ",;", {"a", "b", "c"}},
      {"a..", ".", {"a"}},
      {"...", ".", {}},
      {"a.b", "", {}},
      {"", ".", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitByAny(c.text, c.delimiters), c.expected) << "'" << c.text << "'";
  }
}

TEST(EqualsIgnoreCaseAscii, FoldsOnlyAsciiLetters) {
  EXPECT_TRUE(EqualsIgnoreCaseAscii("Settings.JSON", "settings.json"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii("abc", "abcd"));
  EXPECT_FALSE(EqualsIgnoreCaseAscii("\xC3\x84", "\xC3\xA4"));  // Ä and ä stay different
  EXPECT_TRUE(EqualsIgnoreCaseAscii("", ""));
}

TEST(FormatString, CutsAndTerminatesAndSaysSo) {
  char buffer[8];
  EXPECT_EQ(FormatString(buffer, sizeof(buffer), "%d", 1234), 4);
  EXPECT_STREQ(buffer, "1234");
  EXPECT_EQ(FormatString(buffer, sizeof(buffer), "%s", "123456789"), -1);
  EXPECT_STREQ(buffer, "1234567");
}

TEST(FormatWideString, FailsWhenTheOutputDoesNotFit) {
  wchar_t buffer[6];
  EXPECT_EQ(FormatWideString(buffer, 6, L"%d", 42), 2);
  EXPECT_EQ(std::wstring(buffer), L"42");
  EXPECT_EQ(FormatWideString(buffer, 6, L"%d", 1234567), -1);
}

TEST(CopyWideTruncated, ReturnsTheFullSourceLength) {
  wchar_t buffer[4];
  EXPECT_EQ(CopyWideTruncated(buffer, L"abcdef", 4), 6u);
  EXPECT_EQ(std::wstring(buffer), L"abc");
  EXPECT_EQ(CopyWideTruncated(buffer, L"ab", 4), 2u);
  EXPECT_EQ(std::wstring(buffer), L"ab");
}

TEST(SplitFileExtension, TakesTheLastDotEvenAcrossSeparators) {
  struct Case {
    const char* path;
    std::string extension;
  };
  const Case cases[] = {
      {"C:\\Game\\game.exe", ".exe"},
      {"C:\\my.dir\\file", ".dir\\file"},
      {"archive.tar.gz", ".gz"},
      {"trailing.", ""},
      {"none", ""},
  };
  for (const Case& c : cases) {
    std::string full, extension;
    SplitFileExtension(c.path, full, extension);
    EXPECT_EQ(full, c.path);
    EXPECT_EQ(extension, c.extension) << c.path;
  }
  std::string full = "kept", extension = "kept";
  SplitFileExtension(nullptr, full, extension);
  EXPECT_EQ(full, "kept");
}

}  // namespace
}  // namespace quarvel
