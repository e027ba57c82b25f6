#pragma once

#include <cstdint>

#include "ui/elements/text_element.h"
#include "ui/elements/ui_element.h"

struct SDL_Renderer;
struct SDL_Window;

namespace quarvel::ui {

// The window, its software renderer and the drawing of elements. Every
// primitive restores the draw colour it changed, so a frame is cleared to the
// renderer's initial colour, black.
class cRenderContext {
 public:
  cRenderContext() = default;
  ~cRenderContext() { Destroy(); }
  cRenderContext(const cRenderContext&) = delete;
  cRenderContext& operator=(const cRenderContext&) = delete;

  // Draws one element (with its drop shadow). True when everything drawn
  // succeeded.
  bool Submit(const cUiElement* element);

  bool DrawGradient(const cUiElement& element);
  bool DrawSolidRect(const cUiElement& element);
  bool DrawTexture(const cUiElement& element, unsigned part);
  bool DrawTextLines(const cUiElement& element);

  // Destroys the renderer, then the window.
  void Destroy();

  SDL_Renderer* renderer = nullptr;
  SDL_Window* window = nullptr;
  bool BeingDragged = false;
  std::int32_t width = 0;
  std::int32_t height = 0;

 private:
  void DrawDropShadow(const cUiElement& element, unsigned part);
  // The shadows of a multi-line text, one per line where the line is drawn.
  void DrawLinesShadow(const cTextElement& text);
  // Copies the lines of a multi-line text, moved by (dx, dy).
  bool CopyTextLines(const cTextElement& text, const TextureList& lines, int dx, int dy);
};

// The part of an element that carries its picture, by type.
unsigned PicturePart(UiElementType type);

}  // namespace quarvel::ui
