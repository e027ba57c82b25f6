#include <cstdint>
#include <vector>

#include "common/platform.h"
#include "json/json_document.h"

namespace quarvel {

bool cJsonDocument::Load(const std::string& path, std::string& error, std::uint32_t maxBytes) {
  error.clear();
  if (path.empty()) {
    error = kEmptyPathError;
    return false;
  }
  std::vector<std::uint8_t> bytes;
  // One byte more than allowed tells a file that is too large.
  const std::uint32_t readLimit = maxBytes < kNoSizeLimit ? maxBytes + 1 : kNoSizeLimit;
  if (!ReadFileBytes(path.c_str(), bytes, readLimit)) {
    error = kReadError;
    return false;
  }
  if (bytes.size() > maxBytes) {
    error = kTooLargeError;
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
