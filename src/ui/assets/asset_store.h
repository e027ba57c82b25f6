#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ui/assets/font_slot.h"
#include "ui/assets/texture.h"

struct SDL_Renderer;
struct SDL_Surface;

namespace quarvel {
class cLocalization;
}

namespace quarvel::ui {

// The fonts and textures the window shows, loaded once during window set-up.
// Slots are created on first load and keep their address for the store's
// life, so elements may hold plain pointers to them; loading an id again
// refills the same slot. Main thread only.
//
// Textures belong to the renderer they were made on: destroy the store (or
// Clear it) before that renderer, and close fonts before TTF_Quit.
class cAssetStore {
 public:
  cAssetStore() = default;
  cAssetStore(const cAssetStore&) = delete;
  cAssetStore& operator=(const cAssetStore&) = delete;

  // Opens the six built-in fonts. When the catalogue names all three system
  // fonts and all three files exist in the system fonts folder, every id is
  // opened from those files instead, at its built-in point size. A missing
  // file sets useFallback (the caller then switches the texts to English)
  // and the built-in fonts serve. False when a font cannot be opened.
  //
  // Only Windows has a system fonts folder (GetFontsDirectory). Elsewhere
  // the catalogue's system fonts are ignored: when the built-in fonts lack
  // glyphs of the catalogue's texts, every id is opened from an installed
  // font the platform finds for `language` (the chosen file's name) and
  // those texts instead (BindInstalledFonts).
  bool LoadFonts(const cLocalization& catalogue, const std::string& language, bool& useFallback);
  // The same with the system fonts folder given (ending in a separator),
  // and no installed fonts bound; without a folder the catalogue's system
  // fonts are not consulted. (A name of its own: a folder passed as a plain
  // string must not pick the overload above.)
  bool LoadFontsFrom(const cLocalization& catalogue, const std::optional<std::string>& systemFontsDirectory,
                     bool& useFallback);

  // When the loaded fonts cannot draw every character of `texts`, asks the
  // platform for installed fonts covering them (FindInstalledFonts) and
  // opens every id from those at its point size. True when fonts were bound;
  // false (with a Warning) when none covers the texts, and the fonts held
  // stay.
  bool BindInstalledFonts(const std::string& language, const std::string& texts);

  // True when every loaded font has a glyph for every character of `text`.
  bool CanDraw(const std::string& text) const;
  // The keys of the program's texts whose catalogue text the loaded fonts
  // cannot draw, in the order of the key table.
  std::vector<std::string> UndrawableTexts(const cLocalization& catalogue) const;

  // Decodes the four built-in pictures. `requestedSplash`, a path relative
  // to baseDirectory ('/' or '\' separated), may replace the built-in splash;
  // a refused one is logged and the built-in splash takes its place. False
  // when a built-in picture cannot be made into a texture. The picture with
  // id `later` is left to be decoded elsewhere: its slot only gets its size
  // (from the picture's header) until AdoptDecoded fills it. `ready` hands
  // over a built-in picture decoded beforehand (freed here), or null for one
  // to decode in line.
  using ReadyPictures = std::function<SDL_Surface*(std::int32_t id)>;
  bool LoadTextures(SDL_Renderer* renderer, const std::string& requestedSplash, std::int32_t later = -1,
                    const ReadyPictures& ready = {});
  // Makes the texture of slot `id` from a decoded `surface`, which it frees.
  // False (the slot empty) when there is no surface or no texture was made.
  bool AdoptDecoded(SDL_Renderer* renderer, std::int32_t id, SDL_Surface* surface);

  // Loads a custom splash at `path` into `texture` if it is an existing
  // ".png" file of at most 1 MiB with exactly 800 x 450 pixels.
  bool LoadCustomSplash(SDL_Renderer* renderer, const std::string& path, cTexture& texture);

  // Null when the id was never loaded.
  cFontSlot* GetFont(std::int32_t id);
  cTexture* GetTexture(std::int32_t id);

  // Closes every font and destroys every texture; the slots stay.
  void Clear();

  // The executable's directory with its trailing separator; custom splash
  // paths are relative to it.
  std::string baseDirectory;

 private:
  std::map<std::int32_t, cFontSlot> fonts_;
  std::map<std::int32_t, cTexture> textures_;
};

// Whether this platform takes the system fonts a catalogue names (Windows).
bool SystemFontsSupported();
// The Windows fonts folder in UTF-8, ending in a separator; empty when it is
// unknown or the platform has none.
std::string GetFontsDirectory();

}  // namespace quarvel::ui
