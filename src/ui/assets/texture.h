#pragma once

#include <cstdint>
#include <string>

struct SDL_Renderer;
struct SDL_Texture;

namespace quarvel::ui {

// A picture on the renderer with its size. The last owner destroys the SDL
// texture; the handle may be null with a size of 0 (an empty text variant).
// Text elements share these through std::shared_ptr; the asset store owns
// its own.
class cTexture {
 public:
  cTexture() = default;
  ~cTexture();
  cTexture(const cTexture&) = delete;
  cTexture& operator=(const cTexture&) = delete;

  // Destroys the held texture, if any, and sets the size to 0 x 0.
  void Release();
  // Takes ownership of `handle` (releasing the previous one).
  void Adopt(SDL_Texture* handle, std::int32_t width, std::int32_t height);

  // Loads a picture file (UTF-8 path) into this texture. Defined with the
  // asset store's picture loading.
  bool LoadFromFile(SDL_Renderer* renderer, const std::string& path);

  SDL_Texture* handle = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

}  // namespace quarvel::ui
