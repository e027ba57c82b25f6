#include <fontconfig/fontconfig.h>

#include <memory>

#include "common/logger.h"
#include "localization/localization.h"
#include "ui/assets/installed_fonts.h"

// fontconfig knows every font installed for the user and the system, which
// characters each one covers and which languages it was made for.
namespace quarvel::ui {
namespace {

struct PatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
struct CharSetDeleter {
  void operator()(FcCharSet* set) const { FcCharSetDestroy(set); }
};
struct LangSetDeleter {
  void operator()(FcLangSet* set) const { FcLangSetDestroy(set); }
};
struct FontSetDeleter {
  void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using Pattern = std::unique_ptr<FcPattern, PatternDeleter>;
using CharSet = std::unique_ptr<FcCharSet, CharSetDeleter>;
using LangSet = std::unique_ptr<FcLangSet, LangSetDeleter>;
using FontSet = std::unique_ptr<FcFontSet, FontSetDeleter>;

// "zh_cn" -> "zh-cn", the form of fontconfig's language tags.
std::string LanguageTag(const std::string& language) {
  std::string tag;
  for (char c : language) {
    if (c == '_') c = '-';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    tag += c;
  }
  return tag;
}

// The first font of fontconfig's ranking for the pattern that covers every
// character; fonts made for the language rank first.
bool FindCoveringFont(FcConfig* config, const std::string& tag, const FcCharSet* characters, int weight,
                      FontFile& file) {
  Pattern pattern(FcPatternCreate());
  LangSet languages(FcLangSetCreate());
  if (!pattern || !languages) return false;
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  if (!tag.empty() && FcLangSetAdd(languages.get(), reinterpret_cast<const FcChar8*>(tag.c_str()))) {
    FcPatternAddLangSet(pattern.get(), FC_LANG, languages.get());
  }
  FcPatternAddCharSet(pattern.get(), FC_CHARSET, characters);
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, weight);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());

  FcResult result = FcResultNoMatch;
  FontSet sorted(FcFontSort(config, pattern.get(), FcFalse, nullptr, &result));
  if (!sorted) return false;
  for (int i = 0; i < sorted->nfont; ++i) {
    FcPattern* font = sorted->fonts[i];
    FcCharSet* covered = nullptr;
    FcChar8* path = nullptr;
    int index = 0;
    FcBool scalable = FcFalse;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &covered) != FcResultMatch ||
        FcPatternGetString(font, FC_FILE, 0, &path) != FcResultMatch) {
      continue;
    }
    if (FcPatternGetBool(font, FC_SCALABLE, 0, &scalable) == FcResultMatch && !scalable) continue;
    if (!FcCharSetIsSubset(characters, covered)) continue;
    FcPatternGetInteger(font, FC_INDEX, 0, &index);
    file.path = reinterpret_cast<const char*>(path);
    file.faceIndex = index;
    return true;
  }
  return false;
}

}  // namespace

bool FindInstalledFonts(const std::string& language, const std::vector<char32_t>& characters,
                        std::map<int, FontFile>& faces) {
  faces.clear();
  if (!FcInit()) {
    Log(LogLevel::Warning, "fontconfig could not be initialized; no installed font is used.");
    return false;
  }
  FcConfig* config = FcConfigGetCurrent();
  CharSet needed(FcCharSetCreate());
  if (!needed) return false;
  for (const char32_t c : characters) FcCharSetAddChar(needed.get(), static_cast<FcChar32>(c));

  const std::string tag = LanguageTag(language);
  const std::pair<int, int> weights[] = {
      {kSystemFontRegular, FC_WEIGHT_REGULAR}, {kSystemFontBold, FC_WEIGHT_BOLD}, {kSystemFontLight, FC_WEIGHT_LIGHT}};
  for (const auto& [slot, weight] : weights) {
    FontFile file;
    if (!FindCoveringFont(config, tag, needed.get(), weight, file)) {
      faces.clear();
      return false;
    }
    faces[slot] = file;
  }
  return true;
}

}  // namespace quarvel::ui
