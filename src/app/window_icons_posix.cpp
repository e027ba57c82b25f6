#include <SDL.h>
#include <SDL_image.h>

#include "app/window_icons.h"
#include "common/logger.h"
#include "common/platform.h"
#include "ui/assets/picture_header.h"

// Linux: the icon file through SDL_image, when the game ships one. A game
// executable has no icon resource to fall back on, so the window keeps the
// desktop's default.
namespace quarvel::launcher {

cWindowIcons::~cWindowIcons() = default;

void cWindowIcons::Apply(SDL_Window* window, const std::string& executableDirectory, const std::string&) {
  const std::string path = executableDirectory + "Quarvel/BootstrapperIcon.ico";
  // Sized from its header first, like a custom splash: the decoder would
  // allocate whatever the file claims.
  if (!PathExists(path.c_str())) {
    Log(LogLevel::Verbose, "Failed to load a custom icon off the disk.");
    return;
  }
  SDL_Surface* icon = ui::IsPictureFileWithinLimits(path) ? IMG_Load(path.c_str()) : nullptr;
  if (icon == nullptr) {
    Log(LogLevel::Verbose, "Failed to load a custom icon off the disk.");
    return;
  }
  if (window == nullptr) {
    Log(LogLevel::Verbose, "Couldn't get the window handle.");
  } else {
    SDL_SetWindowIcon(window, icon);
    Log(LogLevel::Info, "Will use the custom icon loaded off the disk.");
  }
  SDL_FreeSurface(icon);
}

}  // namespace quarvel::launcher
