#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>

#include <cstdlib>
#include <vector>

#include "app/game_window.h"
#include "app/game_window_x11.h"

// On X11 the window manager lists the top-level client windows in
// _NET_CLIENT_LIST; without a window manager the top-level windows are the
// root's children, and a window manager that does not list its clients
// reparents them into frames one level further down. The owner of a window
// is asked of the server (X-Resource extension: the process id of the client
// that created it), which works for every local client whatever properties
// it sets; only where the server lacks the extension does the watch rely on
// the window naming its process in _NET_WM_PID. A window counts as visible
// when it is mapped and viewable.
namespace quarvel::launcher {
namespace x11 {
namespace {

// Errors on the watched display while the watch runs: a window listed a
// moment ago may be gone (BadWindow) or in no state to answer (BadMatch).
// Xlib's default handler would end the process.
Display* gWatchedDisplay = nullptr;
XErrorHandler gPreviousHandler = nullptr;
bool gErrorSeen = false;

int OnXError(Display* display, XErrorEvent* error) {
  if (display == gWatchedDisplay) {
    gErrorSeen = true;
    return 0;
  }
  return gPreviousHandler != nullptr ? gPreviousHandler(display, error) : 0;
}

// Installs the handler for one watch; the previous one is back afterwards.
class ScopedErrorHandler {
 public:
  explicit ScopedErrorHandler(Display* display) {
    gWatchedDisplay = display;
    gErrorSeen = false;
    gPreviousHandler = XSetErrorHandler(&OnXError);
  }
  ~ScopedErrorHandler() {
    XSetErrorHandler(gPreviousHandler);
    gWatchedDisplay = nullptr;
  }
  ScopedErrorHandler(const ScopedErrorHandler&) = delete;
  ScopedErrorHandler& operator=(const ScopedErrorHandler&) = delete;

  // True when the requests since the last call drew no error.
  static bool Succeeded() {
    const bool succeeded = !gErrorSeen;
    gErrorSeen = false;
    return succeeded;
  }
};

bool HasResourceExtension(Display* display) {
  // Asked once per connection: the answer does not change.
  static Display* asked = nullptr;
  static bool present = false;
  if (asked != display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    // Client ids (with process ids) came with version 1.2.
    present = XResQueryExtension(display, &eventBase, &errorBase) != 0 &&
              XResQueryVersion(display, &major, &minor) != 0 && (major > 1 || (major == 1 && minor >= 2));
    asked = display;
  }
  return present;
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
  const bool read = ScopedErrorHandler::Succeeded() && status == Success;
  if (!read || data == nullptr || actualFormat != 32) {
    if (data != nullptr) XFree(data);
    return false;
  }
  items = reinterpret_cast<unsigned long*>(data);
  return true;
}

std::vector<Window> Children(Display* display, Window parent) {
  Window rootReturn = 0, parentReturn = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  const Status status = XQueryTree(display, parent, &rootReturn, &parentReturn, &children, &count);
  std::vector<Window> result;
  if (ScopedErrorHandler::Succeeded() && status != 0 && children != nullptr) {
    result.assign(children, children + count);
  }
  if (children != nullptr) XFree(children);
  return result;
}

// Who owns a window: the X clients of the game process (X-Resource), or,
// without the extension, the window's own _NET_WM_PID.
class OwnerTest {
 public:
  OwnerTest(Display* display, std::uint32_t processId, bool useResourceExtension)
      : display_(display), processId_(processId) {
    byResource_ = useResourceExtension && HasResourceExtension(display);
    if (byResource_) {
      FindGameClients();
    } else {
      pidAtom_ = XInternAtom(display, "_NET_WM_PID", True);
    }
  }

  // False when no window can belong to the game (it has no connection yet,
  // or no client has named its process).
  bool CanMatch() const { return byResource_ ? !gameClients_.empty() : pidAtom_ != None; }

  bool Owns(Window window) const {
    if (byResource_) {
      for (const XResClient& client : gameClients_) {
        if ((window & ~client.resource_mask) == client.resource_base) return true;
      }
      return false;
    }
    unsigned long* pid = nullptr;
    unsigned long count = 0;
    if (!ReadCardinals(display_, window, pidAtom_, XA_CARDINAL, pid, count)) return false;
    const bool matches = count >= 1 && pid[0] == processId_;
    XFree(pid);
    return matches;
  }

 private:
  // Two requests per watch, however many windows there are: every client's
  // resource range, and every client's process id.
  void FindGameClients() {
    int clientCount = 0;
    XResClient* clients = nullptr;
    const Status listed = XResQueryClients(display_, &clientCount, &clients);
    if (!ScopedErrorHandler::Succeeded() || listed == 0) clientCount = 0;
    XResClientIdSpec all{None, XRES_CLIENT_ID_PID_MASK};
    long idCount = 0;
    XResClientIdValue* ids = nullptr;
    const Status asked = XResQueryClientIds(display_, 1, &all, &idCount, &ids);
    if (!ScopedErrorHandler::Succeeded() || asked != Success) idCount = 0;
    for (long i = 0; i < idCount; ++i) {
      if (XResGetClientPid(&ids[i]) != static_cast<pid_t>(processId_)) continue;
      for (int c = 0; c < clientCount; ++c) {
        if (clients[c].resource_base == ids[i].spec.client) gameClients_.push_back(clients[c]);
      }
    }
    if (ids != nullptr) XResClientIdsDestroy(idCount, ids);
    if (clients != nullptr) XFree(clients);
  }

  Display* display_;
  std::uint32_t processId_;
  bool byResource_ = false;
  Atom pidAtom_ = None;
  std::vector<XResClient> gameClients_;
};

bool IsShownOnScreen(Display* display, Window window) {
  XWindowAttributes attributes;
  const Status status = XGetWindowAttributes(display, window, &attributes);
  return ScopedErrorHandler::Succeeded() && status != 0 && attributes.map_state == IsViewable;
}

}  // namespace

bool HasVisibleTopLevelWindow(Display* display, std::uint32_t processId, const WindowWatchOptions& options) {
  if (display == nullptr || processId == 0) return false;
  ScopedErrorHandler errors(display);
  const OwnerTest owner(display, processId, options.useResourceExtension);
  if (!owner.CanMatch()) return false;
  const Window root = DefaultRootWindow(display);

  std::vector<Window> topLevel;
  bool framed = false;  // the list may hold window manager frames
  const Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", True);
  unsigned long* clients = nullptr;
  unsigned long count = 0;
  if (clientList != None && ReadCardinals(display, root, clientList, XA_WINDOW, clients, count)) {
    topLevel.assign(clients, clients + count);
    XFree(clients);
  } else {
    topLevel = Children(display, root);
    framed = true;
  }
  if (options.afterListing) options.afterListing();

  for (const Window window : topLevel) {
    if (owner.Owns(window) && IsShownOnScreen(display, window)) return true;
  }
  if (!framed) return false;
  for (const Window frame : topLevel) {
    for (const Window window : Children(display, frame)) {
      if (owner.Owns(window) && IsShownOnScreen(display, window)) return true;
    }
  }
  return false;
}

}  // namespace x11

namespace {

Display* OpenDisplayOnce() {
  static Display* display = [] {
    const char* name = std::getenv("DISPLAY");
    return (name != nullptr && name[0] != '\0') ? XOpenDisplay(nullptr) : nullptr;
  }();
  return display;
}

}  // namespace

bool CanWatchGameWindows() { return OpenDisplayOnce() != nullptr; }

bool HasVisibleTopLevelWindow(std::uint32_t processId) {
  return x11::HasVisibleTopLevelWindow(OpenDisplayOnce(), processId, {});
}

}  // namespace quarvel::launcher
