#include "localization/file_choice.h"

#include <algorithm>

namespace quarvel {

namespace {

std::string LowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  }
  return text;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

LocalizationFileChoice Choice(const std::string& fileName, LocalizationChoiceReason reason) {
  return {fileName, fileName.substr(0, fileName.find(".cfg")), reason};
}

}  // namespace

LocalizationFileChoice ChooseLocalizationFile(const std::vector<std::string>& names,
                                              const std::string& language, const std::string& country) {
  if (names.empty()) return Choice("en_us.cfg", LocalizationChoiceReason::NothingListed);

  const std::string full =
      LowerAscii(country.empty() ? language + ".cfg" : language + "_" + country + ".cfg");
  if (Contains(names, full)) return Choice(full, LocalizationChoiceReason::LanguageAndCountry);
  if (Contains(names, language + ".cfg")) return Choice(language + ".cfg", LocalizationChoiceReason::Language);
  for (const char* english : {"en_us.cfg", "en.cfg"}) {
    if (Contains(names, english)) return Choice(english, LocalizationChoiceReason::English);
  }
  return Choice(names.front(), LocalizationChoiceReason::FirstListed);
}

std::string DescribeChoice(const LocalizationFileChoice& choice, const std::string& language,
                           const std::string& country) {
  const std::string locale = country.empty() ? language : language + "_" + country;
  switch (choice.reason) {
    case LocalizationChoiceReason::LanguageAndCountry:
      return "the file of '" + locale + "'";
    case LocalizationChoiceReason::Language:
      return "the file of the language '" + language + "'";
    case LocalizationChoiceReason::English:
      return "no file for '" + locale + "' or '" + language + "', English instead";
    case LocalizationChoiceReason::FirstListed:
      return "no file for '" + locale + "' or '" + language + "' and no English file, the first file listed";
    case LocalizationChoiceReason::NothingListed:
      return "no localization file listed";
  }
  return {};
}

}  // namespace quarvel
