#pragma once

#include <thread>

#include "ui/assets/embedded_assets.h"

struct SDL_Surface;

namespace quarvel::ui {

// One built-in picture decoded on a thread of its own while the main thread
// goes on (the logo sheet is the largest picture, and the first frame does
// not need it). Decoding makes only a surface; the texture is made by the
// renderer's thread. Start and Take on one thread; Take waits for the decode.
class cPictureDecode {
 public:
  cPictureDecode() = default;
  ~cPictureDecode();
  cPictureDecode(const cPictureDecode&) = delete;
  cPictureDecode& operator=(const cPictureDecode&) = delete;

  // Starts decoding `picture`; false (nothing started) when a decode is
  // already pending or no thread could be made.
  bool Start(const EmbeddedTexture& picture);
  bool Pending() const { return worker_.joinable(); }
  // Waits for the decode and hands over its surface (owned by the caller);
  // null when nothing was started or the picture did not decode.
  SDL_Surface* Take();

 private:
  std::thread worker_;
  SDL_Surface* surface_ = nullptr;  // written by the worker, read after join
};

}  // namespace quarvel::ui
