#include "ui/elements/text_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quarvel::ui {
namespace {

using Lines = std::vector<std::string>;

TEST(TextLayout, CyclingVariants) {
  struct Case {
    std::string text;
    Lines variants;
  };
  const Case cases[] = {
      {"LOADING[...]", {"LOADING", "LOADING.", "LOADING..", "LOADING..."}},
      {"[...]", {"", ".", "..", "..."}},
      {"WAIT[..] dropped", {"WAIT", "WAIT.", "WAIT.."}},
      {"A[]", {"A"}},
      // Variants grow by whole code points.
      {"ЖДИТЕ[…·]", {"ЖДИТЕ", "ЖДИТЕ…", "ЖДИТЕ…·"}},
      {"no brackets", {}},
      {"closes] before [opening", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsCyclingText(c.text), !c.variants.empty()) << c.text;
    EXPECT_EQ(CyclingVariants(c.text), c.variants) << c.text;
  }
}

TEST(TextLayout, WrapsByMeasuredWidth) {
  const std::string noBreaks1041(1041, 'x');
  const std::string spaced = std::string(30, 'a') + " " + std::string(10, 'b');
  const std::string colonLate = std::string(30, 'a') + ":" + std::string(9, 'c') + "/" + std::string(20, 'd');
  const std::string colonEarly = "ab:" + std::string(27, 'a') + "/" + std::string(9, 'c') + " " + std::string(20, 'd');
  const std::string slashes = std::string(25, 'a') + "\\" + std::string(5, 'b') + "/" + std::string(8, 'c');
  struct Case {
    const char* what;
    std::string text;
    int width;
    Lines lines;
  };
  const Case cases[] = {
      {"no line count", "short", 259, {}},
      {"empty text", "", 900, {}},
      {"one line, no break in the second half", std::string(20, 'z'), 521, {std::string(20, 'z')}},
      {"one line, a space in its second half splits it",
       spaced,
       521,
       {std::string(30, 'a') + " ", std::string(10, 'b')}},
      {"two lines without breaks leave a last byte",
       noBreaks1041,
       1040,
       {std::string(520, 'x'), std::string(520, 'x'), "x"}},
      {"a colon in the second half comes first",
       colonLate,
       521,
       {std::string(30, 'a') + ":", std::string(9, 'c') + "/" + std::string(20, 'd')}},
      {"a colon in the first half is passed over for the last '/'",
       colonEarly,
       521,
       {"ab:" + std::string(27, 'a') + "/", std::string(9, 'c') + " " + std::string(20, 'd')}},
      {"a backslash when there is no '/'",
       std::string(25, 'a') + "\\" + std::string(14, 'b'),
       521,
       {std::string(25, 'a') + "\\", std::string(14, 'b')}},
      // A tail such as " 7!" after the cut is one line, not " " and "7!".
      {"the rest after a cut is the last line, whole",
       std::string(40, 'a') + " Code: 7!",
       530,
       {std::string(40, 'a') + " Code:", " 7!"}},
      {"the rest after a cut keeps its own breaks whole",
       std::string(40, 'a') + ": Binaries\\Win64\\Game.exe",
       530,
       {std::string(40, 'a') + ":", " Binaries\\Win64\\Game.exe"}},
      {"'/' before '\\'", slashes, 521, {std::string(25, 'a') + "\\" + std::string(5, 'b') + "/", std::string(8, 'c')}},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapText(c.text, c.width), c.lines) << c.what;
}

// Every line is whole UTF-8 and the lines give back the text.
void ExpectWholeCodePoints(const std::string& text, int width) {
  const Lines lines = WrapText(text, width);
  ASSERT_GT(lines.size(), 1u) << text;
  std::string joined;
  for (const std::string& line : lines) {
    ASSERT_FALSE(line.empty());
    EXPECT_NE(static_cast<unsigned char>(line.front()) & 0xC0, 0x80) << "line starts inside a sequence: " << line;
    joined += line;
  }
  EXPECT_EQ(joined, text);
}

TEST(TextLayout, CutsNeverSplitACodePoint) {
  // Odd byte counts put the even chunk boundaries inside two-byte letters.
  ExpectWholeCodePoints("ПроверьтеподключениекинтернетуипопробуйтесноваЖ", 1100);
  ExpectWholeCodePoints("Größenänderungsüberprüfungsmaßnahmenübersicht", 1100);
  ExpectWholeCodePoints("ÜberprüfenSieIhreInternetverbindungundversuchenSieesäöüßerneut", 2860);
  ExpectWholeCodePoints("Не удалось загрузить модуль защиты: проверьте подключение к интернету.", 2860);
  ExpectWholeCodePoints("Das Anti-Cheat-Modul konnte nicht geladen werden: Überprüfen Sie Ihre Verbindung.", 1100);
}

TEST(TextLayout, BoundaryMovesBackToTheLeadByte) {
  const std::string text = "aЖb";  // 'Ж' is two bytes at 1 and 2
  EXPECT_EQ(CodePointBoundaryAtOrBefore(text, 1), 1u);
  EXPECT_EQ(CodePointBoundaryAtOrBefore(text, 2), 1u);
  EXPECT_EQ(CodePointBoundaryAtOrBefore(text, 3), 3u);
  EXPECT_EQ(CodePointBoundaryAtOrBefore(text, 99), text.size());
}

}  // namespace
}  // namespace quarvel::ui
