#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "sample_module_library.h"

namespace quarvel::samples::test_support {

bool LoadSampleModule(SampleModuleEntries& entries, std::string& error) {
  static void* const library = dlopen((TestDirectory() + "libqvl_sample_module.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = dlerror();
    return false;
  }
  entries.initialize = reinterpret_cast<QVL_InitializeEntry>(dlsym(library, QVL_ENTRY_SYMBOL_INITIALIZE));
  entries.shutdown = reinterpret_cast<QVL_ShutdownEntry>(dlsym(library, QVL_ENTRY_SYMBOL_SHUTDOWN));
  entries.reserved = reinterpret_cast<QVL_ReservedEntry>(dlsym(library, QVL_ENTRY_SYMBOL_RESERVED));
  entries.setLanguage = reinterpret_cast<QVL_SetLanguageEntry>(dlsym(library, QVL_ENTRY_SYMBOL_SET_LANGUAGE));
  if (!entries.initialize || !entries.shutdown || !entries.reserved || !entries.setLanguage) {
    error = "an entry symbol is missing";
    return false;
  }
  return true;
}

std::string TestDirectory() {
  std::vector<char> path(4096);
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return "./";
  const std::string executable(path.data(), static_cast<std::size_t>(length));
  return executable.substr(0, executable.rfind('/') + 1);
}

std::string SampleGamePath() { return TestDirectory() + "qvl-sample-game"; }

void SetEnvironment(const char* name, const char* value) {
  if (value == nullptr) {
    unsetenv(name);
  } else {
    setenv(name, value, 1);
  }
}

}  // namespace quarvel::samples::test_support
