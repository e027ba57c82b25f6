#include "ui/elements/text_element.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>

#include "common/logger.h"
#include "ui/elements/text_layout.h"

namespace quarvel::ui {

int MeasureTextWidth(TTF_Font* font, const std::string& text) {
  // The texts are UTF-8; measuring them as Latin-1 would count every byte of
  // a Cyrillic or accented letter as a glyph of its own.
  int width = 0;
  int height = 0;
  if (font == nullptr || TTF_SizeUTF8(font, text.c_str(), &width, &height) != 0) {
    Log(LogLevel::Error, "Call to TTF_SizeText() failed: '%s'!", SDL_GetError());
    return 0;
  }
  return width;
}

cTextElement::cTextElement(std::int32_t layer, std::int32_t id, std::uint8_t alpha, std::uint8_t alphaCap,
                           bool dropShadow)
    : cUiElement(UiElementType::Text, layer, id, alphaCap, dropShadow), colour_{255, 255, 255, alpha} {}

bool cTextElement::BuildTextures(SDL_Renderer* renderer, const std::string& text, TextureList& target,
                                 TextKind& kind) {
  std::lock_guard lock(lock_);
  target.clear();
  kind = TextKind::None;
  if (text.empty()) return false;
  if (font_ == nullptr || font_->font == nullptr) {
    Log(LogLevel::Verbose, "Called with invalid parameters or missing font, %p, '%s'.",
        static_cast<void*>(font_), text.c_str());
    return false;
  }

  std::vector<std::string> strings;
  TextKind builtKind;
  if (IsCyclingText(text)) {
    strings = CyclingVariants(text);
    Log(LogLevel::Verbose, "Called with dynamic text element, substring count: %u.",
        static_cast<unsigned>(strings.size()));
    builtKind = TextKind::Cycling;
  } else {
    const int width = MeasureTextWidth(font_->font, text);
    if (width <= kMaxLineWidth) {
      strings.push_back(text);
      builtKind = TextKind::Static;
    } else {
      strings = WrapText(text, width);
      if (strings.empty()) {
        Log(LogLevel::Error, "Failed at parsing the following: '%s'.", text.c_str());
        return false;
      }
      Log(LogLevel::Verbose, "Called with multiline text element, substring count: %u.",
          static_cast<unsigned>(strings.size()));
      builtKind = TextKind::MultiLine;
    }
  }

  for (const std::string& string : strings) {
    auto texture = std::make_shared<cTexture>();
    if (RenderString(renderer, string, *texture)) {
      if (texture->handle != nullptr) {
        const int result = SDL_SetTextureAlphaMod(texture->handle, colour_.a);
        if (result != 0) Log(LogLevel::Error, "Failed with: %i, '%s'.", result, SDL_GetError());
      }
    } else if (!string.empty()) {
      Log(LogLevel::Error, "Failed in creating the texture for: '%s'.", string.c_str());
      return false;
    }
    target.push_back(std::move(texture));
  }
  kind = builtKind;
  return true;
}

bool cTextElement::RenderString(SDL_Renderer* renderer, const std::string& text, cTexture& texture) {
  texture.Release();
  if (text.empty()) {
    Log(LogLevel::Verbose, "Called with invalid parameters: '%s', %p.", text.c_str(), static_cast<void*>(&texture));
    return false;
  }
  const SDL_Color colour{colour_.r, colour_.g, colour_.b, 255};
  SDL_Surface* surface = TTF_RenderUTF8_Blended(font_->font, text.c_str(), colour);
  if (surface == nullptr) {
    Log(LogLevel::Error, "Rendering failed for '%s' with: '%s'.", text.c_str(), SDL_GetError());
    return false;
  }
  SDL_Texture* handle = SDL_CreateTextureFromSurface(renderer, surface);
  if (handle != nullptr) {
    texture.Adopt(handle, surface->w, surface->h);
    const int result = SDL_SetTextureBlendMode(handle, SDL_BLENDMODE_BLEND);
    if (result != 0) Log(LogLevel::Error, "Failed with: %i, '%s'.", result, SDL_GetError());
  } else {
    Log(LogLevel::Error, "Unable to create texture from '%s'. SDL Error: '%s'.", text.c_str(), SDL_GetError());
  }
  SDL_FreeSurface(surface);
  return true;
}

bool cTextElement::SetText(SDL_Renderer* renderer, const std::string& text) {
  const bool first = lines_.empty();
  TextKind built = TextKind::None;
  if (!BuildTextures(renderer, text, first ? lines_ : pendingLines_, built)) return false;
  if (fadeEnabled_ != 0) {
    // The first text fades in; a later one first fades the shown text out.
    flags_ |= kAnimFade;
    alphaStep_ = 5;
    targetAlpha_ = first ? alphaCap_ : 0;
  }
  changed_ = true;
  if (first) {
    kind_ = built;
    RecomputeBlockSize();
  } else {
    pendingKind_ = built;
  }
  return true;
}

bool cTextElement::ReplaceText(SDL_Renderer* renderer, const std::string& text) {
  TextKind built = TextKind::None;
  if (!BuildTextures(renderer, text, lines_, built)) return false;
  RecomputeBlockSize();
  kind_ = built;
  currentIndex_ = 0;
  return true;
}

void cTextElement::RecomputeBlockSize() {
  std::lock_guard lock(lock_);
  blockWidth_ = 0;
  blockHeight_ = 0;
  for (const auto& line : lines_) {
    blockWidth_ = std::max(blockWidth_, line->width);
    blockHeight_ = std::max(blockHeight_, line->height);
  }
}

std::int32_t cTextElement::StackedHeight(const TextureList& lines) {
  if (lines.empty()) return 0;
  const std::int32_t gap = static_cast<std::int32_t>(0.5 * lines.front()->height);
  std::int32_t height = 0;
  for (const auto& line : lines) height += line->height;
  return height + gap * static_cast<std::int32_t>(lines.size() - 1);
}

namespace {

std::int32_t Widest(const TextureList& lines) {
  std::int32_t width = 0;
  for (const auto& line : lines) width = std::max(width, line->width);
  return width;
}

std::int32_t Tallest(const TextureList& lines) {
  std::int32_t height = 0;
  for (const auto& line : lines) height = std::max(height, line->height);
  return height;
}

}  // namespace

bool cTextElement::HasPendingText() const { return changed_ && !pendingLines_.empty(); }

std::int32_t cTextElement::GetBlockHeight() const {
  if (HasPendingText()) {
    const TextKind kind = pendingKind_ != TextKind::None ? pendingKind_ : kind_;
    return kind == TextKind::MultiLine ? StackedHeight(pendingLines_) : Tallest(pendingLines_);
  }
  return kind_ == TextKind::MultiLine ? StackedHeight(lines_) : blockHeight_;
}

std::int32_t cTextElement::GetLayoutWidth() const {
  return HasPendingText() ? Widest(pendingLines_) : blockWidth_;
}

void cTextElement::CentreIn(const cUiElement& other) {
  const std::int32_t width = GetLayoutWidth();
  const std::int32_t height = GetBlockHeight();
  x_ = other.GetX(kPartNone) + other.GetWidth(kPartNone) / 2 - width / 2;
  y_ = other.GetY(kPartNone) + other.GetHeight(kPartNone) / 2 - height / 2;
}

TextureList cTextElement::CopyLines() const {
  std::lock_guard lock(lock_);
  return lines_;
}

const cTexture* cTextElement::CurrentEntry() const {
  return currentIndex_ < lines_.size() ? lines_[currentIndex_].get() : nullptr;
}

std::int32_t cTextElement::GetWidth(unsigned part) const {
  if (part == kPartTextTexture) {
    const cTexture* entry = CurrentEntry();
    return entry != nullptr ? entry->width : 0;
  }
  return part == kPartTextBlock ? blockWidth_ : 0;
}

std::int32_t cTextElement::GetHeight(unsigned part) const {
  if (kind_ == TextKind::MultiLine) return StackedHeight(lines_);
  if (part == kPartTextTexture) {
    const cTexture* entry = CurrentEntry();
    return entry != nullptr ? entry->height : 0;
  }
  return part == kPartTextBlock ? blockHeight_ : 0;
}

SDL_Texture* cTextElement::GetTexture(unsigned) const {
  const cTexture* entry = CurrentEntry();
  return entry != nullptr ? entry->handle : nullptr;
}

void cTextElement::SetAlpha(std::uint8_t alpha) {
  colour_.a = std::min(alpha, alphaCap_);
  std::lock_guard lock(lock_);
  for (const auto& line : lines_) {
    if (line->handle == nullptr) continue;
    const int result = SDL_SetTextureAlphaMod(line->handle, colour_.a);
    if (result != 0) Log(LogLevel::Error, "Failed with: %i, '%s'.", result, SDL_GetError());
  }
}

void cTextElement::SetPosition(std::int32_t x, std::int32_t y) {
  if (HasPendingText()) {
    pendingX_ = x;
    pendingY_ = y;
  } else {
    x_ = x;
    y_ = y;
  }
}

void cTextElement::SetSize(std::int32_t, std::int32_t) {
  Log(LogLevel::Warning, "Called for a text element, the size is dictated by the shared font!");
}

void cTextElement::Update(std::int64_t intervalNs) {
  if (kind_ == TextKind::Cycling) {
    cycleTimeLeft_ -= intervalNs;
    if (cycleTimeLeft_ <= 0) {
      cycleTimeLeft_ = cyclePeriod_;
      if (!lines_.empty()) currentIndex_ = (currentIndex_ + 1) % lines_.size();
    }
  }
  if ((flags_ & kAnimFade) != 0) {
    std::uint8_t alpha = colour_.a;
    if (StepByte(alpha, targetAlpha_, alphaStep_)) flags_ &= ~kAnimFade;
    colour_.a = alpha;
    if (colour_.a == 0 && changed_ && !pendingLines_.empty()) {
      TakeOverPendingText();
      changed_ = false;
    }
    SetAlpha(colour_.a);
  }
  if ((flags_ & kAnimMove) != 0 && StepInt(x_, targetX_, stepX_) && StepInt(y_, targetY_, stepY_)) {
    flags_ &= ~kAnimMove;
  }
}

std::int64_t cTextElement::TimeUntilChange() const {
  if (flags_ != 0) return 0;
  if (kind_ != TextKind::Cycling) return kNoChangeDue;
  std::lock_guard lock(lock_);
  return lines_.size() > 1 ? cycleTimeLeft_ : kNoChangeDue;
}

void cTextElement::TakeOverPendingText() {
  {
    std::lock_guard lock(lock_);
    lines_ = pendingLines_;
    for (const auto& line : lines_) {
      if (line->handle == nullptr) continue;
      const int result = SDL_SetTextureAlphaMod(line->handle, colour_.a);
      if (result != 0) Log(LogLevel::Error, "Failed with: %i, '%s'.", result, SDL_GetError());
    }
  }
  currentIndex_ = 0;
  if (changed_ && pendingX_ != 0 && pendingY_ != 0) {
    x_ = pendingX_;
    y_ = pendingY_;
    pendingX_ = 0;
    pendingY_ = 0;
  }
  if (pendingKind_ != TextKind::None) {
    kind_ = pendingKind_;
    pendingKind_ = TextKind::None;
  }
  if (fadeEnabled_ != 0) {
    flags_ |= kAnimFade;
    targetAlpha_ = alphaCap_;
    alphaStep_ = 5;
  }
  RecomputeBlockSize();
}

void cTextElement::Reset() {
  cUiElement::Reset();
  std::lock_guard lock(lock_);
  pendingLines_.clear();
  changed_ = false;
}

}  // namespace quarvel::ui
