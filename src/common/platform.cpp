#include "common/platform.h"

namespace quarvel {
namespace {

bool EnsureDirectory(const std::string& path) {
  return DirectoryExists(path.c_str()) || CreateDirectoryUtf8(path);
}

}  // namespace

ExecutableDirectoryResult GetExecutableDirectory(std::string& out) {
  out.clear();
  std::string path;
  if (!GetExecutablePath(path)) return ExecutableDirectoryResult::PathUnavailable;
  const std::size_t last = path.find_last_of("\\/");
  if (last == std::string::npos) return ExecutableDirectoryResult::NoDirectory;
  out = path.substr(0, last + 1);
  return ExecutableDirectoryResult::Ok;
}

bool GetProductCacheDirectory(std::string& out, const std::string& productId,
                              const std::string& deploymentId) {
  if (productId.empty() || deploymentId.empty()) return false;
  std::string path;
  if (!GetCacheRootDirectory(path)) return false;
  // The identifiers are used as they are; the settings reader has already
  // restricted them to safe characters.
  for (const std::string* level : {&productId, &deploymentId}) {
    path += *level;
    if (!EnsureDirectory(path)) return false;
    path += kPathSeparator;
  }
  out = path;
  return true;
}

}  // namespace quarvel
