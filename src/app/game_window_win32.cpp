#include <windows.h>

#include "app/game_window.h"

namespace quarvel::launcher {
namespace {

struct WindowTest {
  DWORD processId;
  bool found;
};

BOOL CALLBACK TestWindow(HWND window, LPARAM parameter) {
  auto* test = reinterpret_cast<WindowTest*>(parameter);
  if (test == nullptr) return FALSE;
  DWORD owner = 0;
  if (GetWindowThreadProcessId(window, &owner) == 0) owner = 0;
  if (owner != 0 && owner == test->processId && IsWindowVisible(window)) {
    test->found = true;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool CanWatchGameWindows() { return true; }

bool HasVisibleTopLevelWindow(std::uint32_t processId) {
  WindowTest test{processId, false};
  EnumWindows(TestWindow, reinterpret_cast<LPARAM>(&test));
  return test.found;
}

}  // namespace quarvel::launcher
