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
  chosenLocalization_ = chosen;
  localizationReport_ = {reason, loaded, error};
  // The first load comes before the log file is open: Initialize reports it
  // once the file is there.
  if (logFile_.is_open()) ReportLocalization();
}

void AntiCheatLauncher::ReportLocalization() {
  Log(LogLevel::Info, "Localization file '%s' chosen: %s.", chosenLocalization_.c_str(),
      localizationReport_.reason.c_str());
  if (localizationReport_.loaded) {
    Log(LogLevel::Info, "Localization file loaded, using '%s'.", chosenLocalization_.c_str());
  } else {
    Log(LogLevel::Info, "Failed to load localization file: '%s'.", localizationReport_.error.c_str());
  }
}

}  // namespace quarvel::launcher
