#include "ui/assets/texture.h"

#include <SDL.h>

namespace quarvel::ui {

cTexture::~cTexture() { Release(); }

void cTexture::Release() {
  if (handle != nullptr) SDL_DestroyTexture(handle);
  handle = nullptr;
  width = 0;
  height = 0;
}

void cTexture::Adopt(SDL_Texture* newHandle, std::int32_t newWidth, std::int32_t newHeight) {
  if (newHandle != handle) Release();
  handle = newHandle;
  width = newWidth;
  height = newHeight;
}

}  // namespace quarvel::ui
