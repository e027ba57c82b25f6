#include <SDL.h>

#include "app/anticheat_launcher.h"

// What the window does with the user's input. Closing the window ends the
// run; clicks, drags and the key sequence belong to the elements on it.
namespace quarvel::launcher {

void AntiCheatLauncher::HandleEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      RequestExit();
      break;
    default:
      break;
  }
}

}  // namespace quarvel::launcher
