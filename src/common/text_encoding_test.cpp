#include "common/text_encoding.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(TextEncoding, EmptyStaysEmptyNotAnErrorMarker) {
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(TextEncoding, RoundTripsGermanRussianAndAstralText) {
  const std::string texts[] = {
      "Spiel wird gestartet \xE2\x80\x94 gr\xC3\xB6\xC3\x9F" "er",
      "\xD0\x97\xD0\xB0\xD0\xB3\xD1\x80\xD1\x83\xD0\xB7\xD0\xBA\xD0\xB0",  // Загрузка
      "emoji \xF0\x9F\x8E\xAE end",                                     // U+1F3AE
  };
  for (const std::string& text : texts) EXPECT_EQ(WideToUtf8(Utf8ToWide(text)), text);
  EXPECT_EQ(Utf8ToWide("\xD0\x97"), std::wstring(1, static_cast<wchar_t>(0x0417)));
}

TEST(TextEncoding, InvalidInputBecomesReplacementCharacters) {
  const std::wstring replacement(1, static_cast<wchar_t>(0xFFFD));
  EXPECT_EQ(Utf8ToWide("a\xFF" "b"), L"a" + replacement + L"b");
  // A lone surrogate cannot be written as UTF-8.
  std::wstring lone = L"x";
  lone += static_cast<wchar_t>(0xD800);
  EXPECT_EQ(WideToUtf8(lone), "x\xEF\xBF\xBD");
}

}  // namespace
}  // namespace quarvel
