#pragma once

#include <cstdint>

typedef struct _TTF_Font TTF_Font;

namespace quarvel::ui {

// One loaded font at one point size. Text elements keep plain pointers to
// slots, so a slot keeps its address for as long as its owner lives; filling
// it again closes the font it held.
struct cFontSlot {
  cFontSlot() = default;
  ~cFontSlot();
  cFontSlot(const cFontSlot&) = delete;
  cFontSlot& operator=(const cFontSlot&) = delete;

  // Closes the held font and takes `newFont` (may be null).
  void Reset(TTF_Font* newFont = nullptr, std::int32_t newPointSize = 0);

  TTF_Font* font = nullptr;
  std::int32_t pointSize = 0;
};

}  // namespace quarvel::ui
