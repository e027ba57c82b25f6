#include "json/json_escape.h"

#include <cstdio>

namespace quarvel {

std::string EscapeJsonString(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case 0x08: result += "\\b"; break;
      case 0x09: result += "\\t"; break;
      case 0x0A: result += "\\n"; break;
      case 0x0C: result += "\\f"; break;
      case 0x0D: result += "\\r"; break;
      case '"': result += "\\\""; break;
      case '\\': result += "\\\\"; break;
      default:
        if (byte < 0x20) {
          char escaped[7];
          std::snprintf(escaped, sizeof(escaped), "\\u%04X", byte);
          result += escaped;
        } else {
          result.push_back(c);
        }
    }
  }
  return result;
}

}  // namespace quarvel
