#include <windows.h>

#include <string>

#include "common/strings.h"
#include "common/text_encoding.h"
#include "launch/process/game_process.h"
#include "launch/process/overlay_switch.h"

namespace quarvel::launcher {
namespace {

// The longest command line the system takes, in UTF-16 units, without its
// terminator (32767 with it).
constexpr std::size_t kCommandLineLimit = 32766;
// At most this much of a system message is used.
constexpr DWORD kSystemTextLimit = 512;

// The system's text for `error`, or a line naming the number when it has none.
std::string DescribeSystemError(DWORD error) {
  if (error != 0) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text;
    if (buffer != nullptr) {
      if (length != 0) text.assign(buffer, length < kSystemTextLimit ? length : kSystemTextLimit);
      LocalFree(buffer);
    }
    if (!text.empty()) return WideToUtf8(text);
  }
  std::string text = "CreateProcess failed with {0}.";
  FormatPlaceholders(text, {std::to_string(error)});
  return text;
}

}  // namespace

GameStartResult StartGameProcess(const std::string& path, const std::vector<std::string>& arguments,
                                 const std::string& workingDirectory) {
  GameStartResult result;
  SetOverlaySuppression(false);

  const std::wstring widePath = Utf8ToWide(path);
  std::wstring commandLine = Utf8ToWide(BuildGameCommandLine(path, arguments));
  // Refused rather than cut: a cut line would hand the game a truncated
  // argument (Wine cuts silently where Windows refuses).
  if (commandLine.size() > kCommandLineLimit) {
    result.systemError = DescribeSystemError(ERROR_FILENAME_EXCED_RANGE);
    return result;
  }
  const std::wstring wideDirectory = Utf8ToWide(workingDirectory);

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(widePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT, nullptr,
                      workingDirectory.empty() ? nullptr : wideDirectory.c_str(), &startup, &created)) {
    result.systemError = DescribeSystemError(GetLastError());
    return result;
  }

  // Opened before the creation handles close, so that a game that has already
  // ended is still there to open.
  if (created.dwProcessId != 0) {
    result.process.handle = ProcessHandle::Open(created.dwProcessId);
    result.process.processId = created.dwProcessId;
    AllowSetForegroundWindow(created.dwProcessId);
    result.status = GameStartStatus::Started;
  } else {
    result.status = GameStartStatus::NoProcessId;
  }
  CloseHandle(created.hThread);
  CloseHandle(created.hProcess);
  return result;
}

}  // namespace quarvel::launcher
