#include "common/platform.h"
#include "localization/user_locale.h"

namespace quarvel {

// The first of LC_ALL, LC_MESSAGES and LANG that is set decides, as for the C
// library's own message catalogues.
bool DetectUserLocale(std::string& language, std::string& country) {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string name;
    if (GetEnvironmentVariableUtf8(variable, name)) return ParseLocaleName(name, language, country);
  }
  return false;
}

}  // namespace quarvel
