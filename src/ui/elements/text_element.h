#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/assets/font_slot.h"
#include "ui/assets/texture.h"
#include "ui/elements/ui_element.h"

struct SDL_Renderer;

namespace quarvel::ui {

enum class TextKind : std::int32_t {
  None = 0,
  Static = 1,
  Cycling = 2,    // one texture per variant, shown in turn
  MultiLine = 3,  // one texture per line, stacked
};

using TextureList = std::vector<std::shared_ptr<cTexture>>;

// The width of a UTF-8 text in `font`, 0 (with the Error line) when it
// cannot be measured.
int MeasureTextWidth(TTF_Font* font, const std::string& text);

// A string rendered in the font bound to the element. A new text cross-fades:
// the old one fades out, is swapped at alpha 0 and the new one fades in.
// Texture builds take the element's lock, so another thread may set a text
// while the main thread draws a copy of the textures.
class cTextElement : public cUiElement {
 public:
  static constexpr std::int64_t kCyclePeriodNs = 500'000'000;

  cTextElement(std::int32_t layer, std::int32_t id, std::uint8_t alpha = 0, std::uint8_t alphaCap = 255,
               bool dropShadow = false);

  void SetFont(cFontSlot* font) { font_ = font; }
  const cFontSlot* GetFont() const { return font_; }

  // Shows `text` with a cross-fade. False when nothing could be built.
  bool SetText(SDL_Renderer* renderer, const std::string& text);
  // Renders `text` into `target` without any fading; `kind` receives what it
  // became.
  bool BuildTextures(SDL_Renderer* renderer, const std::string& text, TextureList& target, TextKind& kind);
  // Immediate change of the shown text (no cross-fade): builds into the
  // shown lines, then sizes the block and takes the kind.
  bool ReplaceText(SDL_Renderer* renderer, const std::string& text);
  void RecomputeBlockSize();
  // Places the text at the centre of `other` (x and y directly).
  void CentreIn(const cUiElement& other);
  // The height used for layout: of the pending text while one waits.
  std::int32_t GetBlockHeight() const;
  // The width used for layout: the widest pending line while one waits, else
  // the block width.
  std::int32_t GetLayoutWidth() const;

  // A copy of the shown textures (shared references), safe to draw from.
  TextureList CopyLines() const;
  TextKind Kind() const { return kind_; }
  void SetKind(TextKind kind) { kind_ = kind; }
  bool HasPendingText() const;
  std::uint32_t CurrentIndex() const { return currentIndex_; }

  std::uint8_t GetAlpha(unsigned) const override { return colour_.a; }
  const Colour* GetColour(unsigned) const override { return &colour_; }
  std::int32_t GetX(unsigned) const override { return x_; }
  std::int32_t GetY(unsigned) const override { return y_; }
  std::int32_t GetWidth(unsigned part) const override;
  std::int32_t GetHeight(unsigned part) const override;
  SDL_Texture* GetTexture(unsigned part) const override;
  void SetAlpha(std::uint8_t alpha) override;
  void SetPosition(std::int32_t x, std::int32_t y) override;
  void SetSize(std::int32_t width, std::int32_t height) override;
  void Update(std::int64_t intervalNs) override;
  std::int64_t TimeUntilChange() const override;
  void Reset() override;

  // Stacked height of a list: all heights plus, between lines, half the
  // first line's height.
  static std::int32_t StackedHeight(const TextureList& lines);

 private:
  bool RenderString(SDL_Renderer* renderer, const std::string& text, cTexture& texture);
  void TakeOverPendingText();
  const cTexture* CurrentEntry() const;

  TextKind kind_ = TextKind::Static;
  std::int32_t blockWidth_ = 0;
  std::int32_t blockHeight_ = 0;
  std::int32_t x_ = 0;
  std::int32_t y_ = 0;
  std::int32_t pendingX_ = 0;
  std::int32_t pendingY_ = 0;
  bool changed_ = false;
  TextKind pendingKind_ = TextKind::None;
  Colour colour_;
  TextureList lines_;
  TextureList pendingLines_;
  mutable std::mutex lock_;  // held while textures are built or the lists are copied
  std::int64_t cyclePeriod_ = kCyclePeriodNs;
  std::int64_t cycleTimeLeft_ = kCyclePeriodNs;
  std::uint32_t currentIndex_ = 0;
  cFontSlot* font_ = nullptr;
};

}  // namespace quarvel::ui
