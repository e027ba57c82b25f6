#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>

// The X11 side of the game window watch, open to its tests.
namespace quarvel::launcher::x11 {

struct WindowWatchOptions {
  // Ask the server who owns each window (X-Resource extension). When false,
  // or when the server lacks the extension, only windows that name their
  // process in _NET_WM_PID can be recognised.
  bool useResourceExtension = true;
  // Called after the windows were listed and before any of them is asked
  // about: a test destroys windows here.
  std::function<void()> afterListing;
};

// True when some mapped top-level window of `display` belongs to process
// `processId`: a window of _NET_CLIENT_LIST (without a window manager, a
// child of the root) or, for a window manager that reparents, a child of
// one. A window that vanishes while it is looked at is not the game's; X
// errors on `display` never end the process.
bool HasVisibleTopLevelWindow(Display* display, std::uint32_t processId, const WindowWatchOptions& options);

}  // namespace quarvel::launcher::x11
