#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "launch/platform_module_loader.h"
#include "launch/trust/sealed_module_file.h"

// The Windows build's module loader. On Windows the module is a signed DLL:
// its signature is checked and it is mapped from memory by cImageMapper, its
// entries taken by export position. Under Wine the module is a native Linux
// library instead, loaded from memory through the host's dlopen and called
// with the host's calling convention.
namespace quarvel::launcher {

class cWindowsModuleLoader : public cPlatformModuleLoader {
 public:
  enum class ModuleKind {
    WindowsImage,  // a signed DLL, mapped by us
    HostLibrary,   // a native library of the Linux host under Wine
  };

  // The kind of module this process takes: a host library under Wine.
  explicit cWindowsModuleLoader(const std::vector<std::string>& arguments);
  // A loader for the given kind wherever it runs (a Windows module is mapped
  // under Wine, too). A host library that reports nothing within
  // `launchResultWaitLimit` after its initialize returned fails the launch.
  cWindowsModuleLoader(const std::vector<std::string>& arguments, ModuleKind kind,
                       std::chrono::milliseconds launchResultWaitLimit = kLaunchResultWaitLimit);
  // Shuts the module down, then releases the Wine helper buffer.
  ~cWindowsModuleLoader() override;

  // Maps the image, then starts the module; every failure is reported (507,
  // or 501 when the game has no host path under Wine).
  void LoadModule(const std::vector<std::uint8_t>& image) override;
  // A host library is unscrambled straight into the host's in-memory file it
  // is loaded from. A Windows image is unscrambled into a copy as before:
  // its signature check and the mapper both need the whole image at hand.
  void LoadPayload(std::span<const std::uint8_t> payload) override;

  // Makes the image's entries callable: initialize, shutdown and the third
  // entry must exist; set-language must too for a host library.
  MapResult MapModule(const std::vector<std::uint8_t>& image);

 protected:
  // A host library names the game by its host process id: that one is
  // translated through Wine's process-id file. A Windows module's id is
  // already a Windows one.
  std::uint32_t TranslateProcessId(std::uint32_t processId) override;
  void ShutdownModule() override;

 private:
  void StartMappedModule(MapResult mapped);
  MapResult MapWindowsImage(const std::vector<std::uint8_t>& image);
  // The image of `size` bytes that `next` produces: written into a sealed
  // host in-memory file, its signature checked over the sealed bytes, and
  // only then loaded from that file.
  MapResult MapHostLibrary(std::uint64_t size, const ModulePieceSource& next);

  const ModuleKind kind_;
};

}  // namespace quarvel::launcher
