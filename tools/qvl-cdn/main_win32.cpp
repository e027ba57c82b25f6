#include <iostream>
#include <string>
#include <vector>

#include "common/text_encoding.h"
#include "qvl_cdn.h"

// The wide command line, so that any path reaches the tool as UTF-8.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(quarvel::WideToUtf8(argv[i]));
  return quarvel::cdn_tool::RunQvlCdn(arguments, std::cout, std::cerr);
}
