// Test tool for the Windows build: starts a program, waits for it and
// prints its whole 32-bit exit code, which a Linux parent of Wine only sees
// cut to its low byte.
//   run_and_report.exe <program> [arguments...]
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Quotes one argument by the rules programs use to split their command line.
// An argument without blanks goes as it is, quotes included, the way a
// player's shortcut would carry it.
std::wstring Quote(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  int backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: run_and_report <program> [arguments...]\n");
    return 2;
  }
  std::wstring commandLine;
  for (int i = 1; i < argc; ++i) commandLine += (i > 1 ? L" " : L"") + Quote(argv[i]);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "could not start the program: %lu\n", GetLastError());
    return 2;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  std::printf("exit code: %lu\n", code);
  return 0;
}
