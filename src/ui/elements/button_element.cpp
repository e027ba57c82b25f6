#include "ui/elements/button_element.h"

#include <algorithm>

#include "common/logger.h"

namespace quarvel::ui {

cButtonElement::cButtonElement(UiElementType type, std::int32_t layer, std::int32_t id, Operation onClick,
                               std::uint8_t alpha)
    : cUiElement(type, layer, id),
      label_(layer, id, alpha, 255, false),
      shape_(UiElementType::Rectangle, layer, id, alpha, 255),
      image_(layer, id, alpha, 255),
      onClick_(std::move(onClick)) {
  if (type == UiElementType::ShapeButton) {
    background_ = &shape_;
  } else if (type == UiElementType::ImageButton) {
    background_ = &image_;
  } else {
    Log(LogLevel::Verbose, "Called with unsupported type: %u.", static_cast<unsigned>(type));
  }
}

const cUiElement* cButtonElement::Part(unsigned part, bool errorLevel) const {
  switch (part) {
    case kPartShape:
      return &shape_;
    case kPartImage:
      return &image_;
    case kPartTextBlock:
    case kPartTextTexture:
      return &label_;
    default:
      Log(LogLevel::Verbose, "Called with unsupported type: %u.", part);
      Log(errorLevel ? LogLevel::Error : LogLevel::Verbose, "Called with unsupported element type: %u!", part);
      return nullptr;
  }
}

std::uint8_t cButtonElement::GetAlpha(unsigned part) const {
  const cUiElement* element = Part(part);
  return element != nullptr ? element->GetAlpha(kPartNone) : 0;
}

const Colour* cButtonElement::GetColour(unsigned part) const {
  const cUiElement* element = Part(part);
  return element != nullptr ? element->GetColour(kPartNone) : nullptr;
}

std::int32_t cButtonElement::GetX(unsigned part) const {
  const cUiElement* element = Part(part);
  return element != nullptr ? element->GetX(part) : 0;
}

std::int32_t cButtonElement::GetY(unsigned part) const {
  const cUiElement* element = Part(part);
  return element != nullptr ? element->GetY(part) : 0;
}

std::int32_t cButtonElement::GetWidth(unsigned part) const {
  const cUiElement* element = Part(part);
  return element != nullptr ? element->GetWidth(part) : 0;
}

std::int32_t cButtonElement::GetHeight(unsigned part) const {
  const cUiElement* element = Part(part, true);
  return element != nullptr ? element->GetHeight(part) : 0;
}

SDL_Texture* cButtonElement::GetTexture(unsigned part) const {
  const cUiElement* element = Part(part, true);
  return element != nullptr ? element->GetTexture(kPartNone) : nullptr;
}

Rect cButtonElement::GetRect(unsigned part) const {
  const cUiElement* element = Part(part);
  return element != nullptr ? element->GetRect(part) : Rect{};
}

void cButtonElement::SetAlpha(std::uint8_t alpha) {
  shape_.SetAlpha(alpha);
  label_.SetAlpha(alpha);
}

void cButtonElement::SetPosition(std::int32_t x, std::int32_t y) {
  if (type_ == UiElementType::ShapeButton) {
    shape_.SetPosition(x, y);
    label_.CentreIn(shape_);
  } else if (type_ == UiElementType::ImageButton) {
    image_.SetPosition(x, y);
  }
}

void cButtonElement::SetSize(std::int32_t width, std::int32_t height) {
  if (background_ != nullptr) background_->SetSize(width, height);
}

bool cButtonElement::HitTest(std::int32_t mouseX, std::int32_t mouseY, std::int32_t offsetX,
                             std::int32_t offsetY) const {
  if (type_ == UiElementType::ShapeButton) return shape_.HitTest(mouseX, mouseY, offsetX, offsetY);
  if (type_ == UiElementType::ImageButton) return image_.HitTest(mouseX, mouseY, offsetX, offsetY);
  return false;
}

void cButtonElement::FadeTo(std::int32_t alpha, std::int32_t step) {
  if (!enabled_) alpha = 0;
  if (type_ == UiElementType::ShapeButton) {
    if (shape_.FadeEnabled() != 0) shape_.FadeTo(alpha, step);
    if (label_.FadeEnabled() != 0) label_.FadeTo(alpha, step);
  } else if (type_ == UiElementType::ImageButton) {
    image_.FadeTo(alpha, step);
  }
}

void cButtonElement::Update(std::int64_t intervalNs) {
  if (type_ == UiElementType::ShapeButton) {
    shape_.Update(intervalNs);
    label_.Update(intervalNs);
  } else if (type_ == UiElementType::ImageButton) {
    image_.Update(intervalNs);
  }
}

std::int64_t cButtonElement::TimeUntilChange() const {
  if (type_ == UiElementType::ShapeButton) return std::min(shape_.TimeUntilChange(), label_.TimeUntilChange());
  if (type_ == UiElementType::ImageButton) return image_.TimeUntilChange();
  return kNoChangeDue;
}

}  // namespace quarvel::ui
