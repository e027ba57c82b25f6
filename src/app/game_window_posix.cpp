#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>

#include "app/game_window.h"

// On X11 the window manager lists the top-level client windows in
// _NET_CLIENT_LIST, and well-behaved clients name their process in
// _NET_WM_PID. Without a window manager the top-level windows are the root's
// children. A window counts as visible when it is mapped and viewable.
namespace quarvel::launcher {
namespace {

Display* OpenDisplayOnce() {
  static Display* display = [] {
    const char* name = std::getenv("DISPLAY");
    return (name != nullptr && name[0] != '\0') ? XOpenDisplay(nullptr) : nullptr;
  }();
  return display;
}

// Reads a property of 32-bit items (returned by Xlib as longs).
bool ReadCardinals(Display* display, Window window, Atom property, Atom type, unsigned long*& items,
                   unsigned long& count) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long remaining = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actualType,
                                        &actualFormat, &count, &remaining, &data);
  if (status != Success || data == nullptr || actualFormat != 32) {
    if (data != nullptr) XFree(data);
    return false;
  }
  items = reinterpret_cast<unsigned long*>(data);
  return true;
}

bool WindowBelongsTo(Display* display, Window window, Atom pidAtom, std::uint32_t processId) {
  unsigned long* pid = nullptr;
  unsigned long count = 0;
  if (!ReadCardinals(display, window, pidAtom, XA_CARDINAL, pid, count)) return false;
  const bool matches = count >= 1 && pid[0] == processId;
  XFree(pid);
  return matches;
}

bool IsShownOnScreen(Display* display, Window window) {
  XWindowAttributes attributes;
  return XGetWindowAttributes(display, window, &attributes) != 0 && attributes.map_state == IsViewable;
}

}  // namespace

bool CanWatchGameWindows() { return OpenDisplayOnce() != nullptr; }

bool HasVisibleTopLevelWindow(std::uint32_t processId) {
  Display* display = OpenDisplayOnce();
  if (display == nullptr || processId == 0) return false;
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", True);
  if (pidAtom == None) return false;  // no client has named its process yet
  const Window root = DefaultRootWindow(display);

  bool found = false;
  auto test = [&](Window window) {
    found = found || (WindowBelongsTo(display, window, pidAtom, processId) && IsShownOnScreen(display, window));
  };
  const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", True);
  unsigned long* clients = nullptr;
  unsigned long count = 0;
  if (clientList != None && ReadCardinals(display, root, clientList, XA_WINDOW, clients, count)) {
    for (unsigned long i = 0; i < count; ++i) test(static_cast<Window>(clients[i]));
    XFree(clients);
    return found;
  }
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned int childCount = 0;
  if (XQueryTree(display, root, &rootReturn, &parent, &children, &childCount) == 0) return false;
  for (unsigned int i = 0; i < childCount; ++i) test(children[i]);
  if (children != nullptr) XFree(children);
  return found;
}

}  // namespace quarvel::launcher
