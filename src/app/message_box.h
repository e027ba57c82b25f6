#pragma once

#include <string>

namespace quarvel::launcher {

// An error box titled "Quarvel Launch Error" with no parent window; shows
// nothing when immediate exit on error is on.
void ShowLaunchErrorBox(const std::string& text);

}  // namespace quarvel::launcher
