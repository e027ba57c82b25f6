#include "ui/assets/glyph_coverage.h"

#include <gtest/gtest.h>

#include "ui/assets/testing/test_renderer.h"

namespace quarvel::ui {
namespace {

TEST(GlyphCoverage, DecodesUtf8AndReplacesWhatIsMalformed) {
  struct Case {
    std::string text;
    std::vector<char32_t> codePoints;
  };
  const Case cases[] = {
      {"", {}},
      {"Exit", {U'E', U'x', U'i', U't'}},
      {"Çı", {0xC7, 0x131}},
      {"終了", {0x7D42, 0x4E86}},
      {"\xF0\x9F\x98\x80", {0x1F600}},
      // A lone continuation byte, a cut sequence, an overlong form, a surrogate.
      {"a\x80" "b", {U'a', 0xFFFD, U'b'}},
      {"\xE7\xB5", {0xFFFD, 0xFFFD}},
      {"\xE0\x80\xAF", {0xFFFD, 0xFFFD, 0xFFFD}},
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
      {"\xC0\xAF", {0xFFFD, 0xFFFD}},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeUtf8(c.text), c.codePoints) << c.text;
}

TEST(GlyphCoverage, AFontProvidesATextOnlyWithAGlyphForEveryCharacter) {
  testing::cTestCanvas canvas;
  ASSERT_TRUE(canvas.Ready());
  cFontSlot* font = canvas.Font("Regular", 14);
  ASSERT_NE(font, nullptr);
  EXPECT_TRUE(FontProvidesAll(font->font, ""));
  EXPECT_TRUE(FontProvidesAll(font->font, "Ukončit\nВихід\tΈξοδος"));
  EXPECT_FALSE(FontProvidesAll(font->font, "Exit 終了"));
  EXPECT_FALSE(FontProvidesAll(nullptr, "Exit"));
}

}  // namespace
}  // namespace quarvel::ui
