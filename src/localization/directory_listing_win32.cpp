#include <windows.h>

#include "common/platform_win32.h"
#include "common/text_encoding.h"
#include "localization/directory_listing.h"

namespace quarvel {

std::vector<std::string> ListFilesWithExtension(const std::string& directory, const std::string& extension) {
  std::vector<std::string> names;
  std::string pattern = directory;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += "*" + extension;

  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(ToExtendedLengthPath(Utf8ToWide(pattern).c_str()).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (data.cFileName[0] == L'.' || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    // The pattern also matches through 8.3 short names ("de.cfgx" is
    // "DE~1.CFG"); only the long name counts.
    std::string name = WideToUtf8(data.cFileName);
    if (HasExtensionIgnoreCase(name, extension)) names.push_back(std::move(name));
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

}  // namespace quarvel
