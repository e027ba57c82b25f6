#include <stdlib.h>

#include "app/video_start_environment.h"

namespace quarvel::launcher {

// On X11, SDL opens an input method, which parses the locale's whole Compose
// table (thousands of sequences, two thirds of the video start's processor
// time) though the window takes no text; key presses and releases arrive as
// before without it. SDL also asks D-Bus for the session bus; where none is
// named, libdbus forks to autolaunch a bus daemon for us. Neither is wanted.
cVideoStartEnvironment::cVideoStartEnvironment() {
  Set("XCOMPOSEFILE", "/dev/null", false);
  // An address no bus answers to: a session bus the user has is still used.
  Set("DBUS_SESSION_BUS_ADDRESS", "disabled:", true);
}

cVideoStartEnvironment::~cVideoStartEnvironment() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->present) {
      setenv(it->name.c_str(), it->value.c_str(), 1);
    } else {
      unsetenv(it->name.c_str());
    }
  }
}

void cVideoStartEnvironment::Set(const char* name, const char* value, bool onlyIfUnset) {
  const char* current = getenv(name);
  if (current != nullptr && onlyIfUnset) return;
  saved_.push_back({name, current != nullptr, current != nullptr ? current : ""});
  setenv(name, value, 1);
}

}  // namespace quarvel::launcher
