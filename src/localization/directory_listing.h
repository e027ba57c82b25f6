#pragma once

#include <string>
#include <vector>

namespace quarvel {

// Names (UTF-8, without the directory) of the entries of `directory` whose
// names end in `extension`, ASCII case ignored as the Windows pattern "*.cfg"
// does. Names starting with '.' and directories are left out. Windows gives
// them in its own listing order, Linux in byte order. Empty when the
// directory cannot be listed.
std::vector<std::string> ListFilesWithExtension(const std::string& directory, const std::string& extension);

// True when `name` ends in `extension`, ASCII case ignored.
bool HasExtensionIgnoreCase(const std::string& name, const std::string& extension);

}  // namespace quarvel
