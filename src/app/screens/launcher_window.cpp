#include <SDL.h>

#include "app/anticheat_launcher.h"
#include "app/switches.h"

// The bootstrapper's window: a hidden, borderless 800 x 450 window with a
// software renderer and everything drawn on it, shown and hidden as the
// launcher's state asks.
namespace quarvel::launcher {
namespace {

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 450;
constexpr const char* kWindowFailedText = "Failed to initialize the bootstrapper window";

}  // namespace

bool AntiCheatLauncher::InitializeWindow(std::string& error) {
  if (headlessMode) return true;
  const std::string title = settings_.title.empty() ? "Quarvel Bootstrapper" : settings_.title;
  if (renderContext_.window != nullptr) {
    Log(LogLevel::Error, "Called twice!");
    error = kWindowFailedText;
    return false;
  }
  StartPictureWork();
  renderContext_.window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                           kWindowWidth, kWindowHeight, SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS);
  if (renderContext_.window == nullptr) {
    Log(LogLevel::Error, "Window creation failed");
    error = kWindowFailedText;
    return false;
  }
  renderContext_.width = kWindowWidth;
  renderContext_.height = kWindowHeight;
  if (renderContext_.renderer != nullptr) SDL_DestroyRenderer(renderContext_.renderer);
  renderContext_.renderer = SDL_CreateRenderer(renderContext_.window, -1, SDL_RENDERER_SOFTWARE);
  if (renderContext_.renderer == nullptr) {
    Log(LogLevel::Info, "Renderer creation failed with: '%s'", SDL_GetError());
    Log(LogLevel::Error, "Renderer creation failed!");
    error = kWindowFailedText;
    return false;
  }
  SDL_SetRenderDrawBlendMode(renderContext_.renderer, SDL_BLENDMODE_BLEND);

  if (!LoadAssets()) {
    error = "Failed to load the embedded resources.";
    Log(LogLevel::Error, "%s", error.c_str());
    return false;
  }
  Log(LogLevel::Info, "Embedded resources successfully loaded.");
  if (!CreateUserInterfaceElements()) {
    error = "Failed to create the user interface elements.";
    return false;
  }
  BuildScreens();
  if (!InitializeUserInterfaceElements()) {
    error = "Failed to initialize the user interface elements.";
    return false;
  }
  SDL_GetGlobalMouseState(&mouseX_, &mouseY_);
  SetWindowIcon();
  return true;
}

void AntiCheatLauncher::SetWindowIcon() {
  icons_.Apply(renderContext_.window, executableDirectory_, executableDirectory_ + settings_.executable);
}

void AntiCheatLauncher::DestroyWindow() {
  SDL_FreeSurface(logoDecode_.Take());
  SDL_FreeSurface(splashDecode_.Take());
  // Textures belong to the renderer: everything drawn goes before it.
  {
    std::lock_guard lock(activeElementsLock_);
    activeElements_.clear();
  }
  progressScreen_.clear();
  initializingScreen_.clear();
  errorScreen_.clear();
  waitingScreen_.clear();
  animatedImages_.clear();
  buttons_.clear();
  shapes_.clear();
  images_.clear();
  texts_.clear();
  assets_.Clear();
  drawnLook_ = {};  // it keeps the text textures of the last frame alive
  renderContext_.Destroy();
}

void AntiCheatLauncher::ShowBootstrapperWindow() {
  if (renderContext_.window == nullptr) return;
  SDL_ShowWindow(renderContext_.window);
  RequestRedraw();
}

void AntiCheatLauncher::HideBootstrapperWindow() {
  if (renderContext_.window != nullptr) SDL_HideWindow(renderContext_.window);
}

void AntiCheatLauncher::FlashBootstrapperWindow() {
  if (renderContext_.window == nullptr) {
    Log(LogLevel::Error, "Called with a null window!");
    return;
  }
  if (SDL_FlashWindow(renderContext_.window, SDL_FLASH_UNTIL_FOCUSED) != 0) {
    Log(LogLevel::Error, "Failed to use flash effect with: '%s'.", SDL_GetError());
  }
}

}  // namespace quarvel::launcher
