#include "ui/assets/picture_header.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "common/logger.h"
#include "common/platform.h"

namespace quarvel::ui {
namespace {

// Enough for every header below; a JPEG's frame header may follow large
// metadata segments, and picture files are small.
constexpr std::uint32_t kHeaderReadLimit = 0x100000;

std::uint32_t Big16(const std::uint8_t* b) { return std::uint32_t{b[0]} << 8 | b[1]; }
std::uint32_t Big32(const std::uint8_t* b) { return Big16(b) << 16 | Big16(b + 2); }
std::uint32_t Little16(const std::uint8_t* b) { return std::uint32_t{b[1]} << 8 | b[0]; }
std::uint32_t Little24(const std::uint8_t* b) { return std::uint32_t{b[2]} << 16 | Little16(b); }
std::uint32_t Little32(const std::uint8_t* b) { return Little16(b + 2) << 16 | Little16(b); }

bool StartsWith(std::span<const std::uint8_t> bytes, const char* text, std::size_t at = 0) {
  const std::size_t size = std::strlen(text);
  return bytes.size() >= at + size && std::memcmp(bytes.data() + at, text, size) == 0;
}

bool Png(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
  if (b.size() < 24 || !StartsWith(b, "\x89PNG\r\n\x1a\n") || !StartsWith(b, "IHDR", 12)) return false;
  w = Big32(&b[16]);
  h = Big32(&b[20]);
  return true;
}

// Walks the segments up to the first frame header (SOF0 to SOF15 but DHT,
// JPG and DAC).
bool Jpeg(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
  if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8) return false;
  std::size_t at = 2;
  while (at + 4 <= b.size()) {
    if (b[at] != 0xFF) return false;
    const std::uint8_t marker = b[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      at += 2;
      continue;
    }
    const std::uint32_t length = Big16(&b[at + 2]);
    if (length < 2) return false;
    const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (at + 9 > b.size()) return false;
      h = Big16(&b[at + 5]);
      w = Big16(&b[at + 7]);
      return true;
    }
    if (marker == 0xD9 || marker == 0xDA) return false;  // end, or data before any frame header
    at += 2 + length;
  }
  return false;
}

bool Bmp(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
  if (b.size() < 26 || !StartsWith(b, "BM")) return false;
  const std::uint32_t infoSize = Little32(&b[14]);
  if (infoSize == 12) {  // OS/2 core header: 16-bit sizes
    w = Little16(&b[18]);
    h = Little16(&b[20]);
    return true;
  }
  const auto width = static_cast<std::int32_t>(Little32(&b[18]));
  const auto height = static_cast<std::int32_t>(Little32(&b[22]));
  // Negative height: stored top-down. INT32_MIN has no positive counterpart.
  w = width < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(width);
  h = height == INT32_MIN ? 0xFFFFFFFFu : static_cast<std::uint32_t>(height < 0 ? -height : height);
  return true;
}

bool Gif(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
  if (b.size() < 10 || !(StartsWith(b, "GIF87a") || StartsWith(b, "GIF89a"))) return false;
  w = Little16(&b[6]);
  h = Little16(&b[8]);
  return true;
}

// The largest entry of an icon or cursor directory; 0 stands for 256. An
// entry's stored picture is not looked into.
bool Icon(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
  if (b.size() < 6 || Little16(&b[0]) != 0 || (Little16(&b[2]) != 1 && Little16(&b[2]) != 2)) return false;
  const std::uint32_t count = Little16(&b[4]);
  if (count == 0 || b.size() < 6 + 16 * std::size_t{count}) return false;
  w = 0;
  h = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = &b[6 + 16 * i];
    w = std::max(w, entry[0] == 0 ? 256u : entry[0]);
    h = std::max(h, entry[1] == 0 ? 256u : entry[1]);
    // A PNG stored in the entry carries its own, real size.
    const std::uint32_t size = Little32(entry + 8);
    const std::uint32_t offset = Little32(entry + 12);
    if (offset < b.size() && size >= 24 && b.size() - offset >= 24) {
      std::uint32_t pw = 0, ph = 0;
      if (Png(b.subspan(offset, 24), pw, ph)) {
        w = std::max(w, pw);
        h = std::max(h, ph);
      }
    }
  }
  return true;
}

bool Webp(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
  if (b.size() < 30 || !StartsWith(b, "RIFF") || !StartsWith(b, "WEBP", 8)) return false;
  if (StartsWith(b, "VP8X", 12)) {
    w = Little24(&b[24]) + 1;
    h = Little24(&b[27]) + 1;
    return true;
  }
  if (StartsWith(b, "VP8L", 12)) {
    if (b[20] != 0x2F) return false;
    const std::uint32_t bits = Little32(&b[21]);
    w = (bits & 0x3FFF) + 1;
    h = ((bits >> 14) & 0x3FFF) + 1;
    return true;
  }
  if (StartsWith(b, "VP8 ", 12)) {
    if (b[23] != 0x9D || b[24] != 0x01 || b[25] != 0x2A) return false;
    w = Little16(&b[26]) & 0x3FFF;
    h = Little16(&b[28]) & 0x3FFF;
    return true;
  }
  return false;
}

bool Qoi(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
  if (b.size() < 14 || !StartsWith(b, "qoif")) return false;
  w = Big32(&b[4]);
  h = Big32(&b[8]);
  return true;
}

bool Tga(std::span<const std::uint8_t> b, const std::string& extension, std::uint32_t& w, std::uint32_t& h) {
  std::string lower = extension;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (lower != ".tga" || b.size() < 18) return false;
  w = Little16(&b[12]);
  h = Little16(&b[14]);
  return true;
}

std::string ExtensionOf(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  const std::size_t separator = path.find_last_of("/\\");
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
  return path.substr(dot);
}

}  // namespace

bool ReadPictureSize(std::span<const std::uint8_t> bytes, const std::string& extensionHint, std::uint32_t& width,
                     std::uint32_t& height) {
  if (Png(bytes, width, height) || Jpeg(bytes, width, height) || Bmp(bytes, width, height) ||
      Gif(bytes, width, height) || Webp(bytes, width, height) || Qoi(bytes, width, height)) {
    return true;
  }
  // Neither has a signature of its own: the name decides, as for the decoder.
  return Tga(bytes, extensionHint, width, height) || Icon(bytes, width, height);
}

bool IsPictureFileWithinLimits(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path.c_str(), bytes, kHeaderReadLimit)) return false;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!ReadPictureSize(bytes, ExtensionOf(path), width, height)) {
    Log(LogLevel::Error, "The provided file: '%s' is no picture whose size can be read.", path.c_str());
    return false;
  }
  if (width > kMaximumPictureSide || height > kMaximumPictureSide) {
    Log(LogLevel::Error, "The provided file: '%s' of %ux%u pixels exceeds the maximum allowed picture size of %ux%u.",
        path.c_str(), width, height, kMaximumPictureSide, kMaximumPictureSide);
    return false;
  }
  return true;
}

}  // namespace quarvel::ui
