#include <vector>

#include "app/anticheat_launcher.h"
#include "localization/localization.h"

// The fonts and pictures of the window, loaded once while it is set up.
namespace quarvel::launcher {

bool AntiCheatLauncher::LoadAssets() {
  assets_.baseDirectory = executableDirectory_;
  bool useFallback = false;
  const bool loaded = assets_.LoadFonts(catalogue_, chosenLocalization_, useFallback) &&
                      assets_.LoadTextures(renderContext_.renderer, settings_.requested_splash);
  if (!loaded) Log(LogLevel::Error, "Failed to load the Quarvel Game Launcher's assets.");
  if (useFallback) {
    // The catalogue's fonts are missing: its texts may need glyphs the
    // built-in fonts lack, so every text becomes its English default.
    LoadLocalization("en", "us");
    fallbackToDefaults = true;
  } else if (loaded) {
    ShowDefaultsForUndrawableTexts();
  }
  return loaded;
}

// A text the bound fonts have no glyphs for would be drawn as boxes; its
// English default is drawn instead.
void AntiCheatLauncher::ShowDefaultsForUndrawableTexts() {
  const std::vector<std::string> keys = assets_.UndrawableTexts(catalogue_);
  ShowDefaultsFor(keys);
  if (keys.empty()) return;
  Log(LogLevel::Warning, "The fonts cannot draw %u texts of '%s' (the first: '%s'); they show their English defaults.",
      static_cast<unsigned>(keys.size()), chosenLocalization_.c_str(), keys.front().c_str());
}

}  // namespace quarvel::launcher
