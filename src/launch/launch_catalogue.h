#pragma once

#include <string>

#include "localization/localization.h"

namespace quarvel::launcher {

// Loads a launch catalogue from `directory` for `language` and `region`
// (either may be null). Without a language the user's locale is loaded from
// the default directory instead. A failure only leaves the defaults in use.
bool LoadLaunchCatalogue(cLocalization& catalogue, const std::string& directory, const char* language,
                         const char* region);

// `text` followed by `detail`, with the blank between them that a catalogue
// entry cannot end with.
std::string AppendDetail(std::string text, const std::string& detail);

}  // namespace quarvel::launcher
