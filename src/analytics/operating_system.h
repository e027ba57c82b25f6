#pragma once

#include <string>

#include "analytics/analytics_body.h"

namespace quarvel::Analytics {

// The system the events report: "Windows" with its version and build, "Wine"
// with Wine's version, or "Linux" with the kernel release.
OperatingSystem DescribeOperatingSystem();

#ifdef _WIN32
// "10.0 64-bit (Build 19045)": the version Windows (or Wine) keeps in the
// process environment block, whatever the executable's manifest says.
std::string WindowsVersionText();
#endif

}  // namespace quarvel::Analytics
