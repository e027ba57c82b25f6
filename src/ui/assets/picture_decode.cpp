#include "ui/assets/picture_decode.h"

#include <SDL.h>
#include <SDL_image.h>

#include <system_error>

#include "common/logger.h"

namespace quarvel::ui {

cPictureDecode::~cPictureDecode() {
  if (SDL_Surface* surface = Take()) SDL_FreeSurface(surface);
}

bool cPictureDecode::Start(const EmbeddedTexture& picture) {
  if (Pending()) return false;
  surface_ = nullptr;
  try {
    worker_ = std::thread([this, picture] {
      SDL_RWops* stream = SDL_RWFromConstMem(picture.bytes, static_cast<int>(picture.size));
      if (stream != nullptr) surface_ = IMG_Load_RW(stream, 1);  // closes the stream
    });
  } catch (const std::system_error&) {
    Log(LogLevel::Warning, "No thread for decoding texture %i; it is decoded in line.", picture.id);
    return false;
  }
  return true;
}

SDL_Surface* cPictureDecode::Take() {
  if (!Pending()) return nullptr;
  worker_.join();
  SDL_Surface* surface = surface_;
  surface_ = nullptr;
  return surface;
}

}  // namespace quarvel::ui
