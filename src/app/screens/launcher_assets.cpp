#include "app/anticheat_launcher.h"
#include "localization/localization.h"

// The fonts and pictures of the window, loaded once while it is set up.
namespace quarvel::launcher {

bool AntiCheatLauncher::LoadAssets() {
  assets_.baseDirectory = executableDirectory_;
  bool useFallback = false;
  const bool loaded =
      assets_.LoadFonts(catalogue_, useFallback) && assets_.LoadTextures(renderContext_.renderer, settings_.requested_splash);
  if (!loaded) Log(LogLevel::Error, "Failed to load the Quarvel Game Launcher's assets.");
  if (useFallback) {
    // The catalogue's fonts are missing: its texts may need glyphs the
    // built-in fonts lack, so every text becomes its English default.
    LoadLocalization("en", "us");
    fallbackToDefaults = true;
  }
  return loaded;
}

}  // namespace quarvel::launcher
