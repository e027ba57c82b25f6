#pragma once

#include <string>

#include "quarvel/module_interface.h"

// Test helpers: the sample module as the bootstrapper finds it (Windows: by
// export position; Linux: by symbol name), loaded from beside the test.
namespace quarvel::samples::test_support {

struct SampleModuleEntries {
  QVL_InitializeEntry initialize = nullptr;
  QVL_ShutdownEntry shutdown = nullptr;
  QVL_ReservedEntry reserved = nullptr;
  QVL_SetLanguageEntry setLanguage = nullptr;
};

// Loaded once per process; false, with the reason, when the module or one of
// its entries is missing.
bool LoadSampleModule(SampleModuleEntries& entries, std::string& error);

// The directory of the test executable, with a trailing separator.
std::string TestDirectory();

// Where the sample game lies beside the test executable.
std::string SampleGamePath();

void SetEnvironment(const char* name, const char* value);

}  // namespace quarvel::samples::test_support
