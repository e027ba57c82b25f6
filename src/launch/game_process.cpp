#include "launch/game_process.h"

#include "common/logger.h"
#include "launch/module_loader.h"

namespace quarvel::launcher {

bool CreateGameProcessFor(cModuleLoader& loader, const cLocalization& catalogue, const std::string& path,
                          const std::vector<std::string>& arguments, const std::string& workingDirectory,
                          GameProcess& game) {
  GameStartResult start = StartGameProcess(path, arguments, workingDirectory);
  switch (start.status) {
    case GameStartStatus::Started:
      Log(LogLevel::Info, "Game process started, id: %u.", start.process.processId);
      game = std::move(start.process);
      return true;
    case GameStartStatus::NoProcessId:
      return false;
    case GameStartStatus::Failed:
      break;
  }
  loader.Report(QVL_LoaderStartFailed, DescribeGameStartFailure(catalogue, start.systemError).c_str());
  return false;
}

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
