#pragma once

#include <string>
#include <vector>

namespace quarvel {

// Why a file was chosen, for the log.
enum class LocalizationChoiceReason {
  LanguageAndCountry,  // "language_country.cfg"
  Language,            // "language.cfg"
  English,             // neither exists: the English file
  FirstListed,         // neither exists and no English file: the first name listed
  NothingListed,       // the directory holds no ".cfg" file
};

struct LocalizationFileChoice {
  std::string fileName;    // to append to the directory
  std::string chosenName;  // the file name up to its first ".cfg"
  LocalizationChoiceReason reason = LocalizationChoiceReason::NothingListed;
};

// Picks one of the ".cfg" names of a directory listing for a language
// (never empty) and a country (may be empty): "language_country.cfg" in lower
// case, else "language.cfg", else English ("en_us.cfg", else "en.cfg"), else
// the first name listed; "en_us.cfg" when the list is empty. Names compare
// case-sensitively.
//
// English before the first name: a player whose language is not shipped
// reads English, and a studio that ships a single file still gets it.
LocalizationFileChoice ChooseLocalizationFile(const std::vector<std::string>& names,
                                              const std::string& language, const std::string& country);

// A short English phrase for the log, e.g. "no file for 'xx_YY' or 'xx'".
std::string DescribeChoice(const LocalizationFileChoice& choice, const std::string& language,
                           const std::string& country);

}  // namespace quarvel
