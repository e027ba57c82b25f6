#include <SDL.h>
#include <SDL_image.h>

#include "common/logger.h"
#include "common/platform.h"
#include "ui/assets/picture_header.h"
#include "ui/assets/texture.h"

namespace quarvel::ui {
namespace {

// Bound the work spent on a picture file before it is decoded. A small file
// can still inflate to an enormous picture, so its header is read first.
constexpr long long kMaximumPictureFileBytes = 0x100000;

}  // namespace

bool cTexture::LoadFromFile(SDL_Renderer* renderer, const std::string& path) {
  if (renderer == nullptr || path.empty()) {
    Log(LogLevel::Verbose, "Called with invalid parameters: %p, '%s'.", static_cast<void*>(renderer), path.c_str());
    return false;
  }
  // A file that cannot be sized (-1) passes here and fails the header check.
  if (GetFileSizeUtf8(path.c_str()) > kMaximumPictureFileBytes) {
    Log(LogLevel::Error, "The provided file: '%s' exceeds the maximum allowed file size of %lld bytes.", path.c_str(),
        kMaximumPictureFileBytes);
    return false;
  }
  if (!IsPictureFileWithinLimits(path)) return false;
  Release();
  SDL_Surface* surface = IMG_Load(path.c_str());
  if (surface == nullptr) {
    Log(LogLevel::Error, "Unable to load image '%s'. SDL_image Error: '%s'.", path.c_str(), SDL_GetError());
    return false;
  }
  SDL_Texture* created = SDL_CreateTextureFromSurface(renderer, surface);
  if (created != nullptr) {
    Adopt(created, surface->w, surface->h);
    const int result = SDL_SetTextureBlendMode(created, SDL_BLENDMODE_BLEND);
    if (result != 0) Log(LogLevel::Error, "Failed with: %i, '%s'.", result, SDL_GetError());
  } else {
    Log(LogLevel::Error, "Unable to create texture from '%s'. SDL Error: '%s'.", path.c_str(), SDL_GetError());
  }
  SDL_FreeSurface(surface);
  return handle != nullptr;
}

}  // namespace quarvel::ui
