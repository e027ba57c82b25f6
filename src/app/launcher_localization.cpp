#include "app/anticheat_launcher.h"
#include "localization/user_locale.h"

namespace quarvel::launcher {

void AntiCheatLauncher::SetUserLocale(const std::string& language, const std::string& country) {
  language_ = language;
  country_ = country;
  localeGiven_ = true;
}

void AntiCheatLauncher::DetectLocaleAndLoad() {
  if (!localeGiven_) DetectUserLocaleOrWarn(language_, country_);
  LoadLocalization({}, {});
}

void AntiCheatLauncher::LoadLocalization(const std::string& language, const std::string& country) {
  std::string directory, chosen, error, reason;
  GetLocalizationDirectory(directory);
  const bool loaded = catalogue_.Load(directory,
                                      language.empty() ? language_ : language,
                                      country.empty() ? country_ : country, chosen, error, &reason);
  Log(LogLevel::Info, "Localization file '%s' chosen: %s.", chosen.c_str(), reason.c_str());
  chosenLocalization_ = chosen;
  if (loaded) {
    Log(LogLevel::Info, "Localization file loaded, using '%s'.", chosen.c_str());
  } else {
    Log(LogLevel::Info, "Failed to load localization file: '%s'.", error.c_str());
  }
}

}  // namespace quarvel::launcher
