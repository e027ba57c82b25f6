#include "launch/native_module_loader.h"

namespace quarvel::launcher {

std::unique_ptr<cModuleLoader> CreateModuleLoader(const std::vector<std::string>& arguments) {
  return std::make_unique<cNativeModuleLoader>(arguments);
}

}  // namespace quarvel::launcher
