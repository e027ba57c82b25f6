#include <windows.h>

#include "sample_module_library.h"

namespace quarvel::samples::test_support {
namespace {

std::wstring Widen(const std::string& text) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

// The entry at `position` of the export address table, the ordinal base not
// applied: how the bootstrapper finds a module's entries.
void* ExportAt(HMODULE module, DWORD position) {
  const auto base = reinterpret_cast<const BYTE*>(module);
  const auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0) return nullptr;
  const auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  if (position >= exports->NumberOfFunctions) return nullptr;
  const DWORD address = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions)[position];
  return address != 0 ? const_cast<BYTE*>(base) + address : nullptr;
}

}  // namespace

bool LoadSampleModule(SampleModuleEntries& entries, std::string& error) {
  static const HMODULE module = LoadLibraryW(Widen(TestDirectory() + "qvl_sample_module.dll").c_str());
  if (module == nullptr) {
    error = "LoadLibrary failed with " + std::to_string(GetLastError());
    return false;
  }
  entries.initialize = reinterpret_cast<QVL_InitializeEntry>(ExportAt(module, QVL_EntryPositionInitialize));
  entries.shutdown = reinterpret_cast<QVL_ShutdownEntry>(ExportAt(module, QVL_EntryPositionShutdown));
  entries.reserved = reinterpret_cast<QVL_ReservedEntry>(ExportAt(module, QVL_EntryPositionReserved));
  entries.setLanguage = reinterpret_cast<QVL_SetLanguageEntry>(ExportAt(module, QVL_EntryPositionSetLanguage));
  if (!entries.initialize || !entries.shutdown || !entries.reserved || !entries.setLanguage) {
    error = "an entry position is empty";
    return false;
  }
  return true;
}

std::string TestDirectory() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring executable(path, length);
  executable.resize(executable.rfind(L'\\') + 1);
  const int size = WideCharToMultiByte(CP_UTF8, 0, executable.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, executable.c_str(), -1, utf8.data(), size, nullptr, nullptr);
  utf8.resize(std::char_traits<char>::length(utf8.c_str()));
  return utf8;
}

std::string SampleGamePath() { return TestDirectory() + "qvl_sample_game.exe"; }

void SetEnvironment(const char* name, const char* value) { SetEnvironmentVariableA(name, value); }

}  // namespace quarvel::samples::test_support
