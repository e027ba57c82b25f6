#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The local copy of the anti-cheat module: one file per product, deployment
// and architecture holding the payload exactly as the CDN sent it
// (scrambled), and beside it a ".metadata" file with the payload's SHA-1 and
// its ETag. The loader opens the record before its thread starts, uses it on
// its thread and writes it after the thread ended, so the record has no lock.
namespace quarvel::launcher {

class cModuleCache {
 public:
  // Takes `path` and forgets everything else. The copy is valid when the
  // file exists, is at most 168 whole hours old and matches its metadata; an
  // older file is deleted with its metadata.
  void Open(const std::string& path);
  // Removes the cache file and its metadata file.
  void Delete();
  // True when the metadata names both a hash and an ETag and the hash is the
  // cache file's (in any letter case); `etag` is the stored ETag then.
  bool ReadMetadata(std::string& etag) const;
  // Writes the cache file's hash and `etag` as the metadata.
  bool WriteMetadata(const std::string& etag) const;
  // Replaces the cache file with `payload` and, when every byte was
  // written, the metadata with `payloadEtag`; then forgets both. Does
  // nothing without a payload or a path.
  void WritePayload();

  // 40 lower-case hexadecimal digits of the file's SHA-1; false on an empty
  // path, an unreadable file or a hashing failure.
  static bool ComputeSha1Hex(const std::string& path, std::string& hex);

  std::string path;  // empty when there is no cache
  bool valid = false;
  std::string cachedEtag;
  std::vector<std::uint8_t> payload;  // scrambled bytes of the module in use
  std::string payloadEtag;

 private:
  std::string MetadataPath() const { return path + ".metadata"; }
};

// The ages a cache file may have: up to 168 whole hours.
bool IsCacheAgeAcceptable(std::uint64_t ageMilliseconds);

// The hash and ETag a metadata text names. Lines ("\n", an ending "\r"
// dropped) of more than 5 characters count; "sha1=" and "etag=" in any ASCII
// case; a later line wins. False unless both values are non-empty.
bool ParseCacheMetadata(const std::string& text, std::string& sha1, std::string& etag);

// The architecture part of cache file names for a CDN system name;
// "INVALID_SYSTEM" for an unknown one.
const char* CacheArchitectureName(const std::string& systemName);

// The product cache directory (created when missing) + "quarvel_" +
// architecture + ".qvl"; false for an empty id or a directory that cannot be
// created.
bool BuildModuleCachePath(const std::string& productId, const std::string& deploymentId,
                          const std::string& systemName, std::string& path);

}  // namespace quarvel::launcher
