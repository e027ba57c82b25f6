#include "json/json_document.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/random.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;

using Strings = std::map<std::string, std::string>;
using Booleans = std::map<std::string, bool>;
using Integers = std::map<std::string, std::int32_t>;

struct ParseCase {
  const char* what;
  std::string text;
  Strings strings;
  Booleans booleans;
  Integers integers;
};

TEST(JsonDocument, ParseSortsQuotedPairsIntoTheThreeMaps) {
  const ParseCase cases[] = {
      {"single digit", R"({"a":"1"})", {}, {{"a", true}}, {{"a", 1}}},
      {"zero", R"({"a":"0"})", {}, {{"a", false}}, {{"a", 0}}},
      {"two digits stay text", R"({"a":"10"})", {{"a", "10"}}, {}, {}},
      {"negative stays text", R"({"a":"-1"})", {{"a", "-1"}}, {}, {}},
      {"booleans", R"({"t":"true","f":"false"})", {}, {{"f", false}, {"t", true}}, {}},
      {"booleans are case-sensitive", R"({"a":"True"})", {{"a", "True"}}, {}, {}},
      {"empty value", R"({"a":""})", {{"a", ""}}, {}, {}},
      {"single non-digit", R"({"a":"x"})", {{"a", "x"}}, {}, {}},
      {"first boolean wins", R"({"a":"true","a":"false"})", {}, {{"a", true}}, {}},
      {"first text wins", R"({"a":"x","a":"y"})", {{"a", "x"}}, {}, {}},
      // The first value is kept per map, so a key seen with two kinds of value
      // lands in both maps.
      {"first wins per map", R"({"a":"x","a":"true"})", {{"a", "x"}}, {{"a", true}}, {}},
      {"unquoted value takes the next key", R"({"a": true, "b":"x"})", {{"a", "b"}, {"b", "x"}}, {}, {}},
      {"unquoted number takes the next key", R"({"n": 5, "hide_gui":"1"})", {{"n", "hide_gui"}},
       {{"hide_gui", true}}, {{"hide_gui", 1}}},
      {"four backslashes fold to one", R"({"p":"C:\\\\x"})", {{"p", "C:\\x"}}, {}, {}},
      {"doubled path separators", R"({"executable":"C:\\Games\\Bin\\game.exe"})",
       {{"executable", "C:\\Games\\Bin\\game.exe"}}, {}, {}},
      {"a lone backslash stays", R"({"p":"a\b"})", {{"p", "a\\b"}}, {}, {}},
      // A backslash does not protect a quote: the value ends there and the rest
      // is scanned as further pairs. Keys are taken raw, without folding.
      {"escaped quote ends the value", R"({"t":"a\",\"k\":\"v"})", {{"t", "a\\"}, {"k\\", "v"}}, {}, {}},
      {"nested keys read as top level", R"({"outer":{"inner":"v","x":"1"}})", {{"outer", "inner"}},
       {{"x", true}}, {{"x", 1}}},
      {"whitespace and new lines play no role",
       "{\n\t\"productid\" : \"abc\",\n  \"hide_gui\":\r\n \"true\"\n}\n", {{"productid", "abc"}},
       {{"hide_gui", true}}, {}},
      {"byte-order mark is ignored", "\xEF\xBB\xBF{\"a\":\"b\"}", {{"a", "b"}}, {}, {}},
      {"comma inside a value", R"({"title":"Quarvel, the Game","environment":"gamedev"})",
       {{"environment", "gamedev"}, {"title", "Quarvel, the Game"}}, {}, {}},
      {"trailing comma", R"({"a":"b",})", {{"a", "b"}}, {}, {}},
      {"unterminated value", R"({"a":"b)", {}, {}, {}},
      {"no colon", R"({"a" "b"})", {}, {}, {}},
      {"key at the very end", R"({"a")", {}, {}, {}},
      {"single character", "{", {}, {}, {}},
      {"single quote character", "\"", {}, {}, {}},
      {"not an object at all", "plain text, with: punctuation", {}, {}, {}},
  };
  for (const ParseCase& c : cases) {
    cJsonDocument document;
    EXPECT_TRUE(document.Parse(c.text)) << c.what;
    EXPECT_EQ(document.Strings(), c.strings) << c.what;
    EXPECT_EQ(document.Booleans(), c.booleans) << c.what;
    EXPECT_EQ(document.Integers(), c.integers) << c.what;
  }
}

TEST(JsonDocument, ParseRefusesOnlyEmptyText) {
  cJsonDocument document;
  EXPECT_FALSE(document.Parse(""));
}

TEST(JsonDocument, LookupsLeaveTheOutputAloneWhenTheKeyIsAbsent) {
  cJsonDocument document;
  ASSERT_TRUE(document.Parse(R"({"s":"text","b":"false","i":"7"})"));

  std::string text = "unchanged";
  bool flag = true;
  std::int32_t number = -1;
  EXPECT_FALSE(document.GetString("b", text));
  EXPECT_FALSE(document.GetBool("s", flag));
  EXPECT_FALSE(document.GetInt("b", number));
  EXPECT_EQ(text, "unchanged");
  EXPECT_TRUE(flag);
  EXPECT_EQ(number, -1);

  EXPECT_TRUE(document.GetString("s", text));
  EXPECT_EQ(text, "text");
  EXPECT_TRUE(document.GetBool("b", flag));
  EXPECT_FALSE(flag);
  EXPECT_TRUE(document.GetInt("i", number));
  EXPECT_EQ(number, 7);
  EXPECT_TRUE(document.GetBool("i", flag));
  EXPECT_TRUE(flag);
}

TEST(JsonDocument, KeysAreOrderedByteWise) {
  cJsonDocument document;
  ASSERT_TRUE(document.Parse("{\"b\":\"x\",\"\xC3\xA4\":\"x\",\"B\":\"x\",\"a\":\"x\"}"));
  std::string order;
  for (const auto& [key, value] : document.Strings()) order += key + " ";
  EXPECT_EQ(order, "B a b \xC3\xA4 ");
}

class JsonDocumentLoad : public ::testing::Test {
 protected:
  JsonDocumentLoad() {
    char guid[37];
    GenerateGuidString(guid);
    directory_ = fs::temp_directory_path() / (std::string("qvl-json-") + guid);
    fs::create_directories(directory_);
  }
  ~JsonDocumentLoad() override {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }
  std::string Write(const char* name, const std::string& content) {
    const fs::path file = directory_ / name;
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }

  fs::path directory_;
};

TEST_F(JsonDocumentLoad, ReadsAFile) {
  cJsonDocument document;
  std::string error = "stale";
  ASSERT_TRUE(document.Load(Write("Settings.json", R"({"productid":"abc","hide_gui":"1"})"), error));
  EXPECT_EQ(error, "");
  std::string productId;
  bool hideGui = false;
  EXPECT_TRUE(document.GetString("productid", productId));
  EXPECT_EQ(productId, "abc");
  EXPECT_TRUE(document.GetBool("hide_gui", hideGui));
  EXPECT_TRUE(hideGui);
}

TEST_F(JsonDocumentLoad, ReportsEachFailureWithItsText) {
  const struct {
    const char* what;
    std::string path;
    const char* error;
  } cases[] = {
      {"empty path", "", "Json parser provided with an empty path!"},
      {"missing file", (directory_ / "Missing.json").string(), "Could not read the .json file!"},
      {"empty file", Write("Empty.json", ""), "Could not read the .json file!"},
      {"directory", directory_.string(), "Could not read the .json file!"},
  };
  for (const auto& c : cases) {
    cJsonDocument document;
    std::string error;
    EXPECT_FALSE(document.Load(c.path, error)) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
    EXPECT_TRUE(document.Strings().empty()) << c.what;
  }
}

TEST_F(JsonDocumentLoad, AFileAboveTheSizeLimitIsRefusedUnread) {
  const std::string text = R"({"productid":"abc"})";
  const struct {
    const char* what;
    std::uint32_t limit;
    bool loaded;
  } cases[] = {
      {"at the limit", static_cast<std::uint32_t>(text.size()), true},
      {"one byte above", static_cast<std::uint32_t>(text.size() - 1), false},
  };
  const std::string path = Write("Sized.json", text);
  for (const auto& c : cases) {
    cJsonDocument document;
    std::string error;
    EXPECT_EQ(document.Load(path, error, c.limit), c.loaded) << c.what;
    EXPECT_EQ(error, c.loaded ? std::string() : std::string(cJsonDocument::kTooLargeError)) << c.what;
    EXPECT_EQ(document.Strings().empty(), !c.loaded) << c.what;
  }
}

}  // namespace
}  // namespace quarvel
