#include "ui/elements/sprite_sheet.h"

namespace quarvel::ui {

SpriteSheetShape ChooseSpriteSheetShape(std::int32_t sheetWidth, std::int32_t sheetHeight,
                                        std::int32_t frameWidth, std::int32_t frameHeight) {
  if (frameWidth <= 0 || frameHeight <= 0) return {};
  if (sheetWidth == frameWidth) return {SpriteLayout::VerticalStrip, sheetHeight / frameHeight};
  const std::int32_t columns = sheetWidth / frameWidth;
  if (sheetHeight == frameHeight) return {SpriteLayout::HorizontalStrip, columns};
  return {SpriteLayout::Grid, (sheetHeight / frameHeight) * columns};
}

}  // namespace quarvel::ui
