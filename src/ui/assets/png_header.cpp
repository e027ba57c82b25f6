#include "ui/assets/png_header.h"

#include <cstring>
#include <vector>

#include "common/platform.h"

namespace quarvel::ui {
namespace {

// Signature, then the first chunk: length, "IHDR", width, height (big-endian).
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::uint32_t kHeaderBytes = 24;

std::uint32_t BigEndian32(const std::uint8_t* bytes) {
  return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
         std::uint32_t{bytes[3]};
}

}  // namespace

bool ReadPngSize(const std::string& path, std::uint32_t& width, std::uint32_t& height) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path.c_str(), bytes, kHeaderBytes) || bytes.size() < kHeaderBytes) return false;
  if (std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) return false;
  if (std::memcmp(bytes.data() + 12, "IHDR", 4) != 0) return false;
  width = BigEndian32(bytes.data() + 16);
  height = BigEndian32(bytes.data() + 20);
  return true;
}

}  // namespace quarvel::ui
