#include "app/message_box.h"

#include <SDL.h>

#include "app/desktop_message_box.h"
#include "app/switches.h"

namespace quarvel::launcher {

void ShowLaunchErrorBox(const std::string& text) {
  if (immediateExitOnError) return;
  constexpr const char* kTitle = "Quarvel Launch Error";
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, kTitle, text.c_str(), nullptr) != 0) {
    ShowDesktopMessageBox(true, kTitle, text.c_str());
  }
}

void ShowInformationBox(const char* title, const char* text) {
  if (immediateExitOnError) return;
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, nullptr) != 0) {
    ShowDesktopMessageBox(false, title, text);
  }
}

}  // namespace quarvel::launcher
