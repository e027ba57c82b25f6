#include <cstdint>
#include <limits>
#include <vector>

#include "common/platform.h"
#include "json/json_document.h"

namespace quarvel {

bool cJsonDocument::Load(const std::string& path, std::string& error) {
  error.clear();
  if (path.empty()) {
    error = kEmptyPathError;
    return false;
  }
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path.c_str(), bytes, std::numeric_limits<std::uint32_t>::max())) {
    error = kReadError;
    return false;
  }
  // Taken as they are: no byte-order mark removal, no encoding check.
  if (!Parse(std::string(bytes.begin(), bytes.end()))) {
    error = kParseError;
    return false;
  }
  return true;
}

}  // namespace quarvel
