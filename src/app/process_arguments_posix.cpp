#include "app/switches.h"

namespace quarvel::launcher {

// The caller has split the arguments already; they arrive as given.
std::vector<std::string> ReadProcessArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

}  // namespace quarvel::launcher
