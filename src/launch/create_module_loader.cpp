#include "launch/module_loader.h"

namespace quarvel::launcher {

// No platform loader has been built yet; cGameLauncher fails every launch
// with the module-loading result until one exists.
std::unique_ptr<cModuleLoader> CreateModuleLoader(const std::vector<std::string>&) { return nullptr; }

}  // namespace quarvel::launcher
