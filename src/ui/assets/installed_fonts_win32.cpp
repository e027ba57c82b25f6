#include "ui/assets/installed_fonts.h"

namespace quarvel::ui {

// Windows takes the files a catalogue names ("windows_fonts") from its fonts
// folder; it has no lookup by language.
bool FindInstalledFonts(const std::string&, const std::vector<char32_t>&, std::map<int, FontFile>& faces) {
  faces.clear();
  return false;
}

}  // namespace quarvel::ui
