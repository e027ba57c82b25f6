#include "launch/delivery/module_cache_files.h"

#include <limits>

#include "common/platform.h"

namespace quarvel::launcher {

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  const std::int64_t size = GetFileSizeUtf8(path.c_str());
  if (size < 0 || static_cast<std::uint64_t>(size) > std::numeric_limits<std::uint32_t>::max()) return false;
  if (size == 0) return PathExists(path.c_str()) && !DirectoryExists(path.c_str());
  return ReadFileBytes(path.c_str(), bytes, static_cast<std::uint32_t>(size));
}

}  // namespace quarvel::launcher
