#include "app/switches.h"

#include "common/platform.h"

namespace quarvel::launcher {

bool immediateExitOnError = false;
bool headlessMode = false;

bool ReadEnvironmentSwitch(const std::string& name) {
  std::string value;
  return GetEnvironmentVariableUtf8(name, value) && value == "1";
}

void ReadEnvironmentSwitches() {
  immediateExitOnError = ReadEnvironmentSwitch(kImmediateExitVariable);
  headlessMode = ReadEnvironmentSwitch(kHeadlessVariable);
}

}  // namespace quarvel::launcher
