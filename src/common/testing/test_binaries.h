#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/platform.h"

// Test helpers: the directory the test binaries run from (with the sample
// module and game built beside them), and a whole file's bytes.
namespace quarvel::launcher::test_support {

inline std::string TestBinaryDirectory() {
  std::string directory;
  GetExecutableDirectory(directory);
  return directory;
}

inline std::vector<std::uint8_t> ReadBinary(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace quarvel::launcher::test_support
