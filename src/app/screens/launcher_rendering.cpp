#include <SDL.h>

#include <algorithm>

#include "app/anticheat_launcher.h"

// One frame: every active element steps its animations by the fixed frame
// interval (by each interval the loop slept through while nothing could
// change), then the active elements are drawn in layer order. A frame that
// would show the same picture as the last one is not drawn: an idle window
// costs next to nothing.
namespace quarvel::launcher {

void AntiCheatLauncher::UpdateActiveElements(std::int64_t animationNs) {
  const ElementList elements = GetActiveElements();
  if (elements.empty()) {
    Log(LogLevel::Error, "Called without active elements to update.");
    return;
  }
  for (const ElementHandle& element : elements) element->Update(animationNs);
}

std::int64_t AntiCheatLauncher::TimeUntilScreenChange() const {
  std::int64_t until = ui::kNoChangeDue;
  for (const ElementHandle& element : GetActiveElements()) until = std::min(until, element->TimeUntilChange());
  return until;
}

void AntiCheatLauncher::RenderFrame() {
  if (renderContext_.renderer == nullptr) return;
  // A fresh snapshot: elements stay alive while drawn even if they leave.
  const ElementList elements = GetActiveElements();
  drawnLook_ = ui::cFrameLook::Of(elements);
  redrawRequested_ = false;
  SDL_RenderClear(renderContext_.renderer);
  for (const ElementHandle& element : elements) renderContext_.Submit(element.get());
  SDL_RenderPresent(renderContext_.renderer);
  // The first frame is out: now the pictures it did without.
  FinishPictureWork();
}

void AntiCheatLauncher::RenderFrameIfChanged() {
  if (!redrawRequested_ && ui::cFrameLook::Of(GetActiveElements()) == drawnLook_) return;
  RenderFrame();
}

}  // namespace quarvel::launcher
