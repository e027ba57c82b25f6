#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/logger.h"
#include "ui/assets/font_slot.h"

// Test helpers: an off-screen software renderer with fonts, and the log
// lines of the process-wide logger.
namespace quarvel::ui::testing {

// An 800 x 450 surface with a software renderer on it; no display needed.
class cTestCanvas {
 public:
  cTestCanvas();
  ~cTestCanvas();

  bool Ready() const { return renderer != nullptr; }
  // Opens an Open Sans face ("Regular", "Bold", "Light") at a point size
  // into a slot owned by the canvas.
  cFontSlot* Font(const std::string& face, int pointSize);
  // The colour of one pixel of what has been drawn.
  SDL_Color PixelAt(int x, int y);

  SDL_Surface* surface = nullptr;
  SDL_Renderer* renderer = nullptr;

 private:
  std::vector<std::unique_ptr<cFontSlot>> fonts_;
};

// Collects every log line while it lives.
class cLogCapture {
 public:
  cLogCapture();
  ~cLogCapture();
  bool Logged(const std::string& text);
  void Clear();

 private:
  cLogger logger_;
  std::mutex lock_;
  std::vector<std::string> lines_;
};

}  // namespace quarvel::ui::testing
