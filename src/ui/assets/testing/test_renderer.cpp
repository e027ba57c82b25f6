#include "ui/assets/testing/test_renderer.h"

namespace quarvel::ui::testing {

cTestCanvas::cTestCanvas() {
  if (TTF_WasInit() == 0) TTF_Init();
  surface = SDL_CreateRGBSurfaceWithFormat(0, 800, 450, 32, SDL_PIXELFORMAT_ARGB8888);
  if (surface != nullptr) renderer = SDL_CreateSoftwareRenderer(surface);
  if (renderer != nullptr) SDL_SetRenderDrawBlendMode(renderer, SDL_BLENDMODE_BLEND);
}

cTestCanvas::~cTestCanvas() {
  fonts_.clear();
  if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  if (surface != nullptr) SDL_FreeSurface(surface);
}

cFontSlot* cTestCanvas::Font(const std::string& face, int pointSize) {
  const std::string path = std::string(QVL_TEST_FONT_DIR) + "OpenSans-" + face + ".ttf";
  TTF_Font* font = TTF_OpenFont(path.c_str(), pointSize);
  if (font == nullptr) return nullptr;
  fonts_.push_back(std::make_unique<cFontSlot>());
  fonts_.back()->Reset(font, pointSize);
  return fonts_.back().get();
}

SDL_Color cTestCanvas::PixelAt(int x, int y) {
  Uint32 pixel = 0;
  const SDL_Rect rect{x, y, 1, 1};
  SDL_RenderReadPixels(renderer, &rect, SDL_PIXELFORMAT_ARGB8888, &pixel, 4);
  return SDL_Color{static_cast<Uint8>(pixel >> 16), static_cast<Uint8>(pixel >> 8), static_cast<Uint8>(pixel),
                   static_cast<Uint8>(pixel >> 24)};
}

cLogCapture::cLogCapture() {
  logger_.StartWorker();
  SetActiveLogger(&logger_);
  logger_.AttachSink(
      [this](unsigned, const char* line) {
        std::lock_guard lock(lock_);
        lines_.emplace_back(line);
      },
      5);
}

cLogCapture::~cLogCapture() {
  logger_.StopWorker();
  SetActiveLogger(nullptr);
}

bool cLogCapture::Logged(const std::string& text) {
  logger_.Flush();
  std::lock_guard lock(lock_);
  for (const auto& line : lines_) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

void cLogCapture::Clear() {
  logger_.Flush();
  std::lock_guard lock(lock_);
  lines_.clear();
}

}  // namespace quarvel::ui::testing
