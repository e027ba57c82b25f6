#pragma once

#include <string>
#include <vector>

// Where the settings file is: "Settings.json", or the file named by the
// "-anticheat_settings=" argument, always in the Quarvel directory beside the
// executable.
namespace quarvel::launcher {

inline constexpr const char* kSettingsSwitch = "-anticheat_settings=";
inline constexpr const char* kDefaultSettingsFileName = "Settings.json";

// The file name given by the first argument that holds the switch at its
// start (quotes and apostrophes disregarded, "--" accepted), possibly empty;
// "Settings.json" when there is none. Every argument equal to the accepted
// one is removed from `arguments`, so the game never sees it.
std::string ResolveSettingsFileName(std::vector<std::string>& arguments);

// True when `fileName` stays inside the Quarvel directory: no ".." among its
// components, with either separator. Sub-folders are fine.
bool IsSettingsFileNameInside(const std::string& fileName);

// `executableDirectory` (ending in a separator) + "Quarvel" + separator +
// `fileName`. The name is taken relative to that directory even when it is a
// full path itself.
std::string BuildSettingsPath(const std::string& executableDirectory, const std::string& fileName);

// BuildSettingsPath for the running executable's directory. False when that
// directory cannot be determined.
bool GetSettingsPath(const std::string& fileName, std::string& path);

}  // namespace quarvel::launcher
