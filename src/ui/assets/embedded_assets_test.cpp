#include "ui/assets/embedded_assets.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "localization/localization.h"

namespace quarvel::ui {
namespace {

std::uint32_t BigEndian(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
  return value;
}

const EmbeddedTexture* FindTexture(std::int32_t id) {
  for (const EmbeddedTexture& entry : GetEmbeddedTextures()) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

bool HasPngChunk(const EmbeddedTexture& entry, const char* type) {
  for (std::uint32_t at = 8; at + 12 <= entry.size;) {
    if (std::memcmp(entry.bytes + at + 4, type, 4) == 0) return true;
    at += 12 + BigEndian(entry.bytes + at, 4);
  }
  return false;
}

SDL_Surface* Decode(const EmbeddedTexture& entry) {
  return IMG_Load_RW(SDL_RWFromConstMem(entry.bytes, static_cast<int>(entry.size)), 1);
}

// usWeightClass of a TrueType file's OS/2 table; 0 when there is none.
int WeightClass(const EmbeddedFont& entry) {
  const std::uint8_t* font = entry.bytes;
  const std::uint32_t tables = BigEndian(font + 4, 2);
  for (std::uint32_t i = 0; i < tables; ++i) {
    const std::uint8_t* record = font + 12 + 16 * i;
    if (std::memcmp(record, "OS/2", 4) == 0) return static_cast<int>(BigEndian(font + BigEndian(record + 8, 4) + 4, 2));
  }
  return 0;
}

struct PictureCase {
  std::int32_t id;
  int width;
  int height;
  int pngColourType;  // 2 truecolour, 3 palette, 6 truecolour with alpha
};

void PrintTo(const PictureCase& c, std::ostream* out) { *out << "texture " << c.id; }

class EmbeddedPicture : public ::testing::TestWithParam<PictureCase> {};

TEST_P(EmbeddedPicture, DecodesFromMemoryToItsSizeAndKind) {
  const PictureCase& expected = GetParam();
  const EmbeddedTexture* entry = FindTexture(expected.id);
  ASSERT_NE(entry, nullptr);
  ASSERT_GT(entry->size, 33u);
  EXPECT_EQ(BigEndian(entry->bytes + 16, 4), static_cast<std::uint32_t>(expected.width));
  EXPECT_EQ(BigEndian(entry->bytes + 20, 4), static_cast<std::uint32_t>(expected.height));
  EXPECT_EQ(entry->bytes[24], 8) << "bit depth";
  EXPECT_EQ(entry->bytes[25], expected.pngColourType);

  SDL_Surface* surface = Decode(*entry);
  ASSERT_NE(surface, nullptr) << SDL_GetError();
  EXPECT_EQ(surface->w, expected.width);
  EXPECT_EQ(surface->h, expected.height);
  SDL_FreeSurface(surface);
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, EmbeddedPicture,
                         ::testing::Values(PictureCase{kTextureSplash, 800, 450, 2},
                                           PictureCase{kTextureClose, 38, 38, 6},
                                           PictureCase{kTextureLogoSheet, 1000, 1968, 6},
                                           PictureCase{kTextureLogoStatic, 250, 123, 3}),
                         [](const auto& info) { return "Texture" + std::to_string(info.param.id); });

TEST(EmbeddedPictures, TablesAreOrderedById) {
  std::int32_t expected = 0;
  for (const EmbeddedTexture& entry : GetEmbeddedTextures()) EXPECT_EQ(entry.id, expected++);
  EXPECT_EQ(expected, 4);
  expected = 0;
  for (const EmbeddedFont& entry : GetEmbeddedFonts()) EXPECT_EQ(entry.id, expected++);
  EXPECT_EQ(expected, 6);
}

TEST(EmbeddedPictures, SplashIsOpaque) {
  const EmbeddedTexture* splash = FindTexture(kTextureSplash);
  ASSERT_NE(splash, nullptr);
  EXPECT_FALSE(HasPngChunk(*splash, "tRNS"));
  SDL_Surface* surface = Decode(*splash);
  ASSERT_NE(surface, nullptr);
  EXPECT_FALSE(SDL_ISPIXELFORMAT_ALPHA(surface->format->format));
  SDL_FreeSurface(surface);
}

TEST(EmbeddedPictures, StaticLogoIsIndexedWithTransparency) {
  const EmbeddedTexture* logo = FindTexture(kTextureLogoStatic);
  ASSERT_NE(logo, nullptr);
  EXPECT_TRUE(HasPngChunk(*logo, "PLTE"));
  EXPECT_TRUE(HasPngChunk(*logo, "tRNS"));
}

// The sheet holds 64 frames of 250 x 123, column by column: frame 0 at the
// top left, frame 63 at the bottom right.
TEST(EmbeddedPictures, LogoAnimationStartsEmptyAndEndsOnTheLogo) {
  SDL_Surface* decoded = Decode(*FindTexture(kTextureLogoSheet));
  ASSERT_NE(decoded, nullptr);
  SDL_Surface* sheet = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_RGBA32, 0);
  SDL_FreeSurface(decoded);
  ASSERT_NE(sheet, nullptr);
  auto alphaAt = [&](int x, int y) {
    const auto* row = static_cast<const std::uint8_t*>(sheet->pixels) + y * sheet->pitch;
    return row[x * 4 + 3];
  };
  auto frameCoverage = [&](int frame, int firstRow, int lastRow) {
    const int left = (frame / 16) * 250;
    const int top = (frame % 16) * 123;
    int opaque = 0;
    for (int y = top + firstRow; y <= top + lastRow; ++y) {
      for (int x = left; x < left + 250; ++x) opaque += alphaAt(x, y) > 128 ? 1 : 0;
    }
    return opaque;
  };
  EXPECT_EQ(frameCoverage(0, 0, 122), 0);
  EXPECT_GT(frameCoverage(63, 0, 122), 0);
  // The bottom rows of the frame lie under the progress bar: kept clear.
  EXPECT_EQ(frameCoverage(63, 113, 122), 0);
  SDL_FreeSurface(sheet);
}

struct FontCase {
  std::int32_t id;
  std::int32_t pointSize;
  int weightClass;
};

void PrintTo(const FontCase& c, std::ostream* out) { *out << "font " << c.id; }

class EmbeddedFontEntry : public ::testing::TestWithParam<FontCase> {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(TTF_Init(), 0); }
  static void TearDownTestSuite() { TTF_Quit(); }
};

TEST_P(EmbeddedFontEntry, IsTheRightFaceAndMeasuresLocalizedText) {
  const FontCase& expected = GetParam();
  const EmbeddedFont& entry = GetEmbeddedFonts()[expected.id];
  ASSERT_EQ(entry.id, expected.id);
  EXPECT_EQ(entry.pointSize, expected.pointSize);
  ASSERT_GT(entry.size, 12u);
  EXPECT_EQ(BigEndian(entry.bytes, 4), 0x00010000u) << "TrueType outlines";
  EXPECT_EQ(WeightClass(entry), expected.weightClass);

  TTF_Font* font = TTF_OpenFontRW(SDL_RWFromConstMem(entry.bytes, static_cast<int>(entry.size)), 1, entry.pointSize);
  ASSERT_NE(font, nullptr) << TTF_GetError();
  for (const char32_t letter : std::u32string(U"ЗагрузкаÉèçñßäöü")) {
    EXPECT_TRUE(TTF_GlyphIsProvided32(font, letter)) << "U+" << std::hex << static_cast<unsigned>(letter);
  }
  for (const char* text : {"Загрузка", "Spiel wird gestartet", "Échec du démarrage"}) {
    int width = 0;
    int height = 0;
    EXPECT_EQ(TTF_SizeUTF8(font, text, &width, &height), 0) << text;
    EXPECT_GT(width, 0) << text;
    EXPECT_GE(height, entry.pointSize) << text;
  }
  TTF_CloseFont(font);
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, EmbeddedFontEntry,
                         ::testing::Values(FontCase{kFontRegular20, 20, 400}, FontCase{kFontBold20, 20, 700},
                                           FontCase{kFontLight20, 20, 300}, FontCase{kFontLight30, 30, 300},
                                           FontCase{kFontRegular14, 14, 400}, FontCase{kFontBold12, 12, 700}),
                         [](const auto& info) { return "Font" + std::to_string(info.param.id); });

TEST(EmbeddedFonts, IdsOfOneFaceShareItsBytesAndItsSystemFontSlot) {
  const auto fonts = GetEmbeddedFonts();
  EXPECT_EQ(fonts[kFontRegular20].bytes, fonts[kFontRegular14].bytes);
  EXPECT_EQ(fonts[kFontBold20].bytes, fonts[kFontBold12].bytes);
  EXPECT_EQ(fonts[kFontLight20].bytes, fonts[kFontLight30].bytes);
  EXPECT_NE(fonts[kFontRegular20].bytes, fonts[kFontBold20].bytes);
  EXPECT_NE(fonts[kFontRegular20].bytes, fonts[kFontLight20].bytes);

  const int slots[] = {kSystemFontRegular, kSystemFontBold, kSystemFontLight,
                       kSystemFontLight,   kSystemFontRegular, kSystemFontBold};
  for (std::int32_t id = 0; id < 6; ++id) EXPECT_EQ(SystemFontSlotOf(id), slots[id]) << id;
  EXPECT_EQ(SystemFontSlotOf(6), -1);
}

}  // namespace
}  // namespace quarvel::ui
