#include "launch/settings_location.h"

#include <algorithm>
#include <string_view>

#include "common/platform.h"

namespace quarvel::launcher {
namespace {

constexpr const char* kDataDirectoryName = "Quarvel";

std::string WithoutQuotes(std::string text) {
  std::erase(text, '"');
  std::erase(text, '\'');
  return text;
}

}  // namespace

std::string ResolveSettingsFileName(std::vector<std::string>& arguments) {
  const std::string_view prefix = kSettingsSwitch;
  for (const std::string& argument : arguments) {
    if (argument.size() < prefix.size() || argument.find(prefix) == std::string::npos) continue;
    const std::string unquoted = WithoutQuotes(argument);
    const std::size_t at = unquoted.find(prefix);
    // At the start, or after one more hyphen ("--anticheat_settings=").
    const bool accepted = at == 0 || (at == 1 && unquoted[0] == '-');
    if (!accepted) continue;

    const std::string fileName = unquoted.substr(at + prefix.size());
    const std::string candidate = argument;  // `argument` dies with the erase below
    std::erase(arguments, candidate);
    return fileName;
  }
  return kDefaultSettingsFileName;
}

bool IsSettingsFileNameInside(const std::string& fileName) {
  std::size_t start = 0;
  while (start <= fileName.size()) {
    std::size_t end = fileName.find_first_of("/\\", start);
    if (end == std::string::npos) end = fileName.size();
    if (std::string_view(fileName).substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string BuildSettingsPath(const std::string& executableDirectory, const std::string& fileName) {
  return executableDirectory + kDataDirectoryName + kPathSeparator + fileName;
}

bool GetSettingsPath(const std::string& fileName, std::string& path) {
  std::string directory;
  if (GetExecutableDirectory(directory) != ExecutableDirectoryResult::Ok) return false;
  path = BuildSettingsPath(directory, fileName);
  return true;
}

}  // namespace quarvel::launcher
