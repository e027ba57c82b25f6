#include "localization/localization.h"

#include <cstdint>
#include <limits>
#include <set>

#include "common/platform.h"
#include "common/strings.h"
#include "localization/catalogue_keys.h"
#include "localization/directory_listing.h"
#include "localization/file_choice.h"
#include "localization/user_locale.h"

namespace quarvel {

std::atomic<bool> fallbackToDefaults{false};

namespace {

std::mutex undrawableKeysLock;
std::set<std::string> undrawableKeys;  // guarded by undrawableKeysLock

bool ShowsDefault(const std::string& key) {
  std::lock_guard<std::mutex> guard(undrawableKeysLock);
  return undrawableKeys.count(key) != 0;
}

}  // namespace

void ShowDefaultsFor(const std::vector<std::string>& keys) {
  std::lock_guard<std::mutex> guard(undrawableKeysLock);
  undrawableKeys = std::set<std::string>(keys.begin(), keys.end());
}

bool GetLocalizationDirectory(std::string& directory) {
  std::string executableDirectory;
  if (GetExecutableDirectory(executableDirectory) != ExecutableDirectoryResult::Ok) return false;
  directory = executableDirectory + "Quarvel" + kPathSeparator + "Localization" + kPathSeparator;
  return true;
}

bool cLocalization::Load(const std::string& directory, const std::string& language,
                         const std::string& country, std::string& chosenName, std::string& error,
                         std::string* reason) {
  chosenName.clear();
  error.clear();
  if (directory.empty()) {
    error = "No localization directory specified";
    return false;
  }
  std::string folder = directory;
  if (folder.back() != '\\' && folder.back() != '/') folder += kPathSeparator;

  const std::string wanted = language.empty() ? "en" : language;
  const LocalizationFileChoice choice = ChooseLocalizationFile(ListFilesWithExtension(folder, ".cfg"), wanted, country);
  chosenName = choice.chosenName;
  if (reason != nullptr) *reason = DescribeChoice(choice, wanted, country);
  return LoadFile(folder + choice.fileName, error);
}

bool cLocalization::LoadForUser(std::string& error) {
  std::string language;
  std::string country;
  DetectUserLocaleOrDefault(language, country);
  std::string directory;
  if (!GetLocalizationDirectory(directory)) {
    error = "Error getting current executable path.";
    return false;
  }
  std::string chosenName;
  return Load(directory, language, country, chosenName, error);
}

bool cLocalization::LoadFile(const std::string& path, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!ReadFileBytes(path.c_str(), bytes, std::numeric_limits<std::uint32_t>::max())) {
    // An empty file reads as a failure; it is reported by the parse instead.
    const bool emptyFile =
        PathExists(path.c_str()) && !DirectoryExists(path.c_str()) && GetFileSizeUtf8(path.c_str()) == 0;
    if (!emptyFile) {
      error = "File not found '" + path + "'";
      return false;
    }
  }
  std::lock_guard<std::mutex> guard(lock_);
  text_.assign(bytes.begin(), bytes.end());
  return parser_.Parse(text_, error);
}

bool cLocalization::Lookup(const std::string& identifier, std::string& value, std::string& error) const {
  const std::vector<std::string> pieces = SplitByAny(identifier, ".");
  if (pieces.size() != 2) {
    error = "Identifier syntax error: expected \"<section>.<key>\"";
    return false;
  }
  std::lock_guard<std::mutex> guard(lock_);
  const CfgSections& sections = parser_.Sections();
  const auto section = sections.find(pieces[0]);
  if (section == sections.end()) {
    error = "Section not found '" + identifier + "'";
    return false;
  }
  const auto entry = section->second.find(pieces[1]);
  if (entry == section->second.end()) {
    error = "Key not found '" + identifier + "'";
    return false;
  }
  value = entry->second;
  return true;
}

std::string cLocalization::GetString(const std::string& key, const std::string& defaultText,
                                     const std::vector<std::string>& arguments) const {
  std::string text;
  std::string error;
  if (fallbackToDefaults.load() || ShowsDefault(key) || !Lookup(key, text, error)) text = defaultText;
  FormatPlaceholders(text, arguments);
  return text;
}

bool cLocalization::GetSystemFonts(std::map<int, std::string>& fonts) const {
  fonts.clear();
  for (int slot = kSystemFontRegular; slot <= kSystemFontLight; ++slot) {
    const std::string file = GetString(kSystemFontKeys[slot], "");
    if (file.empty()) {
      fonts.clear();
      return false;
    }
    fonts[slot] = file;
  }
  return true;
}

}  // namespace quarvel
