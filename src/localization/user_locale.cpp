#include "localization/user_locale.h"

#include "common/logger.h"

namespace quarvel {

namespace {

bool IsAsciiLetters(const std::string& text) {
  for (const char c : text) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return !text.empty();
}

}  // namespace

bool DetectUserLocaleOrDefault(std::string& language, std::string& country) {
  if (DetectUserLocale(language, country)) return true;
  language = "en";
  country = "us";
  return false;
}

void DetectUserLocaleOrWarn(std::string& language, std::string& country) {
  if (DetectUserLocaleOrDefault(language, country)) return;
  Log(LogLevel::Warning, "Failed to detect the user's locale, defaulting to: '%s_%s'.", language.c_str(),
      country.c_str());
}

bool ParseLocaleName(const std::string& name, std::string& language, std::string& country) {
  const std::string base = name.substr(0, name.find_first_of(".@"));
  if (base == "C" || base == "POSIX") return false;
  const std::size_t underscore = base.find('_');
  const std::string parsedLanguage = base.substr(0, underscore);
  const std::string parsedCountry = underscore == std::string::npos ? "" : base.substr(underscore + 1);
  if (!IsAsciiLetters(parsedLanguage)) return false;
  if (!parsedCountry.empty() && !IsAsciiLetters(parsedCountry)) return false;
  language = parsedLanguage;
  country = parsedCountry;
  return true;
}

}  // namespace quarvel
