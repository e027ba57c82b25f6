#include "launch/process/game_process.h"

namespace quarvel::launcher {

std::string BuildGameCommandLine(const std::string& path, const std::vector<std::string>& arguments) {
  std::string line = "\"" + path + "\"";
  for (const std::string& argument : arguments) {
    line += ' ';
    line += argument;
  }
  return line;
}

std::string DescribeGameStartFailure(const cLocalization& catalogue, const std::string& systemError) {
  return catalogue.GetString("launcher_error.error_create_process", "Failed to create the game process: {0}",
                             {systemError});
}

}  // namespace quarvel::launcher
