#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "app/anticheat_launcher.h"

// What the window does with the user's input: closing it ends the run, the
// buttons run their operations, a left press drags the borderless window,
// the cursor highlights buttons, and a hidden key sequence reveals the static
// logo.
namespace quarvel::launcher {
namespace {

// The hidden key sequence, from two constants so it is not one string in the
// program's data: "qvlog", compared with the low bytes of released keys.
constexpr std::uint32_t kKeySequenceHead = 0x676f6c76;  // 'v', 'l', 'o', 'g' from the low byte up
constexpr std::uint8_t kKeySequenceFirst = 'q';
constexpr std::size_t kKeySequenceLength = 5;

std::array<std::uint8_t, kKeySequenceLength> KeySequence() {
  std::array<std::uint8_t, kKeySequenceLength> sequence{kKeySequenceFirst};
  for (std::size_t i = 0; i < 4; ++i) sequence[i + 1] = static_cast<std::uint8_t>(kKeySequenceHead >> (8 * i));
  return sequence;
}

// Once seen it stays seen for the life of the process.
bool keySequenceSeen = false;

// Window events after which the window system no longer holds our picture.
bool LosesPicture(const SDL_WindowEvent& event) {
  switch (event.event) {
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_MAXIMIZED:
    case SDL_WINDOWEVENT_RESTORED:
      return true;
    default:
      return false;
  }
}

constexpr std::uint8_t kHoverAlpha = 255;
constexpr std::uint8_t kRestingAlpha = 150;

}  // namespace

bool AntiCheatLauncher::KeySequenceSeen() { return keySequenceSeen; }

void AntiCheatLauncher::HandleEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_QUIT:
      RequestExit();
      break;
    case SDL_KEYUP:
      keyRing_[keyRingPosition_] = static_cast<std::uint8_t>(event.key.keysym.sym & 0xff);
      keyRingPosition_ = (keyRingPosition_ + 1) % keyRing_.size();
      CheckKeySequence();
      break;
    case SDL_KEYDOWN:
      CheckKeySequence();
      break;
    case SDL_MOUSEMOTION:
      HandleMouseMotion(event.motion);
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      HandleMouseButton(event.type, event.button.button);
      break;
    case SDL_WINDOWEVENT:
      if (LosesPicture(event.window)) RequestRedraw();
      break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
      RequestRedraw();
      break;
    default:
      break;
  }
}

void AntiCheatLauncher::CheckKeySequence() {
  const auto sequence = KeySequence();
  const std::size_t ringSize = keyRing_.size();
  if (keySequenceSeen || sequence.empty() || sequence.size() > ringSize) return;
  // The last n released keys, oldest first.
  const std::size_t start = (keyRingPosition_ + ringSize - sequence.size()) % ringSize;
  for (std::size_t i = 0; i < sequence.size(); ++i) {
    if (keyRing_[(start + i) % ringSize] != sequence[i]) return;
  }
  keySequenceSeen = true;
  if (settings_.hide_logo_animation) return;
  if (const auto logo = GetImage(kStaticLogo)) {
    logo->SetFadeEnabled(1);
    logo->FadeTo(255, 5);
  }
}

void AntiCheatLauncher::HandleMouseButton(std::uint32_t eventType, std::uint8_t button) {
  const ElementList elements = GetActiveElements();
  if (button == SDL_BUTTON_LEFT) mouseButtonStates_[button] = eventType == SDL_MOUSEBUTTONDOWN;

  int windowX = 0;
  int windowY = 0;
  if (renderContext_.window != nullptr) SDL_GetWindowPosition(renderContext_.window, &windowX, &windowY);
  for (const ElementHandle& element : elements) {
    if (!element->IsButton() || !element->HitTest(mouseX_, mouseY_, windowX, windowY)) continue;
    const auto* button = static_cast<const ui::cButtonElement*>(element.get());
    if (!button->HasOperation()) {
      Log(LogLevel::Error, "Called for a button element with no specified operation!");
    } else if (button->IsEnabled()) {
      button->RunOperation();
    } else {
      Log(LogLevel::Info, "Called for a button element that was still visible but disabled.");
    }
  }

  if (button != SDL_BUTTON_LEFT) return;
  // A left press anywhere in the window, on a button too, starts a drag.
  const bool pressed = mouseButtonStates_[button];
  Log(LogLevel::Verbose, "Changing the BeingDragged flag to %s.", pressed ? "true" : "false");
  renderContext_.BeingDragged = pressed;
  SDL_SetRelativeMouseMode(pressed ? SDL_TRUE : SDL_FALSE);
}

void AntiCheatLauncher::HandleMouseMotion(const SDL_MouseMotionEvent& motion) {
  if (renderContext_.BeingDragged && renderContext_.window != nullptr) {
    const int width = renderContext_.width;
    const int height = renderContext_.height;
    int windowX = 0;
    int windowY = 0;
    SDL_GetWindowPosition(renderContext_.window, &windowX, &windowY);
    // Half the window may leave the desktop: left and top of its origin,
    // right and bottom of the farthest display edge.
    int right = 0;
    int bottom = 0;
    const int displays = SDL_GetNumVideoDisplays();
    for (int display = 0; display < displays; ++display) {
      SDL_Rect bounds;
      if (SDL_GetDisplayBounds(display, &bounds) != 0) continue;
      right = std::max(right, bounds.x + bounds.w);
      bottom = std::max(bottom, bounds.y + bounds.h);
    }
    const int newX = std::min(right - width / 2, std::max(-(width / 2), windowX + motion.xrel));
    const int newY = std::min(bottom - height / 2, std::max(-(height / 2), windowY + motion.yrel));
    SDL_SetWindowPosition(renderContext_.window, newX, newY);
  } else {
    int windowX = 0;
    int windowY = 0;
    if (renderContext_.window != nullptr) SDL_GetWindowPosition(renderContext_.window, &windowX, &windowY);
    for (const ElementHandle& element : GetActiveElements()) {
      if (!element->IsButton()) continue;
      const bool hit = element->HitTest(mouseX_, mouseY_, windowX, windowY);
      element->FadeTo(hit ? kHoverAlpha : kRestingAlpha, 5);
    }
  }
  SDL_GetGlobalMouseState(&mouseX_, &mouseY_);
}

}  // namespace quarvel::launcher
