#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "localization/directory_listing.h"

namespace quarvel {

std::vector<std::string> ListFilesWithExtension(const std::string& directory, const std::string& extension) {
  std::vector<std::string> names;
  DIR* listing = opendir(directory.empty() ? "." : directory.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = readdir(listing)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.' || !HasExtensionIgnoreCase(name, extension)) continue;
    struct stat info {};
    if (fstatat(dirfd(listing), entry->d_name, &info, 0) != 0 || S_ISDIR(info.st_mode)) continue;
    names.push_back(name);
  }
  closedir(listing);
  // readdir's order depends on the file system; a fixed order keeps the
  // choice of a fallback file the same on every machine.
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quarvel
