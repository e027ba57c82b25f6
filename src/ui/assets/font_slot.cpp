#include "ui/assets/font_slot.h"

#include <SDL_ttf.h>

namespace quarvel::ui {

cFontSlot::~cFontSlot() { Reset(); }

void cFontSlot::Reset(TTF_Font* newFont, std::int32_t newPointSize) {
  if (font != nullptr && font != newFont) TTF_CloseFont(font);
  font = newFont;
  pointSize = newPointSize;
}

}  // namespace quarvel::ui
