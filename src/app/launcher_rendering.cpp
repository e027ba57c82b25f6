#include <SDL.h>

#include "app/anticheat_launcher.h"

// One frame: every active element steps its animations by the fixed frame
// interval, then the active elements are drawn in layer order.
namespace quarvel::launcher {

void AntiCheatLauncher::UpdateActiveElements() {
  const ElementList elements = GetActiveElements();
  if (elements.empty()) {
    Log(LogLevel::Error, "Called without active elements to update.");
    return;
  }
  for (const ElementHandle& element : elements) element->Update(frameInterval_);
}

void AntiCheatLauncher::RenderFrame() {
  if (renderContext_.renderer == nullptr) return;
  SDL_RenderClear(renderContext_.renderer);
  // A fresh snapshot: elements stay alive while drawn even if they leave.
  for (const ElementHandle& element : GetActiveElements()) renderContext_.Submit(element.get());
  SDL_RenderPresent(renderContext_.renderer);
}

}  // namespace quarvel::launcher
