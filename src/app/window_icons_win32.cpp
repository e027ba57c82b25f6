#include <windows.h>
#include <shellapi.h>
#include <SDL.h>
#include <SDL_syswm.h>

#include <climits>

#include "app/window_icons.h"
#include "common/logger.h"
#include "common/text_encoding.h"

// Windows: the icon file at both system sizes, else the game executable's
// first icon, sent to the window with WM_SETICON.
namespace quarvel::launcher {
namespace {

HICON LoadIconFile(const std::wstring& path, int width, int height) {
  return static_cast<HICON>(
      LoadImageW(nullptr, path.c_str(), IMAGE_ICON, width, height, LR_DEFAULTSIZE | LR_LOADTRANSPARENT | LR_LOADFROMFILE));
}

}  // namespace

cWindowIcons::~cWindowIcons() {
  if (small_ != nullptr) DestroyIcon(static_cast<HICON>(small_));
  if (large_ != nullptr) DestroyIcon(static_cast<HICON>(large_));
}

void cWindowIcons::Apply(SDL_Window* window, const std::string& executableDirectory,
                         const std::string& gameExecutable) {
  const std::wstring path = Utf8ToWide(executableDirectory + "Quarvel\\BootstrapperIcon.ico");
  const int smallWidth = GetSystemMetrics(SM_CXSMICON);
  const int smallHeight = GetSystemMetrics(SM_CYSMICON);
  const int largeWidth = GetSystemMetrics(SM_CXICON);
  const int largeHeight = GetSystemMetrics(SM_CYICON);
  Log(LogLevel::Verbose,
      "Loading the icon off the disk, small icon will be %ldx%ld pixels and large will be %ldx%ld pixels.",
      static_cast<long>(smallWidth), static_cast<long>(smallHeight), static_cast<long>(largeWidth),
      static_cast<long>(largeHeight));
  HICON smallIcon = LoadIconFile(path, smallWidth, smallHeight);
  HICON largeIcon = smallIcon != nullptr ? LoadIconFile(path, largeWidth, largeHeight) : nullptr;
  if (smallIcon != nullptr && largeIcon != nullptr) {
    Log(LogLevel::Info, "Will use the custom icon loaded off the disk.");
  } else {
    Log(LogLevel::Verbose, "Failed to load a custom icon off the disk.");
    if (smallIcon != nullptr) DestroyIcon(smallIcon);
    smallIcon = nullptr;
    Log(LogLevel::Verbose,
        "Failed to load the custom icon from disk, attempting to extract the game executable's own icon.");
    const UINT extracted = ExtractIconExW(Utf8ToWide(gameExecutable).c_str(), 0, &largeIcon, &smallIcon, 1);
    if (extracted == UINT_MAX || smallIcon == nullptr || largeIcon == nullptr) {
      Log(LogLevel::Error,
          "Failed to extract the game executable's own icon, defaulting to using the embedded one.");
      if (smallIcon != nullptr) DestroyIcon(smallIcon);
      if (largeIcon != nullptr) DestroyIcon(largeIcon);
      return;
    }
    Log(LogLevel::Info, "Will use the icon extracted from the game executable.");
  }
  small_ = smallIcon;
  large_ = largeIcon;

  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.info.win.window == nullptr) {
    Log(LogLevel::Verbose, "Couldn't get the window handle.");
    return;
  }
  SendMessageW(info.info.win.window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));
  SendMessageW(info.info.win.window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon));
  Log(LogLevel::Verbose, "Sent messages to the bootstrapper window for setting the icon.");
}

}  // namespace quarvel::launcher
