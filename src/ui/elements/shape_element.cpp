#include "ui/elements/shape_element.h"

#include <algorithm>

#include "common/logger.h"

namespace quarvel::ui {

cShapeElement::cShapeElement(UiElementType type, std::int32_t layer, std::int32_t id, std::uint8_t alpha,
                             std::uint8_t alphaCap)
    : cUiElement(type, layer, id, alphaCap), colours_{Colour{255, 255, 255, alpha}} {}

bool cShapeElement::Configure(std::int32_t width, std::int32_t height, Colour colour) {
  width_ = width;
  height_ = height;
  colours_.assign(1, colour);
  if (width == 0 || height == 0) {
    Log(LogLevel::Verbose, "Called with invalid parameters: %i, %i!", width, height);
    return false;
  }
  return true;
}

bool cShapeElement::ConfigureGradient(std::int32_t width, std::int32_t height,
                                      const std::vector<Colour>& colours) {
  width_ = width;
  height_ = height;
  if (!colours.empty()) colours_ = colours;
  if (width == 0 || height == 0 || colours.empty()) {
    Log(LogLevel::Verbose, "Called with invalid parameters: %i, %i, %u!", width, height,
        static_cast<unsigned>(colours.size()));
    return false;
  }
  return true;
}

std::uint8_t cShapeElement::GetAlpha(unsigned) const { return colours_.front().a; }

const Colour* cShapeElement::GetColour(unsigned) const { return &colours_.front(); }

void cShapeElement::SetAlpha(std::uint8_t alpha) {
  const std::uint8_t capped = std::min(alpha, alphaCap_);
  for (Colour& colour : colours_) colour.a = capped;
}

void cShapeElement::SetPosition(std::int32_t x, std::int32_t y) {
  x_ = x;
  y_ = y;
}

void cShapeElement::SetSize(std::int32_t width, std::int32_t height) {
  width_ = width;
  height_ = height;
}

namespace {

// One step of `value` towards `target`, never past it.
std::int32_t Toward(std::int32_t value, std::int32_t target, std::int32_t step) {
  return value < target ? std::min(value + step, target) : std::max(value - step, target);
}

}  // namespace

void cShapeElement::Update(std::int64_t) {
  if ((flags_ & kAnimFade) != 0) {
    for (Colour& colour : colours_) {
      if (colour.a == targetAlpha_) {
        flags_ &= ~kAnimFade;
      } else {
        colour.a = static_cast<std::uint8_t>(std::clamp(Toward(colour.a, targetAlpha_, alphaStep_), 0, 255));
      }
    }
  }
  if ((flags_ & kAnimMove) != 0) {
    if (x_ != targetX_) {
      x_ = Toward(x_, targetX_, stepX_);
    } else if (y_ != targetY_) {
      y_ = Toward(y_, targetY_, stepY_);
    } else {
      flags_ &= ~kAnimMove;
    }
  }
  if ((flags_ & kAnimResize) != 0) {
    if (width_ != targetWidth_) {
      width_ = Toward(width_, targetWidth_, stepWidth_);
    } else if (height_ != targetHeight_) {
      height_ = Toward(height_, targetHeight_, stepHeight_);
    } else {
      flags_ &= ~kAnimResize;
    }
  }
}

}  // namespace quarvel::ui
