#include <vector>

#include "app/anticheat_launcher.h"
#include "app/switches.h"
#include "localization/localization.h"
#include "ui/assets/embedded_assets.h"

// The fonts and pictures of the window, loaded once while it is set up.
namespace quarvel::launcher {

bool AntiCheatLauncher::LoadAssets() {
  assets_.baseDirectory = executableDirectory_;
  bool useFallback = false;
  const std::int32_t decodedAside = logoDecode_.Pending() ? ui::kTextureLogoSheet : -1;
  const auto ready = [this](std::int32_t id) { return id == ui::kTextureSplash ? splashDecode_.Take() : nullptr; };
  const bool loaded = assets_.LoadFonts(catalogue_, chosenLocalization_, useFallback) &&
                      assets_.LoadTextures(renderContext_.renderer, settings_.requested_splash, decodedAside, ready);
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

void AntiCheatLauncher::StartSplashDecode() {
  if (headlessMode) return;
  for (const ui::EmbeddedTexture& picture : ui::GetEmbeddedTextures()) {
    if (picture.id == ui::kTextureSplash) splashDecode_.Start(picture);
  }
}

void AntiCheatLauncher::StartPictureWork() {
  for (const ui::EmbeddedTexture& picture : ui::GetEmbeddedTextures()) {
    if (picture.id == ui::kTextureLogoSheet) logoDecode_.Start(picture);
  }
}

void AntiCheatLauncher::FinishPictureWork() {
  if (!logoDecode_.Pending()) return;
  // A sheet that did not decode leaves the logo out; everything else stays.
  assets_.AdoptDecoded(renderContext_.renderer, ui::kTextureLogoSheet, logoDecode_.Take());
  if (const auto logo = GetAnimatedImage(kLogoAnimation)) logo->BindTexture(assets_.GetTexture(ui::kTextureLogoSheet));
  RequestRedraw();
}

}  // namespace quarvel::launcher
