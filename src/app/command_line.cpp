#include "app/command_line.h"

namespace quarvel::launcher {

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  std::size_t i = 0;
  const std::size_t end = commandLine.size();
  const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };

  // The program name: quoted up to the next quote, else up to the first blank.
  if (i < end && commandLine[i] == '"') {
    const std::size_t closing = commandLine.find('"', 1);
    i = closing == std::string::npos ? end : closing + 1;
  } else {
    while (i < end && !isBlank(commandLine[i])) ++i;
  }
  while (i < end && isBlank(commandLine[i])) ++i;

  std::vector<std::string> arguments;
  std::string current;
  bool inQuotes = false;
  int backslashes = 0;
  for (; i < end; ++i) {
    const char c = commandLine[i];
    if (isBlank(c) && !inQuotes) {
      if (!current.empty()) arguments.push_back(std::move(current));
      current.clear();
      backslashes = 0;
      continue;
    }
    current += c;
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"' && backslashes % 2 == 0) inQuotes = !inQuotes;
    backslashes = 0;
  }
  if (!current.empty()) arguments.push_back(std::move(current));
  return arguments;
}

}  // namespace quarvel::launcher
