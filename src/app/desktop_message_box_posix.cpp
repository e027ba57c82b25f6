#include "app/desktop_message_box.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace quarvel::launcher {
namespace {

// Runs the tool found on PATH and waits for it; false when it cannot start.
bool RunAndWait(std::vector<const char*> arguments) {
  arguments.push_back(nullptr);
  pid_t child = 0;
  if (posix_spawnp(&child, arguments[0], nullptr, nullptr, const_cast<char* const*>(arguments.data()),
                   environ) != 0) {
    return false;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  // A shell's "not found" means the box was never shown.
  return !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
}

}  // namespace

bool ShowDesktopMessageBox(bool error, const char* title, const char* text) {
  // --no-markup: the text is shown as it is, never read as Pango markup.
  if (RunAndWait({"zenity", error ? "--error" : "--info", "--no-markup", "--title", title, "--text", text})) {
    return true;
  }
  return RunAndWait({"kdialog", "--title", title, error ? "--error" : "--msgbox", text});
}

}  // namespace quarvel::launcher
