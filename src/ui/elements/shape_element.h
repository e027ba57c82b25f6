#pragma once

#include <vector>

#include "ui/elements/ui_element.h"

namespace quarvel::ui {

// A filled rectangle in its first colour (Rectangle) or a left-to-right
// gradient between exactly two colours (Gradient). Always holds a colour.
class cShapeElement : public cUiElement {
 public:
  cShapeElement(UiElementType type, std::int32_t layer, std::int32_t id, std::uint8_t alpha,
                std::uint8_t alphaCap = 255);

  // Sets size and one colour at once. A zero width or height is logged and
  // stored anyway; the result is false then.
  bool Configure(std::int32_t width, std::int32_t height, Colour colour);
  // The same with a colour list (a gradient takes start and end colour).
  bool ConfigureGradient(std::int32_t width, std::int32_t height, const std::vector<Colour>& colours);

  std::uint8_t GetAlpha(unsigned part) const override;
  const Colour* GetColour(unsigned part) const override;
  std::int32_t GetX(unsigned) const override { return x_; }
  std::int32_t GetY(unsigned) const override { return y_; }
  std::int32_t GetWidth(unsigned) const override { return width_; }
  std::int32_t GetHeight(unsigned) const override { return height_; }
  void SetAlpha(std::uint8_t alpha) override;
  void SetPosition(std::int32_t x, std::int32_t y) override;
  void SetSize(std::int32_t width, std::int32_t height) override;
  const std::vector<Colour>* GetColours() const override { return &colours_; }
  void Update(std::int64_t intervalNs) override;

 private:
  std::vector<Colour> colours_;
  std::int32_t x_ = 0;
  std::int32_t y_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
};

}  // namespace quarvel::ui
