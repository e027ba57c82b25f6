#include <SDL.h>

#include "app/anticheat_launcher.h"
#include "app/switches.h"

// The bootstrapper's window: a hidden, borderless 800 x 450 window with a
// software renderer, shown and hidden as the launcher's state asks.
namespace quarvel::launcher {
namespace {

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 450;
constexpr const char* kWindowFailedText = "Failed to initialize the bootstrapper window";

}  // namespace

bool AntiCheatLauncher::InitializeWindow(std::string& error) {
  if (headlessMode) return true;
  const std::string title = settings_.title.empty() ? "Quarvel Bootstrapper" : settings_.title;
  if (window_ != nullptr) {
    Log(LogLevel::Error, "Called twice!");
    error = kWindowFailedText;
    return false;
  }
  window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWindowWidth,
                             kWindowHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  if (window_ == nullptr) {
    Log(LogLevel::Error, "Window creation failed");
    error = kWindowFailedText;
    return false;
  }
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) {
    Log(LogLevel::Info, "Renderer creation failed with: '%s'", SDL_GetError());
    Log(LogLevel::Error, "Renderer creation failed!");
    error = kWindowFailedText;
    return false;
  }
  SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_BLEND);
  return true;
}

void AntiCheatLauncher::DestroyWindow() {
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  renderer_ = nullptr;
  window_ = nullptr;
}

void AntiCheatLauncher::ShowBootstrapperWindow() {
  if (window_ != nullptr) SDL_ShowWindow(window_);
}

void AntiCheatLauncher::HideBootstrapperWindow() {
  if (window_ != nullptr) SDL_HideWindow(window_);
}

void AntiCheatLauncher::FlashBootstrapperWindow() {
  if (window_ == nullptr) {
    Log(LogLevel::Error, "Called with a null window!");
    return;
  }
  if (SDL_FlashWindow(window_, SDL_FLASH_UNTIL_FOCUSED) != 0) {
    Log(LogLevel::Error, "Failed to use flash effect with: '%s'.", SDL_GetError());
  }
}

void AntiCheatLauncher::UpdateAndRenderFrame(std::int64_t) {
  if (renderer_ == nullptr) return;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderPresent(renderer_);
}

}  // namespace quarvel::launcher
