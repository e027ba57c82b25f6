#include <SDL.h>
#include <SDL_ttf.h>

#include "common/logger.h"
#include "common/platform.h"
#include "localization/localization.h"
#include "ui/assets/asset_store.h"
#include "ui/assets/embedded_assets.h"

namespace quarvel::ui {
namespace {

// Slot -> full path of each system font the catalogue names; empty unless
// all three are named and exist. A missing file sets useFallback.
std::map<int, std::string> LocateSystemFonts(const cLocalization& catalogue, const std::string& directory,
                                             bool& useFallback) {
  std::map<int, std::string> fonts;
  if (!catalogue.GetSystemFonts(fonts)) return {};
  for (int slot = kSystemFontRegular; slot <= kSystemFontLight; ++slot) {
    std::string& path = fonts[slot];
    path = directory + path;
    if (!PathExists(path.c_str())) {
      Log(LogLevel::Error, "Could not locate font file: '%s' on disk, falling back to en_us.", path.c_str());
      useFallback = true;
      return {};
    }
  }
  return fonts;
}

bool OpenSystemFont(const EmbeddedFont& entry, const std::string& path, cFontSlot& slot) {
  TTF_Font* font = TTF_OpenFont(path.c_str(), entry.pointSize);
  if (font == nullptr) {
    Log(LogLevel::Error, "Failed in loading font from file: '%s'.", path.c_str());
    return false;
  }
  slot.Reset(font, entry.pointSize);
  Log(LogLevel::Verbose, "Successfully loaded the system font: '%s', size: %u.", path.c_str(),
      static_cast<unsigned>(entry.pointSize));
  return true;
}

bool OpenEmbeddedFont(const EmbeddedFont& entry, cFontSlot& slot) {
  SDL_RWops* stream = SDL_RWFromConstMem(entry.bytes, static_cast<int>(entry.size));
  // The font owns the stream from here on and closes it, on failure too.
  TTF_Font* font = stream == nullptr ? nullptr : TTF_OpenFontRW(stream, 1, entry.pointSize);
  if (font == nullptr) {
    Log(LogLevel::Error, "Failed in loading font from memory: '%u'.", static_cast<unsigned>(entry.id));
    return false;
  }
  slot.Reset(font, entry.pointSize);
  Log(LogLevel::Verbose, "Successfully loaded the embedded: '%u', size: %u.", static_cast<unsigned>(entry.id),
      static_cast<unsigned>(entry.pointSize));
  return true;
}

}  // namespace

bool cAssetStore::LoadFonts(const cLocalization& catalogue, bool& useFallback) {
  if (!SystemFontsSupported()) return LoadFonts(catalogue, std::nullopt, useFallback);
  return LoadFonts(catalogue, GetFontsDirectory(), useFallback);
}

bool cAssetStore::LoadFonts(const cLocalization& catalogue, const std::optional<std::string>& systemFontsDirectory,
                            bool& useFallback) {
  useFallback = false;
  std::map<int, std::string> systemFonts;
  if (systemFontsDirectory.has_value()) {
    systemFonts = LocateSystemFonts(catalogue, *systemFontsDirectory, useFallback);
  } else if (std::map<int, std::string> named; catalogue.GetSystemFonts(named)) {
    Log(LogLevel::Verbose, "System fonts are not used on %s; the embedded fonts serve.", kPlatformName);
  }

  for (const EmbeddedFont& entry : GetEmbeddedFonts()) {
    cFontSlot& slot = fonts_[entry.id];
    slot.Reset();
    const bool opened = systemFonts.empty()
                            ? OpenEmbeddedFont(entry, slot)
                            : OpenSystemFont(entry, systemFonts[SystemFontSlotOf(entry.id)], slot);
    if (!opened) return false;
  }
  return true;
}

}  // namespace quarvel::ui
