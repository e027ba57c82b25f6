#pragma once

#include <cstdint>
#include <span>

// The fonts and pictures built into the program. The tables are constant,
// ordered by id, filled before main runs, and point into the program's own
// read-only data: nothing is ever written to disk.
namespace quarvel::ui {

struct EmbeddedFont {
  std::int32_t id;
  const std::uint8_t* bytes;  // a complete TrueType file
  std::uint32_t size;
  std::int32_t pointSize;
};

struct EmbeddedTexture {
  std::int32_t id;
  const std::uint8_t* bytes;  // a complete PNG file
  std::uint32_t size;
};

// Font ids: three faces of Open Sans at the sizes the screens use.
enum EmbeddedFontId : std::int32_t {
  kFontRegular20 = 0,
  kFontBold20 = 1,    // percentage text
  kFontLight20 = 2,   // status text
  kFontLight30 = 3,   // error title
  kFontRegular14 = 4, // error message
  kFontBold12 = 5,    // label of the Exit button
};

enum EmbeddedTextureId : std::int32_t {
  kTextureSplash = 0,      // 800 x 450, opaque
  kTextureClose = 1,       // 38 x 38 with alpha
  kTextureLogoSheet = 2,   // 1000 x 1968: 64 frames of 250 x 123, 4 columns of 16 rows
  kTextureLogoStatic = 3,  // 250 x 123, indexed colours
};

std::span<const EmbeddedFont> GetEmbeddedFonts();
std::span<const EmbeddedTexture> GetEmbeddedTextures();

// The system font slot (kSystemFontRegular, kSystemFontBold or
// kSystemFontLight) whose file takes the place of built-in font `fontId`;
// -1 for an id without a built-in font.
int SystemFontSlotOf(std::int32_t fontId);

}  // namespace quarvel::ui
