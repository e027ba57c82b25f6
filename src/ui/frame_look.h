#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "ui/assets/texture.h"
#include "ui/elements/ui_element.h"

namespace quarvel::ui {

// What a list of elements puts on the window, as plain values. Two looks
// that compare equal draw the same pixels, so a frame whose look matches the
// one last drawn need not be drawn again. It mirrors cRenderContext::Submit:
// what Submit reads (rectangles, colours, textures and their modulation) is
// what a look records. Parts that draw nothing (fully transparent, or without
// a texture) leave no trace, so an invisible text may cycle unnoticed.
class cFrameLook {
 public:
  static cFrameLook Of(const std::vector<std::shared_ptr<cUiElement>>& elements);

  bool operator==(const cFrameLook& other) const { return strokes_ == other.strokes_; }

 private:
  enum class StrokeKind : std::uint8_t { Fill, Gradient, Copy, Shadow };

  // One drawing call of Submit.
  struct Stroke {
    StrokeKind kind = StrokeKind::Fill;
    Rect rect;
    Rect source;
    bool wholeTexture = true;
    Colour first;
    Colour second;
    const void* texture = nullptr;
    std::uint8_t alphaMod = 0;
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const Stroke&) const = default;
  };

  void AddElement(const cUiElement& element);
  void AddShadow(const cUiElement& element, unsigned part);
  void AddFill(const cUiElement& element);
  void AddGradient(const cUiElement& element);
  void AddCopy(const cUiElement& element, unsigned part, StrokeKind kind);
  void AddText(const cUiElement& element, StrokeKind kind);
  void AddTexture(Stroke stroke, SDL_Texture* texture);

  std::vector<Stroke> strokes_;
  // The text textures this look saw stay alive with it: a texture freed and
  // made anew at the same address cannot pass for the old one.
  std::vector<std::shared_ptr<cTexture>> kept_;
};

}  // namespace quarvel::ui
