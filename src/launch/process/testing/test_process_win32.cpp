#include <windows.h>

#include <string>

#include "launch/process/testing/test_process.h"

namespace quarvel::launcher::test_support {

std::uint32_t CurrentProcessId() { return GetCurrentProcessId(); }

ExitingChild::ExitingChild(std::uint32_t exitCode) {
  std::wstring commandLine = L"cmd.exe /c exit " + std::to_wstring(exitCode);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    return;
  }
  CloseHandle(process.hThread);
  native_ = process.hProcess;
  id_ = process.dwProcessId;
}

ExitingChild::~ExitingChild() {
  if (native_ != nullptr) CloseHandle(native_);
}

}  // namespace quarvel::launcher::test_support
