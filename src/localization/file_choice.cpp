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

}  // namespace

LocalizationFileChoice ChooseLocalizationFile(const std::vector<std::string>& names,
                                              const std::string& language, const std::string& country) {
  if (names.empty()) return {"en_us.cfg", "en_us"};

  std::string fileName = names.front();
  const std::string full =
      LowerAscii(country.empty() ? language + ".cfg" : language + "_" + country + ".cfg");
  if (Contains(names, full)) {
    fileName = full;
  } else if (Contains(names, language + ".cfg")) {
    fileName = language + ".cfg";
  }
  return {fileName, fileName.substr(0, fileName.find(".cfg"))};
}

}  // namespace quarvel
