#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "launch/platform_module_loader.h"

// The Linux build's module loader: the module is a native shared library,
// loaded straight from memory (an in-memory file opened by dlopen) and
// entered through its symbols "a" to "d".
namespace quarvel::launcher {

// The module's bytes in a new in-memory file, closed on exec and sealed
// against writing, shrinking and growing; its descriptor, or -1 (logged).
int WriteSealedModuleFile(const std::vector<std::uint8_t>& image);

class cNativeModuleLoader : public cPlatformModuleLoader {
 public:
  using cPlatformModuleLoader::cPlatformModuleLoader;
  ~cNativeModuleLoader() override;

  // Loads the library, then starts the module; a library that cannot be
  // loaded, lacks an entry or fails to initialize is reported as 507.
  void LoadModule(const std::vector<std::uint8_t>& image) override;

  MapResult MapModule(const std::vector<std::uint8_t>& image);
};

}  // namespace quarvel::launcher
