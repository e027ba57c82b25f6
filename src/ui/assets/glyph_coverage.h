#pragma once

#include <string>
#include <vector>

typedef struct _TTF_Font TTF_Font;

// Which characters a font can draw. A font without a glyph for a character
// draws a box ("tofu") in its place, so a text is shown only where every
// character has one.
namespace quarvel::ui {

// The code points of a UTF-8 text, in order; a malformed sequence gives
// U+FFFD for its lead byte and decoding goes on after it.
std::vector<char32_t> DecodeUtf8(const std::string& text);

// True when `font` has a glyph for every character of `text` (an empty text
// has nothing to draw). Line feeds and tabs are not drawn and not asked for.
bool FontProvidesAll(TTF_Font* font, const std::string& text);

}  // namespace quarvel::ui
