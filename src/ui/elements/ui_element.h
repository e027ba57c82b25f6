#pragma once

#include <cstdint>
#include <limits>
#include <vector>

struct SDL_Rect;
struct SDL_Texture;

namespace quarvel::ui {

enum class UiElementType : std::int32_t {
  Gradient = 1,
  Rectangle = 2,
  Image = 3,
  AnimatedImage = 4,
  Text = 5,
  ShapeButton = 6,
  ImageButton = 7,
};

// Which part of an element a query means. Simple elements ignore it; a button
// answers for its shape, image or label, a text for its block or its current
// texture.
enum ElementPart : unsigned {
  kPartNone = 0,
  kPartShape = 1,
  kPartImage = 2,
  kPartTextBlock = 3,
  kPartTextTexture = 4,
};

// Pending animations, as bits of cUiElement::flags.
enum AnimationFlag : std::uint32_t {
  kAnimMove = 1u << 0,
  kAnimFade = 1u << 1,
  kAnimResize = 1u << 2,
};

// What TimeUntilChange answers for an element that stands still until it is
// given a new order (a fade, a text, a frame).
inline constexpr std::int64_t kNoChangeDue = std::numeric_limits<std::int64_t>::max();

// Red, green, blue, alpha: the first byte is red.
struct Colour {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 0;
  bool operator==(const Colour&) const = default;
};

struct Rect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t w = 0;
  std::int32_t h = 0;
  bool operator==(const Rect&) const = default;
};

// Everything the window shows. An element knows its geometry and colour,
// animates towards targets (fade, move, resize) one step per Update, and
// answers the queries through which the renderer draws it. Main thread only.
class cUiElement {
 public:
  cUiElement(UiElementType type, std::int32_t layer, std::int32_t id, std::uint8_t alphaCap = 255,
             bool dropShadow = false);
  virtual ~cUiElement() = default;
  cUiElement(const cUiElement&) = delete;
  cUiElement& operator=(const cUiElement&) = delete;

  virtual std::uint8_t GetAlpha(unsigned part) const;
  virtual const Colour* GetColour(unsigned part) const;
  virtual std::int32_t GetX(unsigned part) const;
  virtual std::int32_t GetY(unsigned part) const;
  virtual std::int32_t GetWidth(unsigned part) const;
  virtual std::int32_t GetHeight(unsigned part) const;
  virtual SDL_Texture* GetTexture(unsigned part) const;
  virtual void SetAlpha(std::uint8_t alpha);
  virtual void SetPosition(std::int32_t x, std::int32_t y);
  virtual void SetSize(std::int32_t width, std::int32_t height);
  // Strictly inside the rectangle of part 0 moved by the offset: the border
  // is outside.
  virtual bool HitTest(std::int32_t mouseX, std::int32_t mouseY, std::int32_t offsetX, std::int32_t offsetY) const;
  virtual const std::vector<Colour>* GetColours() const;
  virtual Rect GetRect(unsigned part) const;
  // The part of the texture to draw; null for the whole texture.
  virtual const Rect* GetSourceRect() const;
  virtual void FadeTo(std::int32_t alpha, std::int32_t step);
  virtual void MoveTo(std::int32_t x, std::int32_t y, std::int32_t stepX, std::int32_t stepY);
  virtual void ResizeTo(std::int32_t width, std::int32_t height, std::int32_t stepWidth, std::int32_t stepHeight);
  // One frame of animation; `intervalNs` is the frame interval.
  virtual void Update(std::int64_t intervalNs);
  // How much animation time (the sum of the intervals given to Update) must
  // pass before an Update changes what this element draws: 0 while a fade,
  // move or resize runs, a timer's remainder for a sprite sheet or a cycling
  // text, kNoChangeDue when nothing would change. The frame loop sleeps
  // through the frames in between.
  virtual std::int64_t TimeUntilChange() const;
  // Clears animations and targets and enables fading again.
  virtual void Reset();

  // Step `value` towards `target` by `step` without passing it. True when the
  // target had been reached before this step.
  static bool StepByte(std::uint8_t& value, std::int32_t target, std::int32_t step);
  static bool StepInt(std::int32_t& value, std::int32_t target, std::int32_t step);

  UiElementType Type() const { return type_; }
  std::int32_t Layer() const { return layer_; }
  std::int32_t Id() const { return id_; }
  bool HasDropShadow() const { return dropShadow_; }
  std::uint8_t AlphaCap() const { return alphaCap_; }
  std::uint32_t Flags() const { return flags_; }
  bool IsAnimating(AnimationFlag flag) const { return (flags_ & flag) != 0; }
  std::uint32_t FadeEnabled() const { return fadeEnabled_; }
  void SetFadeEnabled(std::uint32_t enabled) { fadeEnabled_ = enabled; }
  std::int32_t TargetAlpha() const { return targetAlpha_; }
  std::int32_t TargetWidth() const { return targetWidth_; }
  std::int32_t TargetHeight() const { return targetHeight_; }
  bool IsButton() const { return type_ == UiElementType::ShapeButton || type_ == UiElementType::ImageButton; }

 protected:
  std::uint32_t flags_ = 0;
  std::uint8_t alphaCap_;
  std::int32_t targetAlpha_ = 0;
  std::int32_t targetX_ = 0;
  std::int32_t targetY_ = 0;
  std::int32_t targetWidth_ = 0;
  std::int32_t targetHeight_ = 0;
  std::int32_t alphaStep_ = 5;
  std::int32_t stepX_ = 1;
  std::int32_t stepY_ = 1;
  std::int32_t stepWidth_ = 1;
  std::int32_t stepHeight_ = 1;
  UiElementType type_;
  std::int32_t layer_;
  std::int32_t id_;
  bool dropShadow_;
  std::uint32_t fadeEnabled_ = 1;
};

}  // namespace quarvel::ui
