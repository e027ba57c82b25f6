#include "localization/cfg_parser.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace quarvel {
namespace {

struct Entry {
  std::string section;
  std::string key;
  std::string value;
};

CfgSections TableOf(const std::vector<Entry>& entries) {
  CfgSections sections;
  for (const Entry& entry : entries) sections[entry.section][entry.key] = entry.value;
  return sections;
}

TEST(CfgParser, ParsesFilesAndReportsTheFirstBadLine) {
  struct Case {
    const char* name;
    std::string text;
    std::string lineError;  // empty when the parse succeeds
    std::vector<Entry> entries;
  };
  const Case cases[] = {
      {"quoted value of two words", "launcher:\n{\n  btn_exit = \"Two words\";\n}\n", "",
       {{"launcher", "btn_exit", "Two words"}}},
      {"no final line feed", "launcher:\n{\n  btn_exit = \"Two words\";\n}", "",
       {{"launcher", "btn_exit", "Two words"}}},
      {"entry on a last line without line feed", "s:\n{\nk = \"v\";", "", {{"s", "k", "v"}}},
      {"runs of spaces become one", "s:\n{\nk = \"a   b    c\";\n}\n", "", {{"s", "k", "a b c"}}},
      {"quotes only delimit", "s:\n{\nk = \"a\"b;\n}\n", "", {{"s", "k", "a b"}}},
      {"value bytes are kept", "s:\n{\nk = \"Gr\xC3\xBC\xC3\x9F\x65\";\n}\n", "",
       {{"s", "k", "Gr\xC3\xBC\xC3\x9F\x65"}}},
      {"value without semicolon keeps its last letter", "s:\n{\nk = value\n}\n", "", {{"s", "k", "value"}}},
      {"later key wins", "s:\n{\nk = \"1\";\nk = \"2\";\n}\n", "", {{"s", "k", "2"}}},
      {"blank, CR LF and comment lines anywhere",
       "\r\n# note\r\nlauncher:\r\n// note\r\n\r\n  # note\r\n{\r\n  a = \"1\";\r\n\r\n// note\r\n}\r\n\r\n",
       "", {{"launcher", "a", "1"}}},
      {"indented header names the same section", " \t launcher:\n{\nk = \"v\";\n}\n", "",
       {{"launcher", "k", "v"}}},
      {"inner blanks belong to the section name", "my section:\n{\nk = \"v\";\n}\n", "",
       {{"my section", "k", "v"}}},
      {"anything outside a section is ignored", "k = \"v\";\n{\n}\ns:\n{\n}\n", "", {}},
      {"rest of the brace lines is ignored", "s:\n{ x\nk = \"v\";\n} y\nt:\n{\n}\n", "", {{"s", "k", "v"}}},
      {"two sections", "a:\n{\nk = \"1\";\n}\nb:\n{\nk = \"2\";\n}\n", "",
       {{"a", "k", "1"}, {"b", "k", "2"}}},
      {"leading byte-order mark", "\xEF\xBB\xBFs:\n{\nk = \"v\";\n}\n", "", {{"s", "k", "v"}}},

      {"entry right after the header", "launcher:\n  btn = \"x\";\n}\n", "Expected '{' at position 12", {}},
      {"brace offset counts CR LF", "s:\r\n\r\n  x\r\n", "Expected '{' at position 8", {}},
      {"key and equals only", "s:\n{\n  k =;\n}\n", "Expected an expression at position 7", {}},
      {"second piece is not equals", "s:\n{\nk : \"v\";\n}\n", "Expected '=' at position 5", {}},
      {"equals glued to the key", "s:\n{\nk= \"v\";\n}\n", "Expected an expression at position 5", {}},
      {"header while a section is open", "a:\n{\nb:\n{\n}\n", "Expected an expression at position 5", {}},
      {"earlier entries survive a bad line", "s:\n{\na = \"1\";\nbad\nb = \"2\";\n}\n",
       "Expected an expression at position 14", {{"s", "a", "1"}}},
  };
  for (const Case& c : cases) {
    cCfgParser parser;
    std::string error = "stale";
    const bool ok = parser.Parse(c.text, error);
    EXPECT_EQ(ok, c.lineError.empty()) << c.name;
    EXPECT_EQ(error, ok ? "" : "Config parsing error") << c.name;
    EXPECT_EQ(parser.LineError(), c.lineError) << c.name;
    EXPECT_EQ(parser.Sections(), TableOf(c.entries)) << c.name;
  }
}

TEST(CfgParser, EmptyTextIsAnError) {
  cCfgParser parser;
  std::string error;
  EXPECT_FALSE(parser.Parse("", error));
  EXPECT_EQ(error, "Config file data empty");
}

TEST(CfgParser, SecondTextAddsToTheTable) {
  cCfgParser parser;
  std::string error;
  ASSERT_TRUE(parser.Parse("s:\n{\na = \"1\";\nb = \"1\";\n}\n", error));
  // A section left open by the first text does not carry over.
  ASSERT_TRUE(parser.Parse("s:\n{\nb = \"2\";\nc = \"2\";\n", error));
  ASSERT_TRUE(parser.Parse("t:\n{\nd = \"3\";\n}\n", error));
  EXPECT_EQ(parser.Sections(),
            TableOf({{"s", "a", "1"}, {"s", "b", "2"}, {"s", "c", "2"}, {"t", "d", "3"}}));
}

}  // namespace
}  // namespace quarvel
