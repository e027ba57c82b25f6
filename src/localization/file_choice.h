#pragma once

#include <string>
#include <vector>

namespace quarvel {

struct LocalizationFileChoice {
  std::string fileName;    // to append to the directory
  std::string chosenName;  // the file name up to its first ".cfg"
};

// Picks one of the ".cfg" names of a directory listing for a language
// (never empty) and a country (may be empty): "language_country.cfg" in lower
// case, else "language.cfg", else the first name listed; "en_us.cfg" when the
// list is empty. Names compare case-sensitively.
LocalizationFileChoice ChooseLocalizationFile(const std::vector<std::string>& names,
                                              const std::string& language, const std::string& country);

}  // namespace quarvel
