#pragma once

#include <cstdint>

// Whether a process shows a window of its own: how the bootstrapper knows
// the game is on screen.
namespace quarvel::launcher {

// False where top-level windows cannot be listed (no display).
bool CanWatchGameWindows();

// True when some visible top-level window belongs to process `processId`.
bool HasVisibleTopLevelWindow(std::uint32_t processId);

}  // namespace quarvel::launcher
