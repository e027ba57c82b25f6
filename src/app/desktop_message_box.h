#pragma once

// A message box through the desktop's own dialog tool, for when SDL cannot
// show one. SDL draws its Linux box itself with the X server's core fonts,
// which many desktops no longer install; the player would then learn nothing
// of why the game did not start.
namespace quarvel::launcher {

// Shows the box with zenity, else kdialog, and waits until it is closed.
// False when neither could be started (always on Windows, where SDL's box is
// the system's own and cannot fail this way).
bool ShowDesktopMessageBox(bool error, const char* title, const char* text);

}  // namespace quarvel::launcher
