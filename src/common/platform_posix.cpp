#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "common/platform.h"

namespace quarvel {

const char* const kPlatformName = "Linux";
const char kPathSeparator = '/';

namespace {

// $XDG_DATA_HOME when it is an absolute path, otherwise ~/.local/share.
std::string DataHome() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* entry = getpwuid(getuid());
    if (entry == nullptr || entry->pw_dir == nullptr) return {};
    home = entry->pw_dir;
  }
  return std::string(home) + "/.local/share";
}

// mkdir -p with the private mode the XDG base directories ask for.
bool CreateDirectories(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string prefix = path.substr(0, at);
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return DirectoryExists(path.c_str());
}

}  // namespace

bool GetExecutablePath(std::string& out) {
  out.clear();
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer));
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof(buffer)) return false;
  out.assign(buffer, static_cast<std::size_t>(length));
  return true;
}

bool PathExists(const char* path) {
  if (path == nullptr) return false;
  struct stat info {};
  return lstat(path, &info) == 0;
}

bool DirectoryExists(const char* path) {
  if (path == nullptr) return false;
  struct stat info {};
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateDirectoryUtf8(const std::string& path) {
  return !path.empty() && mkdir(path.c_str(), 0700) == 0;
}

std::int64_t GetFileSizeUtf8(const char* path) {
  if (path == nullptr) return 0;
  struct stat info {};
  if (stat(path, &info) != 0) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

bool ReadFileBytes(const char* path, std::vector<std::uint8_t>& bytes, std::uint32_t limit) {
  bytes.clear();
  if (path == nullptr || limit == 0) return false;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  const std::size_t wanted = size < limit ? static_cast<std::size_t>(size) : limit;
  bytes.resize(wanted);
  std::size_t done = 0;
  while (done < wanted) {
    const ssize_t got = read(fd, bytes.data() + done, wanted - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  close(fd);
  if (done != wanted) bytes.clear();
  return !bytes.empty();
}

bool GetEnvironmentVariableUtf8(const std::string& name, std::string& out) {
  if (name.empty()) return false;
  const char* value = std::getenv(name.c_str());
  if (value == nullptr || value[0] == '\0') return false;
  out = value;
  return true;
}

void SetEnvironmentVariableUtf8(const std::string& name, const std::string& value) {
  setenv(name.c_str(), value.c_str(), 1);
}

bool GetCacheRootDirectory(std::string& out) {
  out.clear();
  const std::string dataHome = DataHome();
  if (dataHome.empty() || !CreateDirectories(dataHome)) return false;
  const std::string root = dataHome + "/Quarvel/";
  if (!DirectoryExists(root.c_str()) && mkdir(root.c_str(), 0700) != 0) return false;
  out = root;
  return true;
}

bool IsRunningUnderWine() { return false; }

std::string GetWineVersion() { return {}; }

}  // namespace quarvel
