#include "ui/elements/ui_element.h"

#include <algorithm>

namespace quarvel::ui {

cUiElement::cUiElement(UiElementType type, std::int32_t layer, std::int32_t id, std::uint8_t alphaCap,
                       bool dropShadow)
    : alphaCap_(alphaCap), type_(type), layer_(layer), id_(id), dropShadow_(dropShadow) {}

std::uint8_t cUiElement::GetAlpha(unsigned) const { return 0; }
const Colour* cUiElement::GetColour(unsigned) const { return nullptr; }
std::int32_t cUiElement::GetX(unsigned) const { return 0; }
std::int32_t cUiElement::GetY(unsigned) const { return 0; }
std::int32_t cUiElement::GetWidth(unsigned) const { return 0; }
std::int32_t cUiElement::GetHeight(unsigned) const { return 0; }
SDL_Texture* cUiElement::GetTexture(unsigned) const { return nullptr; }
void cUiElement::SetAlpha(std::uint8_t) {}
void cUiElement::SetPosition(std::int32_t, std::int32_t) {}
void cUiElement::SetSize(std::int32_t, std::int32_t) {}
const std::vector<Colour>* cUiElement::GetColours() const { return nullptr; }
const Rect* cUiElement::GetSourceRect() const { return nullptr; }
void cUiElement::Update(std::int64_t) {}
std::int64_t cUiElement::TimeUntilChange() const { return flags_ != 0 ? 0 : kNoChangeDue; }

bool cUiElement::HitTest(std::int32_t mouseX, std::int32_t mouseY, std::int32_t offsetX,
                         std::int32_t offsetY) const {
  const Rect rect = GetRect(kPartNone);
  const std::int32_t left = rect.x + offsetX;
  const std::int32_t top = rect.y + offsetY;
  return left < mouseX && mouseX < left + rect.w && top < mouseY && mouseY < top + rect.h;
}

Rect cUiElement::GetRect(unsigned part) const {
  return {GetX(part), GetY(part), GetWidth(part), GetHeight(part)};
}

void cUiElement::FadeTo(std::int32_t alpha, std::int32_t step) {
  if (fadeEnabled_ == 0) return;
  flags_ |= kAnimFade;
  alphaStep_ = step;
  targetAlpha_ = std::min<std::int32_t>(alpha, alphaCap_);
}

void cUiElement::MoveTo(std::int32_t x, std::int32_t y, std::int32_t stepX, std::int32_t stepY) {
  flags_ |= kAnimMove;
  targetX_ = x;
  targetY_ = y;
  stepX_ = stepX;
  stepY_ = stepY;
}

void cUiElement::ResizeTo(std::int32_t width, std::int32_t height, std::int32_t stepWidth,
                          std::int32_t stepHeight) {
  flags_ |= kAnimResize;
  targetWidth_ = width;
  targetHeight_ = height;
  stepWidth_ = stepWidth;
  stepHeight_ = stepHeight;
}

void cUiElement::Reset() {
  fadeEnabled_ = 1;
  flags_ = 0;
  targetAlpha_ = 0;
  targetX_ = 0;
  targetY_ = 0;
  targetWidth_ = 0;
  targetHeight_ = 0;
}

bool cUiElement::StepInt(std::int32_t& value, std::int32_t target, std::int32_t step) {
  if (value == target) return true;
  value = value < target ? std::min(value + step, target) : std::max(value - step, target);
  return false;
}

bool cUiElement::StepByte(std::uint8_t& value, std::int32_t target, std::int32_t step) {
  std::int32_t wide = value;
  const bool reached = StepInt(wide, target, step);
  value = static_cast<std::uint8_t>(std::clamp(wide, 0, 255));
  return reached;
}

}  // namespace quarvel::ui
