// The settings reader over any text, and the string escaping of analytics
// bodies over any bytes. Beyond "no crash": the maps keep their invariants,
// escaped text is valid JSON string content that decodes back to the input,
// and a settings value written with the escaping reads back unchanged.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "json/json_document.h"
#include "json/json_escape.h"

namespace {

using quarvel::cJsonDocument;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Decodes the content of a JSON string as a strict reader would; false for
// anything a strict reader refuses. \u escapes above 0xFF do not occur here.
bool DecodeJsonString(const std::string& escaped, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const auto byte = static_cast<unsigned char>(escaped[i]);
    if (byte < 0x20 || byte == '"') return false;
    if (byte != '\\') {
      out.push_back(escaped[i]);
      continue;
    }
    if (++i == escaped.size()) return false;
    switch (escaped[i]) {
      case '"': out.push_back('"'); break;
      case '\\': out.push_back('\\'); break;
      case '/': out.push_back('/'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': {
        if (escaped.size() - i < 5) return false;
        int value = 0;
        for (std::size_t k = 1; k <= 4; ++k) {
          const int digit = HexDigit(escaped[i + k]);
          if (digit < 0) return false;
          value = value * 16 + digit;
        }
        if (value > 0xFF) return false;
        out.push_back(static_cast<char>(value));
        i += 4;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

void CheckDocument(const std::string& text) {
  cJsonDocument document;
  FUZZ_CHECK(document.Parse(text) == !text.empty());
  // A digit also puts its key in the boolean map, unless a value of the
  // same key came first there ("true", then "0"): each map keeps its first.
  for (const auto& [key, number] : document.Integers()) {
    FUZZ_CHECK(number >= 0 && number <= 9);
    FUZZ_CHECK(document.Booleans().contains(key));
  }
  for (const auto& [key, value] : document.Strings()) {
    FUZZ_CHECK(key.find('"') == std::string::npos && value.find('"') == std::string::npos);
    FUZZ_CHECK(value.find("\\\\") == std::string::npos);
  }
}

// A text the settings file can carry: the reader interprets no escapes, so
// only quotes, control bytes and doubled backslashes are out of reach, and
// values the reader types ("true", "7") are not strings.
bool IsPlainSettingsValue(const std::string& value) {
  if (value == "true" || value == "false") return false;
  if (value.size() == 1 && value[0] >= '0' && value[0] <= '9') return false;
  for (const char c : value) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '"') return false;
  }
  return value.find("\\\\") == std::string::npos;
}

void CheckEscaping(const std::string& text) {
  const std::string escaped = quarvel::EscapeJsonString(text);
  std::string decoded;
  FUZZ_CHECK(DecodeJsonString(escaped, decoded));
  FUZZ_CHECK(decoded == text);

  if (!IsPlainSettingsValue(text)) return;
  cJsonDocument document;
  document.Parse("{\"key\": \"" + escaped + "\"}");
  std::string read;
  FUZZ_CHECK(document.GetString("key", read) && read == text);
  FUZZ_CHECK(document.Strings().size() == 1 && document.Booleans().empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CheckDocument(text);
  CheckEscaping(text);
  return 0;
}
