#pragma once

#include "ui/assets/texture.h"
#include "ui/elements/ui_element.h"

namespace quarvel::ui {

// A picture of the asset store (not owned) at a position and size.
class cImageElement : public cUiElement {
 public:
  cImageElement(std::int32_t layer, std::int32_t id, std::uint8_t alpha = 0, std::uint8_t alphaCap = 255,
                bool dropShadow = false);

  // Takes the picture and its size, and applies the current alpha to it.
  void BindTexture(cTexture* texture);
  const cTexture* BoundTexture() const { return texture_; }

  std::uint8_t GetAlpha(unsigned) const override { return alpha_; }
  std::int32_t GetX(unsigned) const override { return x_; }
  std::int32_t GetY(unsigned) const override { return y_; }
  std::int32_t GetWidth(unsigned) const override { return width_; }
  std::int32_t GetHeight(unsigned) const override { return height_; }
  SDL_Texture* GetTexture(unsigned part) const override;
  void SetAlpha(std::uint8_t alpha) override;
  void SetPosition(std::int32_t x, std::int32_t y) override;
  void SetSize(std::int32_t width, std::int32_t height) override;
  void Update(std::int64_t intervalNs) override;

 protected:
  cImageElement(UiElementType type, std::int32_t layer, std::int32_t id, std::uint8_t alpha,
                std::uint8_t alphaCap, bool dropShadow);
  // Fade and move of one frame; a resize is not animated for pictures.
  void UpdateFadeAndMove();

  cTexture* texture_ = nullptr;
  std::int32_t x_ = 0;
  std::int32_t y_ = 0;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::uint8_t alpha_ = 0;
};

enum class SpriteLayout : std::int32_t {
  None = 0,
  HorizontalStrip = 1,
  VerticalStrip = 2,
  Grid = 3,  // filled column by column
};

// A sprite-sheet animation: one frame of the sheet at a time, each shown for
// frameDuration. With loop 0 it stops on the last frame.
class cAnimatedImageElement : public cImageElement {
 public:
  static constexpr std::int64_t kDefaultFrameDurationNs = 33'000'000;

  cAnimatedImageElement(std::int32_t layer, std::int32_t id, std::uint8_t alpha = 0, std::uint8_t alphaCap = 255,
                        bool dropShadow = false);

  // Frame size, layout and count; restarts at frame 0 with a full frame time.
  void SetSheet(SpriteLayout layout, std::int32_t frameCount, std::int32_t frameWidth, std::int32_t frameHeight);
  // Jumps to `frame` (clamped to the sheet) and shows it at once.
  void ShowFrame(std::int32_t frame);
  void SetLoop(std::uint32_t loop) { loop_ = loop; }

  Rect GetRect(unsigned part) const override;
  const Rect* GetSourceRect() const override { return &source_; }
  void Update(std::int64_t intervalNs) override;
  std::int64_t TimeUntilChange() const override;

  SpriteLayout Layout() const { return layout_; }
  std::int32_t FrameCount() const { return frameCount_; }
  std::int32_t CurrentFrame() const { return currentFrame_; }

 private:
  void PlaceSource();
  // Where frame `frame` sits on the sheet.
  Rect SourceOf(std::int32_t frame) const;

  std::uint32_t loop_ = 0;
  std::int32_t frameWidth_ = 0;
  std::int32_t frameHeight_ = 0;
  Rect source_;
  std::int32_t frameCount_ = 0;
  SpriteLayout layout_ = SpriteLayout::None;
  std::int64_t frameDuration_ = kDefaultFrameDurationNs;
  std::int64_t timeLeft_ = kDefaultFrameDurationNs;
  std::int32_t currentFrame_ = 0;
};

}  // namespace quarvel::ui
