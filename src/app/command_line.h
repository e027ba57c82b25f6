#pragma once

#include <string>
#include <vector>

// Splitting a Windows command line into arguments. Pure text work, so it
// builds everywhere and is tested and fuzzed natively.
namespace quarvel::launcher {

// Cuts a full command line (program name first) into the arguments after the
// program name. Quotes decide where arguments end but stay in them.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace quarvel::launcher
