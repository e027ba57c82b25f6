#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The operating-system seam for paths, files, the environment, the cache
// directories and Wine detection. platform_win32.cpp and platform_posix.cpp
// implement it. Paths are UTF-8 on both sides. None of these functions logs.
namespace quarvel {

// The word logs use for the platform the binary was built for.
extern const char* const kPlatformName;

// Directory separator that the platform's own paths use.
extern const char kPathSeparator;

enum class ExecutableDirectoryResult : int {
  NoDirectory = 0,  // the path has no directory part
  Ok = 1,
  PathUnavailable = 3,  // the executable's path cannot be read; out is empty
};

bool GetExecutablePath(std::string& out);
// The executable's path up to and including its last separator.
ExecutableDirectoryResult GetExecutableDirectory(std::string& out);

bool PathExists(const char* path);
bool DirectoryExists(const char* path);
// Creates one directory level; false when it cannot be created (an existing
// file of that name included).
bool CreateDirectoryUtf8(const std::string& path);
// 0 for a null path, -1 when the file cannot be opened or sized.
std::int64_t GetFileSizeUtf8(const char* path);
// Reads min(limit, file size) bytes. Empties `bytes` first; false for a null
// path, a zero limit, a short read or an empty file.
bool ReadFileBytes(const char* path, std::vector<std::uint8_t>& bytes, std::uint32_t limit);

// False when the variable is missing or empty.
bool GetEnvironmentVariableUtf8(const std::string& name, std::string& out);
// Best effort; a failure is ignored by every caller.
void SetEnvironmentVariableUtf8(const std::string& name, const std::string& value);

// The per-user root of our cache ("Quarvel" under the application-data
// folder), created when missing; ends with a separator.
bool GetCacheRootDirectory(std::string& out);
// Root + productId + deploymentId, each level created when missing, each
// followed by a separator. False for an empty identifier or on any failure;
// `out` must not be used then.
bool GetProductCacheDirectory(std::string& out, const std::string& productId,
                              const std::string& deploymentId);

// Decided once per process.
bool IsRunningUnderWine();
std::string GetWineVersion();

}  // namespace quarvel
