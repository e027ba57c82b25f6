#include "ui/assets/embedded_assets.h"

#include <array>

#include "localization/localization.h"

// Start and end of each blob, defined by embedded_data.cpp.
extern "C" {
extern const std::uint8_t qvl_embedded_font_regular[], qvl_embedded_font_regular_end[];
extern const std::uint8_t qvl_embedded_font_bold[], qvl_embedded_font_bold_end[];
extern const std::uint8_t qvl_embedded_font_light[], qvl_embedded_font_light_end[];
extern const std::uint8_t qvl_embedded_splash[], qvl_embedded_splash_end[];
extern const std::uint8_t qvl_embedded_close[], qvl_embedded_close_end[];
extern const std::uint8_t qvl_embedded_logo_sheet[], qvl_embedded_logo_sheet_end[];
extern const std::uint8_t qvl_embedded_logo_static[], qvl_embedded_logo_static_end[];
}

namespace quarvel::ui {
namespace {

std::uint32_t SizeOf(const std::uint8_t* begin, const std::uint8_t* end) {
  return static_cast<std::uint32_t>(end - begin);
}

const std::array<EmbeddedFont, 6> kFonts = {{
    {kFontRegular20, qvl_embedded_font_regular, SizeOf(qvl_embedded_font_regular, qvl_embedded_font_regular_end), 20},
    {kFontBold20, qvl_embedded_font_bold, SizeOf(qvl_embedded_font_bold, qvl_embedded_font_bold_end), 20},
    {kFontLight20, qvl_embedded_font_light, SizeOf(qvl_embedded_font_light, qvl_embedded_font_light_end), 20},
    {kFontLight30, qvl_embedded_font_light, SizeOf(qvl_embedded_font_light, qvl_embedded_font_light_end), 30},
    {kFontRegular14, qvl_embedded_font_regular, SizeOf(qvl_embedded_font_regular, qvl_embedded_font_regular_end),
     14},
    {kFontBold12, qvl_embedded_font_bold, SizeOf(qvl_embedded_font_bold, qvl_embedded_font_bold_end), 12},
}};

const std::array<EmbeddedTexture, 4> kTextures = {{
    {kTextureSplash, qvl_embedded_splash, SizeOf(qvl_embedded_splash, qvl_embedded_splash_end)},
    {kTextureClose, qvl_embedded_close, SizeOf(qvl_embedded_close, qvl_embedded_close_end)},
    {kTextureLogoSheet, qvl_embedded_logo_sheet, SizeOf(qvl_embedded_logo_sheet, qvl_embedded_logo_sheet_end)},
    {kTextureLogoStatic, qvl_embedded_logo_static, SizeOf(qvl_embedded_logo_static, qvl_embedded_logo_static_end)},
}};

}  // namespace

std::span<const EmbeddedFont> GetEmbeddedFonts() { return kFonts; }
std::span<const EmbeddedTexture> GetEmbeddedTextures() { return kTextures; }

int SystemFontSlotOf(std::int32_t fontId) {
  switch (fontId) {
    case kFontRegular20:
    case kFontRegular14:
      return kSystemFontRegular;
    case kFontBold20:
    case kFontBold12:
      return kSystemFontBold;
    case kFontLight20:
    case kFontLight30:
      return kSystemFontLight;
    default:
      return -1;
  }
}

}  // namespace quarvel::ui
