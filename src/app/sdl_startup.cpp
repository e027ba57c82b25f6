#include "app/sdl_startup.h"

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_ttf.h>

#include "app/video_start_environment.h"
#include "common/logger.h"

namespace quarvel::launcher {

unsigned StartSdl() {
  unsigned started = 0;
  {
    const cVideoStartEnvironment environment;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
      Log(LogLevel::Error, "SDL could not initialize! SDL Error: '%s'.", SDL_GetError());
      return started;
    }
  }
  started |= kSdlStarted;
  if ((IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) == 0) {
    Log(LogLevel::Error, "SDL_image could not initialize! SDL_image Error: '%s'.", IMG_GetError());
    return started;
  }
  started |= kSdlImageStarted;
  if (TTF_Init() == -1) {
    Log(LogLevel::Error, "[Initialize] SDL_ttf could not initialize! SDL_ttf Error: '%s'.", TTF_GetError());
    return started;
  }
  started |= kSdlTtfStarted;
  if (!SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "1")) {
    Log(LogLevel::Warning, "Failed to set linear texture filtering.");
  }
  // The renderer is a software one; without this SDL may still present its
  // frames through OpenGL, which costs a software-rendered display (Xvfb,
  // remote sessions) about twice the processor time per frame.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  return started;
}

void StopSdl(unsigned mask) {
  if ((mask & kSdlTtfStarted) != 0) TTF_Quit();
  if ((mask & kSdlImageStarted) != 0) IMG_Quit();
  if ((mask & kSdlStarted) != 0) SDL_Quit();
}

}  // namespace quarvel::launcher
