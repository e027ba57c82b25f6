#include "app/anticheat_launcher.h"
#include "localization/user_locale.h"

namespace quarvel::launcher {

void AntiCheatLauncher::DetectLocaleAndLoad() {
  DetectUserLocaleOrWarn(language_, country_);
  LoadLocalization({}, {});
}

void AntiCheatLauncher::LoadLocalization(const std::string& language, const std::string& country) {
  std::string directory, chosen, error;
  GetLocalizationDirectory(directory);
  const bool loaded = catalogue_.Load(directory,
                                      language.empty() ? language_ : language,
                                      country.empty() ? country_ : country, chosen, error);
  if (loaded) {
    Log(LogLevel::Info, "Localization file loaded, using '%s'.", chosen.c_str());
  } else {
    Log(LogLevel::Info, "Failed to load localization file: '%s'.", error.c_str());
  }
}

}  // namespace quarvel::launcher
