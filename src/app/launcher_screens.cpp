#include "app/anticheat_launcher.h"

// The screens of each state: which elements show, the status texts and the
// progress bar. The window has no elements yet, so these change nothing on
// screen; the state machine calls them at the moments they apply.
namespace quarvel::launcher {

void AntiCheatLauncher::ShowScreenForState(LauncherState) {}
void AntiCheatLauncher::SetStatusTexts(int, const std::string&, const std::string&) {}
void AntiCheatLauncher::LayoutStatusTexts() {}
void AntiCheatLauncher::LayoutErrorScreen() {}
void AntiCheatLauncher::ShowDownloadProgress(std::uint32_t) {}
void AntiCheatLauncher::CompleteProgressBar() {}
void AntiCheatLauncher::ShowFinalLogoFrame() {}
void AntiCheatLauncher::RevealLogoKeyElement() {}

}  // namespace quarvel::launcher
