#include "launch/launch_catalogue.h"

namespace quarvel::launcher {

bool LoadLaunchCatalogue(cLocalization& catalogue, const std::string& directory, const char* language,
                         const char* region) {
  std::string error;
  if (language == nullptr) return catalogue.LoadForUser(error);
  std::string chosenName;
  return catalogue.Load(directory, language, region != nullptr ? region : "", chosenName, error);
}

std::string AppendDetail(std::string text, const std::string& detail) {
  if (!text.empty() && text.back() != ' ') text += ' ';
  return text + detail;
}

}  // namespace quarvel::launcher
