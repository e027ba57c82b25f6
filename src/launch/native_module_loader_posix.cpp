#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

#include "common/logger.h"
#include "launch/delivery/module_pieces.h"
#include "launch/memory_module_file.h"
#include "launch/native_module_loader.h"

namespace quarvel::launcher {
namespace {

// The library, loaded from a sealed in-memory file; null on failure. The file
// stays open while the library is loaded, that is for the rest of the
// process: the dynamic loader knows the library by the descriptor's path, and
// a new file under a reused number would be taken for it.
void* LoadFromMemory(cMemoryModuleFile& file) {
  char path[64];
  std::snprintf(path, sizeof(path), "/proc/self/fd/%i", file.Descriptor());
  void* library = dlopen(path, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    Log(LogLevel::Error, "dlopen refused the module: %s", error != nullptr ? error : "unknown");
    return nullptr;
  }
  file.Release();
  return library;
}

}  // namespace

int WriteSealedModuleFile(const std::vector<std::uint8_t>& image) {
  cMemoryModuleFile file;
  if (!file.Create(image.size()) || !file.WriteAt(0, image) || !file.Seal()) return -1;
  return file.Release();
}

cNativeModuleLoader::~cNativeModuleLoader() { Shutdown(); }

void cNativeModuleLoader::LoadModule(const std::vector<std::uint8_t>& image) {
  StartMappedModule(MapModule(image));
}

void cNativeModuleLoader::LoadPayload(std::span<const std::uint8_t> payload) {
  StartMappedModule(MapModule(payload.size(), ScrambledPayloadPieces(payload)));
}

void cNativeModuleLoader::StartMappedModule(MapResult mapped) {
  if (mapped != MapResult::Mapped) return ReportMapFailure(mapped);
  const ModuleCalls calls{&CallEntry, &ForwardResult, &ForwardResultV1};
  SetModuleLanguage(calls);
  const std::uint8_t result = StartModule(calls, false, {});
  if (result != QVL_InitializeOk) ReportInitializeFailure(result);
}

MapResult cNativeModuleLoader::MapModule(const std::vector<std::uint8_t>& image) {
  return MapModule(image.size(), PlainImagePieces(image));
}

MapResult cNativeModuleLoader::MapModule(std::uint64_t size, const ModulePieceSource& next) {
  if (size == 0) return MapResult::BadArguments;
  cMemoryModuleFile file;
  void* library = nullptr;
  switch (PrepareModuleFile(file, size, next, BuiltInModuleKeys(), signatureRefusal_)) {
    case ModuleFileResult::Refused:
      return MapResult::SignatureRefused;
    case ModuleFileResult::Failed:
      break;
    case ModuleFileResult::Ready:
      library = LoadFromMemory(file);
      break;
  }
  // The library stays loaded until the process ends, like a mapped Windows
  // module: threads of its own may still run.
  return TakeNamedEntries(library,
                          [](void* library, const char* name) -> const void* { return dlsym(library, name); });
}

}  // namespace quarvel::launcher
