#include "launch/delivery/module_cache.h"

#include <cstdio>
#include <span>
#include <utility>

#include "common/logger.h"
#include "common/platform.h"
#include "common/strings.h"
#include "launch/delivery/module_cache_files.h"
#include "launch/trust/sha1.h"

namespace quarvel::launcher {
namespace {

constexpr std::uint64_t kMillisecondsPerHour = 3600000;
constexpr std::uint64_t kMaximumAgeHours = 168;
constexpr std::size_t kKeyLength = 5;

std::span<const std::uint8_t> AsBytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

void cModuleCache::Open(const std::string& cachePath) {
  path = cachePath;
  valid = false;
  cachedEtag.clear();
  payload.clear();
  payloadEtag.clear();
  if (path.empty()) return;

  std::uint64_t age = 0;
  if (!GetFileAgeMilliseconds(path, age)) return;
  if (!IsCacheAgeAcceptable(age)) {
    Delete();
    return;
  }
  std::string etag;
  valid = ReadMetadata(etag);
  if (valid) cachedEtag = std::move(etag);
}

void cModuleCache::Delete() {
  if (path.empty()) return;
  DeleteFileUtf8(path);
  DeleteFileUtf8(MetadataPath());
}

bool cModuleCache::ReadMetadata(std::string& etag) const {
  if (path.empty()) return false;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(MetadataPath(), bytes)) return false;
  std::string storedSha1;
  std::string storedEtag;
  if (!ParseCacheMetadata(std::string(bytes.begin(), bytes.end()), storedSha1, storedEtag)) return false;
  std::string actualSha1;
  if (!ComputeSha1Hex(path, actualSha1)) return false;
  if (!EqualsIgnoreCaseAscii(storedSha1.c_str(), actualSha1.c_str())) return false;
  etag = std::move(storedEtag);
  return true;
}

bool cModuleCache::WriteMetadata(const std::string& etag) const {
  if (path.empty()) return false;
  std::string sha1;
  if (!ComputeSha1Hex(path, sha1)) return false;
  // The lines end as a Windows text file's do, whichever platform wrote them.
  const std::string text = "sha1=" + sha1 + "\r\netag=" + etag + "\r\n";
  return WriteWholeFile(MetadataPath(), AsBytes(text));
}

void cModuleCache::WritePayload() {
  if (!payload.empty() && !path.empty()) {
    if (!WriteWholeFile(path, payload)) {
      Log(LogLevel::Verbose, "Failed to write the module cache: '%s'.", path.c_str());
    } else if (!WriteMetadata(payloadEtag)) {
      Log(LogLevel::Verbose, "Failed to write the module cache metadata: '%s'.", path.c_str());
    }
  }
  payload.clear();
  payloadEtag.clear();
}

bool cModuleCache::ComputeSha1Hex(const std::string& filePath, std::string& hex) {
  if (filePath.empty()) return false;
  // Read a piece at a time: right after a download the payload is still held,
  // and a second whole copy of it would double what the launch needs.
  cSha1 hash;
  if (!ReadFileInPieces(filePath, [&hash](std::span<const std::uint8_t> piece) { return hash.Update(piece); })) {
    return false;
  }
  Sha1Digest digest{};
  if (!hash.Finish(digest)) return false;
  static constexpr char kDigits[] = "0123456789abcdef";
  hex.clear();
  for (const std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return true;
}

bool IsCacheAgeAcceptable(std::uint64_t ageMilliseconds) {
  return ageMilliseconds / kMillisecondsPerHour <= kMaximumAgeHours;
}

bool ParseCacheMetadata(const std::string& text, std::string& sha1, std::string& etag) {
  sha1.clear();
  etag.clear();
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() <= kKeyLength) continue;
    const std::string key = line.substr(0, kKeyLength);
    if (EqualsIgnoreCaseAscii(key.c_str(), "sha1=")) {
      sha1 = line.substr(kKeyLength);
    } else if (EqualsIgnoreCaseAscii(key.c_str(), "etag=")) {
      etag = line.substr(kKeyLength);
    }
  }
  return !sha1.empty() && !etag.empty();
}

const char* CacheArchitectureName(const std::string& systemName) {
  static constexpr std::pair<const char*, const char*> kNames[] = {
      {"win32", "x86"},
      {"wow64", "wow64"},
      {"wow64_win64", "wow64_x64"},
      {"win64_wow64", "x64_wow64"},
      {"win64", "x64"},
      {"linux64", "linux_x64"},
      {"linux32", "linux_x86"},
      {"linux64_32", "linux_x64_x86"},
      {"linux32_64", "linux_x86_x64"},
      {"mac64", "mac_x64"},
      {"mac_arm64", "mac_arm64"},
  };
  for (const auto& [system, architecture] : kNames) {
    if (systemName == system) return architecture;
  }
  return "INVALID_SYSTEM";
}

bool BuildModuleCachePath(const std::string& productId, const std::string& deploymentId,
                          const std::string& systemName, std::string& path) {
  std::string directory;
  if (productId.empty() || deploymentId.empty()) return false;
  if (!GetProductCacheDirectory(directory, productId, deploymentId)) return false;
  path = directory + "quarvel_" + CacheArchitectureName(systemName) + ".qvl";
  return true;
}

}  // namespace quarvel::launcher
