#pragma once

namespace quarvel::launcher {

// Which libraries have started, so shutdown stops exactly those.
enum SdlStarted : unsigned { kSdlStarted = 1, kSdlImageStarted = 2, kSdlTtfStarted = 4, kSdlAllStarted = 7 };

// Starts SDL (video), SDL_image (PNG) and SDL_ttf and asks for linear
// scaling. Returns the mask of what started; kSdlAllStarted on success.
unsigned StartSdl();

// Stops what `mask` says started, in reverse order.
void StopSdl(unsigned mask);

}  // namespace quarvel::launcher
