#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/logger.h"
#include "common/random.h"
#include "launch/native_module_loader.h"

namespace quarvel::launcher {
namespace {

cPlatformModuleLoader* LoaderOf(void* context) { return static_cast<cPlatformModuleLoader*>(context); }

// The module's callbacks. Nothing may unwind through the module's frames.
void OnResult(const QVL_ResultRecord* record) {
  if (record == nullptr || record->context == nullptr) return;
  try {
    LoaderOf(record->context)->OnModuleResult(*record);
  } catch (...) {
    Log(LogLevel::Error, "A module report failed.");
  }
}

void OnResultV1(std::int32_t code, const char* message, void* context) {
  if (context == nullptr) return;
  try {
    LoaderOf(context)->OnModuleResultV1(code, message);
  } catch (...) {
    Log(LogLevel::Error, "A module report failed.");
  }
}

std::uint8_t CallEntry(const void* entry, const void* argument) {
  using Entry = std::uint8_t (*)(const void*);
  return reinterpret_cast<Entry>(const_cast<void*>(entry))(argument);
}

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
  char name[37];
  GenerateGuidString(name, sizeof(name));
  const int descriptor = memfd_create(name, MFD_ALLOW_SEALING | MFD_CLOEXEC);
  if (descriptor < 0) {
    Log(LogLevel::Error, "memfd_create failed: %s.", std::strerror(errno));
    return nullptr;
  }
  if (!WriteAll(descriptor, image.data(), image.size())) {
    Log(LogLevel::Error, "Writing the module to memory failed: %s.", std::strerror(errno));
    close(descriptor);
    return nullptr;
  }
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

template <class Entry>
Entry EntryAt(void* address) {
  return reinterpret_cast<Entry>(address);
}

}  // namespace

cNativeModuleLoader::~cNativeModuleLoader() { Shutdown(); }

void cNativeModuleLoader::LoadModule(const std::vector<std::uint8_t>& image) {
  const MapResult mapped = MapModule(image);
  if (mapped != MapResult::Mapped) return ReportMapFailure(mapped);
  const std::uint8_t result = StartModule({&CallEntry, &OnResult, &OnResultV1}, false, {});
  if (result != QVL_InitializeOk) ReportInitializeFailure(result);
}

MapResult cNativeModuleLoader::MapModule(const std::vector<std::uint8_t>& image) {
  if (image.empty()) return MapResult::BadArguments;
  void* library = LoadFromMemory(image);
  if (library == nullptr) {
    Log(LogLevel::Error, "Failed to map the anti-cheat module.");
    return MapResult::LoadFailed;
  }
  void* initialize = dlsym(library, QVL_ENTRY_SYMBOL_INITIALIZE);
  void* shutdown = dlsym(library, QVL_ENTRY_SYMBOL_SHUTDOWN);
  void* reserved = dlsym(library, QVL_ENTRY_SYMBOL_RESERVED);
  void* setLanguage = dlsym(library, QVL_ENTRY_SYMBOL_SET_LANGUAGE);
  if (initialize == nullptr || shutdown == nullptr || reserved == nullptr || setLanguage == nullptr) {
    Log(LogLevel::Error, "The anti-cheat module lacks one of its entries.");
    return MapResult::LoadFailed;
  }
  // The library stays loaded until the process ends, like a mapped Windows
  // module: threads of its own may still run.
  initializeEntry_ = EntryAt<QVL_InitializeEntry>(initialize);
  shutdownEntry_ = EntryAt<QVL_ShutdownEntry>(shutdown);
  reservedEntry_ = EntryAt<QVL_ReservedEntry>(reserved);
  setLanguageEntry_ = EntryAt<QVL_SetLanguageEntry>(setLanguage);
  return MapResult::Mapped;
}

}  // namespace quarvel::launcher
