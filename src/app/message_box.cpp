#include "app/message_box.h"

#include <SDL.h>

#include "app/switches.h"

namespace quarvel::launcher {

void ShowLaunchErrorBox(const std::string& text) {
  if (immediateExitOnError) return;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Quarvel Launch Error", text.c_str(), nullptr);
}

void ShowInformationBox(const char* title, const char* text) {
  if (immediateExitOnError) return;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, nullptr);
}

}  // namespace quarvel::launcher
