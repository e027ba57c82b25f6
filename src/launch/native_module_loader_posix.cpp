#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/logger.h"
#include "common/random.h"
#include "launch/native_module_loader.h"
#include "launch/trust/module_trailer.h"

namespace quarvel::launcher {
namespace {

bool WriteAll(int descriptor, const std::uint8_t* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(descriptor, bytes, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

// The library, loaded from an in-memory file; null on failure. The file
// stays open while the library is loaded, that is for the rest of the
// process: the dynamic loader knows the library by the descriptor's path, and
// a new file under a reused number would be taken for it.
void* LoadFromMemory(const std::vector<std::uint8_t>& image) {
  const int descriptor = WriteSealedModuleFile(image);
  if (descriptor < 0) return nullptr;
  char path[64];
  std::snprintf(path, sizeof(path), "/proc/self/fd/%i", descriptor);
  void* library = dlopen(path, RTLD_LAZY | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = dlerror();
    Log(LogLevel::Error, "dlopen refused the module: %s", error != nullptr ? error : "unknown");
    close(descriptor);
  }
  return library;
}

}  // namespace

int WriteSealedModuleFile(const std::vector<std::uint8_t>& image) {
  char name[37];
  GenerateGuidString(name, sizeof(name));
  const int descriptor = memfd_create(name, MFD_ALLOW_SEALING | MFD_CLOEXEC);
  if (descriptor < 0) {
    Log(LogLevel::Error, "memfd_create failed: %s.", std::strerror(errno));
    return -1;
  }
  if (!WriteAll(descriptor, image.data(), image.size())) {
    Log(LogLevel::Error, "Writing the module to memory failed: %s.", std::strerror(errno));
    close(descriptor);
    return -1;
  }
  // Sealed, so that nobody who opens the file through /proc changes the
  // pages of the running module.
  if (fcntl(descriptor, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW) != 0) {
    Log(LogLevel::Error, "Sealing the in-memory module failed: %s.", std::strerror(errno));
    close(descriptor);
    return -1;
  }
  return descriptor;
}

cNativeModuleLoader::~cNativeModuleLoader() { Shutdown(); }

void cNativeModuleLoader::LoadModule(const std::vector<std::uint8_t>& image) {
  const MapResult mapped = MapModule(image);
  if (mapped != MapResult::Mapped) return ReportMapFailure(mapped);
  const ModuleCalls calls{&CallEntry, &ForwardResult, &ForwardResultV1};
  SetModuleLanguage(calls);
  const std::uint8_t result = StartModule(calls, false, {});
  if (result != QVL_InitializeOk) ReportInitializeFailure(result);
}

MapResult cNativeModuleLoader::MapModule(const std::vector<std::uint8_t>& image) {
  if (image.empty()) return MapResult::BadArguments;
  if (!AcceptNativeModule(image, BuiltInModuleKeys(), signatureRefusal_)) return MapResult::SignatureRefused;
  // The library stays loaded until the process ends, like a mapped Windows
  // module: threads of its own may still run.
  return TakeNamedEntries(LoadFromMemory(image),
                          [](void* library, const char* name) -> const void* { return dlsym(library, name); });
}

}  // namespace quarvel::launcher
