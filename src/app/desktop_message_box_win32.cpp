#include "app/desktop_message_box.h"

namespace quarvel::launcher {

bool ShowDesktopMessageBox(bool, const char*, const char*) { return false; }

}  // namespace quarvel::launcher
