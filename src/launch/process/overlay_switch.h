#pragma once

// The environment variable that keeps an overlay from drawing into the
// bootstrapper: set to "1" for the bootstrapper itself, "0" for the game.
namespace quarvel::launcher {

inline constexpr const char* kOverlayVariable = "SteamNoOverlayUIDrawing";
inline constexpr const char* kOverlayOn = "1";
inline constexpr const char* kOverlayOff = "0";

// Writes the variable into this process's environment ("1" when on, else
// "0"); children created afterwards inherit it. A failure is ignored.
void SetOverlaySuppression(bool on);

}  // namespace quarvel::launcher
