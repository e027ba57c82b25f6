#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "launch/platform_module_loader.h"
#include "launch/trust/sealed_module_file.h"

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
  // The same, unscrambling the payload straight into the in-memory file.
  void LoadPayload(std::span<const std::uint8_t> payload) override;

  MapResult MapModule(const std::vector<std::uint8_t>& image);
  // The image of `size` bytes that `next` produces: written into a sealed
  // in-memory file, its signature checked over the sealed bytes, and only
  // then loaded from that file.
  MapResult MapModule(std::uint64_t size, const ModulePieceSource& next);

 private:
  void StartMappedModule(MapResult mapped);
};

}  // namespace quarvel::launcher
