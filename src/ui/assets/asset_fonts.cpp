#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>

#include "common/logger.h"
#include "common/platform.h"
#include "localization/catalogue_keys.h"
#include "localization/localization.h"
#include "ui/assets/asset_store.h"
#include "ui/assets/embedded_assets.h"
#include "ui/assets/glyph_coverage.h"
#include "ui/assets/installed_fonts.h"

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

bool OpenInstalledFont(const EmbeddedFont& entry, const FontFile& file, cFontSlot& slot) {
  TTF_Font* font = TTF_OpenFontIndex(file.path.c_str(), entry.pointSize, file.faceIndex);
  if (font == nullptr) {
    Log(LogLevel::Error, "Failed in loading font from file: '%s'.", file.path.c_str());
    return false;
  }
  slot.Reset(font, entry.pointSize);
  Log(LogLevel::Verbose, "Successfully loaded the installed font: '%s' (face %d), size: %u.", file.path.c_str(),
      file.faceIndex, static_cast<unsigned>(entry.pointSize));
  return true;
}

// Every distinct character of `text` that is drawn, in first-seen order.
std::vector<char32_t> DistinctCharacters(const std::string& text) {
  std::vector<char32_t> characters;
  for (const char32_t c : DecodeUtf8(text)) {
    if (c == U'\n' || c == U'\r' || c == U'\t') continue;
    if (std::find(characters.begin(), characters.end(), c) == characters.end()) characters.push_back(c);
  }
  return characters;
}

// Every text of the catalogue, one per line.
std::string CatalogueTexts(const cLocalization& catalogue) {
  std::string texts;
  for (const CatalogueText& text : kCatalogueTexts) texts += catalogue.GetString(text.key, text.defaultText) + "\n";
  return texts;
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

bool cAssetStore::LoadFonts(const cLocalization& catalogue, const std::string& language, bool& useFallback) {
  if (SystemFontsSupported()) return LoadFontsFrom(catalogue, GetFontsDirectory(), useFallback);
  if (!LoadFontsFrom(catalogue, std::nullopt, useFallback)) return false;
  BindInstalledFonts(language, CatalogueTexts(catalogue));
  return true;
}

bool cAssetStore::BindInstalledFonts(const std::string& language, const std::string& texts) {
  if (CanDraw(texts)) return false;
  std::map<int, FontFile> faces;
  if (!FindInstalledFonts(language, DistinctCharacters(texts), faces)) {
    Log(LogLevel::Warning, "No installed font draws the texts of '%s'; the built-in fonts serve.", language.c_str());
    return false;
  }
  // Open all first, so that a failure leaves the fonts held untouched.
  std::map<std::int32_t, cFontSlot> opened;
  for (const EmbeddedFont& entry : GetEmbeddedFonts()) {
    if (!OpenInstalledFont(entry, faces[SystemFontSlotOf(entry.id)], opened[entry.id])) return false;
  }
  for (auto& [id, slot] : opened) {
    fonts_[id].Reset(slot.font, slot.pointSize);
    slot.font = nullptr;  // the store's slot owns it now
  }
  Log(LogLevel::Info, "Using the installed fonts '%s', '%s' and '%s' for '%s'.", faces[kSystemFontRegular].path.c_str(),
      faces[kSystemFontBold].path.c_str(), faces[kSystemFontLight].path.c_str(), language.c_str());
  return true;
}

std::vector<std::string> cAssetStore::UndrawableTexts(const cLocalization& catalogue) const {
  std::vector<std::string> keys;
  for (const CatalogueText& text : kCatalogueTexts) {
    if (!CanDraw(catalogue.GetString(text.key, text.defaultText))) keys.emplace_back(text.key);
  }
  return keys;
}

bool cAssetStore::CanDraw(const std::string& text) const {
  for (const auto& [id, slot] : fonts_) {
    if (slot.font != nullptr && !FontProvidesAll(slot.font, text)) return false;
  }
  return true;
}

bool cAssetStore::LoadFontsFrom(const cLocalization& catalogue,
                                const std::optional<std::string>& systemFontsDirectory, bool& useFallback) {
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
