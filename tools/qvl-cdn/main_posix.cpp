#include <iostream>
#include <string>
#include <vector>

#include "qvl_cdn.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return quarvel::cdn_tool::RunQvlCdn(arguments, std::cout, std::cerr);
}
