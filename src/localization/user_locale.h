#pragma once

#include <string>

// The user's language and country, e.g. "de" and "DE".
namespace quarvel {

// Asks the operating system. False when the locale cannot be told; the
// outputs must not be used then.
bool DetectUserLocale(std::string& language, std::string& country);

// DetectUserLocale, or "en" and "us" when it fails (false then). Silent.
bool DetectUserLocaleOrDefault(std::string& language, std::string& country);

// The same, logging a Warning when it falls back.
void DetectUserLocaleOrWarn(std::string& language, std::string& country);

// Splits a POSIX locale name "language[_COUNTRY][.codeset][@modifier]":
// "de_DE.UTF-8" gives "de" and "DE"; "pt" gives "pt" and "". False for "C" and
// "POSIX" (with or without a codeset), an empty name and a language that is not all ASCII letters.
bool ParseLocaleName(const std::string& name, std::string& language, std::string& country);

}  // namespace quarvel
