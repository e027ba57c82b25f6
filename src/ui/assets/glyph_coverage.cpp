#include "ui/assets/glyph_coverage.h"

#include <SDL_ttf.h>

namespace quarvel::ui {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Length of the sequence a lead byte starts, 0 for a byte that cannot lead.
int SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::vector<char32_t> DecodeUtf8(const std::string& text) {
  std::vector<char32_t> codePoints;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = SequenceLength(lead);
    if (length == 0 || i + length > text.size()) {
      codePoints.push_back(kReplacement);
      ++i;
      continue;
    }
    char32_t value = length == 1 ? lead : lead & (0xFF >> (length + 1));
    bool valid = true;
    for (int k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      value = (value << 6) | (next & 0x3F);
    }
    // Overlong three-byte forms, surrogates and values past U+10FFFF.
    if (!valid || (length == 3 && value < 0x800) || (value >= 0xD800 && value <= 0xDFFF) ||
        (length == 4 && (value < 0x10000 || value > 0x10FFFF))) {
      codePoints.push_back(kReplacement);
      ++i;
      continue;
    }
    codePoints.push_back(value);
    i += length;
  }
  return codePoints;
}

bool FontProvidesAll(TTF_Font* font, const std::string& text) {
  if (font == nullptr) return text.empty();
  for (const char32_t codePoint : DecodeUtf8(text)) {
    if (codePoint == U'\n' || codePoint == U'\r' || codePoint == U'\t') continue;
    if (TTF_GlyphIsProvided32(font, static_cast<Uint32>(codePoint)) == 0) return false;
  }
  return true;
}

}  // namespace quarvel::ui
