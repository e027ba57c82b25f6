#pragma once

#include <functional>

#include "ui/elements/image_element.h"
#include "ui/elements/shape_element.h"
#include "ui/elements/text_element.h"

namespace quarvel::ui {

// A clickable element: a rectangle with a text label (ShapeButton) or a
// picture (ImageButton). A disabled button fades out whatever is asked of it
// and its clicks are ignored by the input handling.
class cButtonElement : public cUiElement {
 public:
  using Operation = std::function<void()>;

  cButtonElement(UiElementType type, std::int32_t layer, std::int32_t id, Operation onClick, std::uint8_t alpha);

  bool IsEnabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool HasOperation() const { return static_cast<bool>(onClick_); }
  void RunOperation() const {
    if (onClick_) onClick_();
  }

  cShapeElement& Shape() { return shape_; }
  cImageElement& Image() { return image_; }
  cTextElement& Label() { return label_; }
  const cTextElement& Label() const { return label_; }

  std::uint8_t GetAlpha(unsigned part) const override;
  const Colour* GetColour(unsigned part) const override;
  std::int32_t GetX(unsigned part) const override;
  std::int32_t GetY(unsigned part) const override;
  std::int32_t GetWidth(unsigned part) const override;
  std::int32_t GetHeight(unsigned part) const override;
  SDL_Texture* GetTexture(unsigned part) const override;
  void SetAlpha(std::uint8_t alpha) override;
  void SetPosition(std::int32_t x, std::int32_t y) override;
  void SetSize(std::int32_t width, std::int32_t height) override;
  bool HitTest(std::int32_t mouseX, std::int32_t mouseY, std::int32_t offsetX, std::int32_t offsetY) const override;
  const std::vector<Colour>* GetColours() const override { return shape_.GetColours(); }
  Rect GetRect(unsigned part) const override;
  void FadeTo(std::int32_t alpha, std::int32_t step) override;
  void Update(std::int64_t intervalNs) override;
  std::int64_t TimeUntilChange() const override;

 private:
  // The sub-element a part names, or null (with the log lines) for any other
  // part; `errorLevel` marks the queries whose failure is an Error.
  const cUiElement* Part(unsigned part, bool errorLevel = false) const;

  cUiElement* background_ = nullptr;
  cTextElement label_;
  cShapeElement shape_;
  cImageElement image_;
  Operation onClick_;
  bool enabled_ = true;
};

}  // namespace quarvel::ui
