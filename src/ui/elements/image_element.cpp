#include "ui/elements/image_element.h"

#include <SDL.h>

#include <algorithm>

#include "common/logger.h"

namespace quarvel::ui {

cImageElement::cImageElement(std::int32_t layer, std::int32_t id, std::uint8_t alpha, std::uint8_t alphaCap,
                             bool dropShadow)
    : cImageElement(UiElementType::Image, layer, id, alpha, alphaCap, dropShadow) {}

cImageElement::cImageElement(UiElementType type, std::int32_t layer, std::int32_t id, std::uint8_t alpha,
                             std::uint8_t alphaCap, bool dropShadow)
    : cUiElement(type, layer, id, alphaCap, dropShadow), alpha_(alpha) {}

void cImageElement::BindTexture(cTexture* texture) {
  texture_ = texture;
  width_ = texture != nullptr ? texture->width : 0;
  height_ = texture != nullptr ? texture->height : 0;
  SetAlpha(alpha_);
}

SDL_Texture* cImageElement::GetTexture(unsigned) const {
  return texture_ != nullptr ? texture_->handle : nullptr;
}

void cImageElement::SetAlpha(std::uint8_t alpha) {
  alpha_ = std::min(alpha, alphaCap_);
  if (texture_ == nullptr || texture_->handle == nullptr) return;
  const int result = SDL_SetTextureAlphaMod(texture_->handle, alpha_);
  if (result != 0) Log(LogLevel::Error, "Failed with: %i, '%s'.", result, SDL_GetError());
}

void cImageElement::SetPosition(std::int32_t x, std::int32_t y) {
  x_ = x;
  y_ = y;
}

void cImageElement::SetSize(std::int32_t width, std::int32_t height) {
  width_ = width;
  height_ = height;
}

void cImageElement::UpdateFadeAndMove() {
  if ((flags_ & kAnimFade) != 0) {
    if (StepByte(alpha_, targetAlpha_, alphaStep_)) flags_ &= ~kAnimFade;
    SetAlpha(alpha_);
  }
  // Horizontally first, then vertically; the bit clears one frame after both
  // arrived.
  if ((flags_ & kAnimMove) != 0 && StepInt(x_, targetX_, stepX_) && StepInt(y_, targetY_, stepY_)) {
    flags_ &= ~kAnimMove;
  }
}

void cImageElement::Update(std::int64_t) { UpdateFadeAndMove(); }

cAnimatedImageElement::cAnimatedImageElement(std::int32_t layer, std::int32_t id, std::uint8_t alpha,
                                             std::uint8_t alphaCap, bool dropShadow)
    : cImageElement(UiElementType::AnimatedImage, layer, id, alpha, alphaCap, dropShadow) {}

void cAnimatedImageElement::SetSheet(SpriteLayout layout, std::int32_t frameCount, std::int32_t frameWidth,
                                     std::int32_t frameHeight) {
  layout_ = layout;
  frameCount_ = frameCount;
  frameWidth_ = frameWidth;
  frameHeight_ = frameHeight;
  source_ = {0, 0, frameWidth, frameHeight};
  timeLeft_ = frameDuration_;
  currentFrame_ = 0;
}

void cAnimatedImageElement::ShowFrame(std::int32_t frame) {
  currentFrame_ = std::clamp(frame, 0, std::max(frameCount_ - 1, 0));
  PlaceSource();
}

Rect cAnimatedImageElement::GetRect(unsigned) const { return {x_, y_, frameWidth_, frameHeight_}; }

void cAnimatedImageElement::Update(std::int64_t intervalNs) {
  UpdateFadeAndMove();
  timeLeft_ -= intervalNs;
  if (timeLeft_ > 0) return;
  // Overshoot is dropped: a 33 ms frame with 16 ms updates lasts three.
  timeLeft_ = frameDuration_;
  if (frameCount_ > 0 && !(currentFrame_ == frameCount_ - 1 && loop_ == 0)) {
    currentFrame_ = (currentFrame_ + 1) % frameCount_;
  }
  PlaceSource();
}

std::int64_t cAnimatedImageElement::TimeUntilChange() const {
  if (flags_ != 0) return 0;
  const bool stopped = frameCount_ <= 1 || (loop_ == 0 && currentFrame_ == frameCount_ - 1);
  // The next frame step also places the frame anew, which a sheet bound
  // since the last placement may still need.
  if (stopped && source_ == SourceOf(currentFrame_)) return kNoChangeDue;
  return timeLeft_;
}

void cAnimatedImageElement::PlaceSource() { source_ = SourceOf(currentFrame_); }

Rect cAnimatedImageElement::SourceOf(std::int32_t frame) const {
  Rect source = source_;
  switch (layout_) {
    case SpriteLayout::HorizontalStrip:
      source.x = frame * frameWidth_;
      break;
    case SpriteLayout::VerticalStrip:
      source.y = frame * frameHeight_;
      break;
    case SpriteLayout::Grid: {
      if (frameHeight_ <= 0) break;
      const std::int32_t rows = height_ / frameHeight_;
      if (rows <= 0) break;
      source.y = frameHeight_ * (frame % rows);
      source.x = frameWidth_ * (frame / rows);
      break;
    }
    default:
      break;
  }
  return source;
}

}  // namespace quarvel::ui
