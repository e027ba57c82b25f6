#pragma once

#include <map>
#include <string>
#include <vector>

// The platform's own way to find an installed font for a language, where
// catalogues cannot name font files (they name Windows files only).
namespace quarvel::ui {

// A font file and the face in it (a collection holds several).
struct FontFile {
  std::string path;
  int faceIndex = 0;
};

// Asks the platform for installed fonts that draw every one of `characters`,
// preferring those made for `language` (a file name such as "ja" or
// "zh_cn"). On success `faces` holds a file for each system font slot
// (kSystemFontRegular, kSystemFontBold, kSystemFontLight): the nearest
// weight, possibly one file for all three. False when no installed font
// covers the characters, and on Windows, whose catalogues name their fonts.
bool FindInstalledFonts(const std::string& language, const std::vector<char32_t>& characters,
                        std::map<int, FontFile>& faces);

}  // namespace quarvel::ui
