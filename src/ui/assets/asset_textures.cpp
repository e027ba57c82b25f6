#include <SDL.h>
#include <SDL_image.h>

#include "common/logger.h"
#include "common/platform.h"
#include "common/strings.h"
#include "ui/assets/asset_store.h"
#include "ui/assets/embedded_assets.h"
#include "ui/assets/picture_header.h"

namespace quarvel::ui {
namespace {

constexpr std::int32_t kSplashWidth = 800;
constexpr std::int32_t kSplashHeight = 450;

// Settings name the splash with either separator; the file system wants its own.
std::string WithPlatformSeparators(std::string path) {
  for (char& c : path) {
    if (c == '/' || c == '\\') c = kPathSeparator;
  }
  return path;
}

void SetBlendMode(SDL_Texture* texture) {
  const int result = SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  if (result != 0) Log(LogLevel::Error, "Failed with: %i, '%s'.", result, SDL_GetError());
}

// Makes `surface` into the texture of `slot`; the slot stays empty on failure.
void MakeTexture(SDL_Renderer* renderer, SDL_Surface* surface, int size, cTexture& slot) {
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
  if (texture != nullptr) {
    slot.Adopt(texture, surface->w, surface->h);
    SetBlendMode(texture);
  } else {
    Log(LogLevel::Error, "Unable to create texture, size: '%i'. SDL Error: '%s'.", size, SDL_GetError());
  }
}

// Decodes one built-in picture into `slot`; the slot stays empty on failure.
void DecodeEmbedded(SDL_Renderer* renderer, const EmbeddedTexture& entry, cTexture& slot) {
  const int size = static_cast<int>(entry.size);
  SDL_RWops* stream = SDL_RWFromConstMem(entry.bytes, size);
  if (stream == nullptr) {
    Log(LogLevel::Error, "Unable to load embedded texture, size: %i. SDL Error: '%s'.", size, SDL_GetError());
    return;
  }
  SDL_Surface* surface = IMG_Load_RW(stream, 1);  // closes the stream
  if (surface == nullptr) {
    Log(LogLevel::Error, "Unable to create texture from embedded texture, size: %i. SDL Error: '%s'.", size,
        SDL_GetError());
    return;
  }
  MakeTexture(renderer, surface, size, slot);
  SDL_FreeSurface(surface);
}

}  // namespace

bool cAssetStore::LoadTextures(SDL_Renderer* renderer, const std::string& requestedSplash, std::int32_t later,
                               const ReadyPictures& ready) {
  for (const EmbeddedTexture& entry : GetEmbeddedTextures()) {
    cTexture& slot = textures_[entry.id];
    if (entry.id == later) {
      // Decoded elsewhere; until it comes the slot has the picture's size.
      slot.Release();
      std::uint32_t width = 0;
      std::uint32_t height = 0;
      if (!ReadPictureSize({entry.bytes, entry.size}, ".png", width, height)) {
        Log(LogLevel::Error, "Failed in loading the following texture: '%u'.", static_cast<unsigned>(entry.id));
        return false;
      }
      slot.width = static_cast<std::int32_t>(width);
      slot.height = static_cast<std::int32_t>(height);
      continue;
    }
    if (entry.id == kTextureSplash && !requestedSplash.empty()) {
      if (LoadCustomSplash(renderer, baseDirectory + WithPlatformSeparators(requestedSplash), slot)) continue;
      Log(LogLevel::Error,
          "Failed in loading requested splash from file: '%s', will fall back to using the embedded one instead.",
          requestedSplash.c_str());
    }
    if (renderer == nullptr || entry.bytes == nullptr || entry.size == 0) {
      Log(LogLevel::Verbose, "Called with invalid parameters: %p, '%p', %u.", static_cast<void*>(renderer),
          static_cast<const void*>(entry.bytes), entry.size);
      Log(LogLevel::Error, "Failed in loading the following texture: '%u'.", static_cast<unsigned>(entry.id));
      return false;
    }
    slot.Release();
    if (SDL_Surface* surface = ready ? ready(entry.id) : nullptr) {
      MakeTexture(renderer, surface, static_cast<int>(entry.size), slot);
      SDL_FreeSurface(surface);
    } else {
      DecodeEmbedded(renderer, entry, slot);
    }
    if (slot.handle == nullptr) {
      Log(LogLevel::Error, "Failed in loading the following texture: '%u'.", static_cast<unsigned>(entry.id));
      return false;
    }
  }
  return true;
}

bool cAssetStore::AdoptDecoded(SDL_Renderer* renderer, std::int32_t id, SDL_Surface* surface) {
  cTexture& slot = textures_[id];
  slot.Release();
  if (renderer == nullptr || surface == nullptr) {
    Log(LogLevel::Error, "Failed in loading the following texture: '%u'.", static_cast<unsigned>(id));
    return false;
  }
  MakeTexture(renderer, surface, surface->w * surface->h, slot);
  SDL_FreeSurface(surface);
  return slot.handle != nullptr;
}

bool cAssetStore::LoadCustomSplash(SDL_Renderer* renderer, const std::string& path, cTexture& texture) {
  if (path.empty()) return false;
  std::string full;
  std::string extension;
  SplitFileExtension(path.c_str(), full, extension);
  full = WithPlatformSeparators(full);
  Log(LogLevel::Verbose, "Requested splash screen's file name '%s', extension: '%s'.", full.c_str(),
      extension.c_str());
  if (!PathExists(full.c_str())) {
    Log(LogLevel::Error, "Could not locate the provided custom splash screen image: '%s'.", full.c_str());
    return false;
  }
  if (extension != ".png") {
    Log(LogLevel::Error, "The provided splash screen was not of a supported format: '%s'.", full.c_str());
    return false;
  }
  if (!texture.LoadFromFile(renderer, full)) {
    Log(LogLevel::Error, "Could not create a texture from the provided custom splash screen: '%s'.", full.c_str());
    return false;
  }
  if (texture.width != kSplashWidth || texture.height != kSplashHeight) {
    Log(LogLevel::Error, "The provided splash screen did not meet the size requirements, the supported size is %ix%i.",
        kSplashWidth, kSplashHeight);
    return false;
  }
  return true;
}

}  // namespace quarvel::ui
