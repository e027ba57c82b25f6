// Command-line splitting over any text. Beyond "no crash": arguments are
// non-empty, appear in the line in order as unchanged pieces of it, and hold
// a blank only where quotes protect it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> arguments = quarvel::launcher::SplitCommandLine(line);
  std::size_t from = 0;
  for (const std::string& argument : arguments) {
    FUZZ_CHECK(!argument.empty() && argument.size() <= line.size());
    const std::size_t at = line.find(argument, from);
    FUZZ_CHECK(at != std::string::npos);
    from = at + argument.size();
    if (argument.find_first_of(" \t") != std::string::npos) FUZZ_CHECK(argument.find('"') != std::string::npos);
  }
  return 0;
}
