#include "app/switches.h"
#include "common/logger.h"

using namespace quarvel;
using namespace quarvel::launcher;

int main(int argc, char** argv) {
  cLogger logger;
  const std::vector<std::string> arguments = ReadProcessArguments(argc, argv);
  ReadEnvironmentSwitches();
  logger.StartWorker();
  SetOverlaySuppression(true);
  SetActiveLogger(&logger);

  const int exitCode = 0;
  Log(LogLevel::Info, "Terminating with: %i.", exitCode);
  logger.StopWorker();
  SetActiveLogger(nullptr);
  return exitCode;
}
