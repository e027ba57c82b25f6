#include <windows.h>

#include "common/text_encoding.h"
#include "localization/user_locale.h"

namespace quarvel {

bool DetectUserLocale(std::string& language, std::string& country) {
  wchar_t languageBuffer[16] = {};
  wchar_t countryBuffer[16] = {};
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME, languageBuffer, 16) <= 0) return false;
  if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME, countryBuffer, 16) <= 0) return false;
  language = WideToUtf8(languageBuffer);
  country = WideToUtf8(countryBuffer);
  return true;
}

}  // namespace quarvel
