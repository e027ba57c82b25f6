#pragma once

#include <cstdint>

#include "ui/elements/image_element.h"

namespace quarvel::ui {

struct SpriteSheetShape {
  SpriteLayout layout = SpriteLayout::None;
  std::int32_t frameCount = 0;
};

// How a sheet of sheetWidth x sheetHeight holds frames of frameWidth x
// frameHeight: one frame wide is a vertical strip, one frame high a
// horizontal strip, anything else a grid filled column by column.
SpriteSheetShape ChooseSpriteSheetShape(std::int32_t sheetWidth, std::int32_t sheetHeight,
                                        std::int32_t frameWidth, std::int32_t frameHeight);

}  // namespace quarvel::ui
