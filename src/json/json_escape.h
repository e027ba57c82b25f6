#pragma once

#include <string>

namespace quarvel {

// The text escaped for use inside a JSON string, without surrounding quotes.
// Control bytes, '"' and '\' are escaped; every other byte (UTF-8 sequences
// and '/' included) is copied unchanged.
std::string EscapeJsonString(const std::string& text);

}  // namespace quarvel
