#pragma once

#include <string>

// Inside the program all text is UTF-8 in std::string. Wide text (UTF-16 on
// Windows, UTF-32 on Linux) appears only where the operating system wants it.
namespace quarvel {

// Whole-string conversions. Empty input gives an empty result; invalid input
// becomes U+FFFD. On failure the result is the marker text "U82W_ERROR" or
// "W2U8_ERROR", never an empty string.
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

}  // namespace quarvel
