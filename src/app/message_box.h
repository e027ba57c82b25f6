#pragma once

#include <string>

namespace quarvel::launcher {

// An error box titled "Quarvel Launch Error" with no parent window; shows
// nothing when immediate exit on error is on.
void ShowLaunchErrorBox(const std::string& text);

// An information box with no parent window (the module loader's notice that
// the module comes from an overridden address); nothing with immediate exit
// on error.
void ShowInformationBox(const char* title, const char* text);

}  // namespace quarvel::launcher
