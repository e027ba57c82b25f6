#include "ui/render_context.h"

#include <SDL.h>

#include <algorithm>

#include "common/logger.h"

namespace quarvel::ui {
namespace {

SDL_Rect ToSdl(const Rect& rect) { return SDL_Rect{rect.x, rect.y, rect.w, rect.h}; }

// Saves the renderer's draw colour and puts it back when it leaves scope;
// a colour that could not be read is not restored.
class cDrawColourGuard {
 public:
  explicit cDrawColourGuard(SDL_Renderer* renderer) : renderer_(renderer) {
    const int result = SDL_GetRenderDrawColor(renderer_, &r_, &g_, &b_, &a_);
    saved_ = result == 0;
    if (!saved_) Log(LogLevel::Error, "Failed to get the renderer color: %i, '%s'.", result, SDL_GetError());
  }
  ~cDrawColourGuard() {
    if (saved_) SetColour(renderer_, r_, g_, b_, a_);
  }
  cDrawColourGuard(const cDrawColourGuard&) = delete;
  cDrawColourGuard& operator=(const cDrawColourGuard&) = delete;

  static bool SetColour(SDL_Renderer* renderer, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    const int result = SDL_SetRenderDrawColor(renderer, r, g, b, a);
    if (result != 0) {
      Log(LogLevel::Error, "Renderer drawing color not set, failed with %i: '%s'.", result, SDL_GetError());
    }
    return result == 0;
  }

 private:
  SDL_Renderer* renderer_;
  Uint8 r_ = 0, g_ = 0, b_ = 0, a_ = 0;
  bool saved_ = false;
};

// Draws `texture`. A picture without an alpha channel drawn at full alpha
// covers what lies under it, so it is copied rather than blended: the same
// pixels, and the software renderer copies many times faster (the splash is
// most of every frame).
bool CopyTexture(SDL_Renderer* renderer, SDL_Texture* texture, const SDL_Rect* source, const SDL_Rect& rect) {
  Uint32 format = 0;
  Uint8 alpha = 0;
  SDL_BlendMode mode = SDL_BLENDMODE_NONE;
  const bool opaque = SDL_QueryTexture(texture, &format, nullptr, nullptr, nullptr) == 0 &&
                      !SDL_ISPIXELFORMAT_ALPHA(format) && SDL_GetTextureAlphaMod(texture, &alpha) == 0 &&
                      alpha == 255 && SDL_GetTextureBlendMode(texture, &mode) == 0 && mode == SDL_BLENDMODE_BLEND;
  if (opaque) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_NONE);
  const bool drawn = SDL_RenderCopy(renderer, texture, source, &rect) == 0;
  if (opaque) SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  return drawn;
}

bool MissingTexture() {
  SDL_SetError("Submit called with an invalid SDL texture!");
  return false;
}

}  // namespace

unsigned PicturePart(UiElementType type) {
  switch (type) {
    case UiElementType::Gradient:
    case UiElementType::Rectangle:
    case UiElementType::ShapeButton:
    case UiElementType::ImageButton:
      return kPartShape;
    case UiElementType::Image:
    case UiElementType::AnimatedImage:
      return kPartImage;
    case UiElementType::Text:
      return kPartTextTexture;
    default:
      return kPartNone;
  }
}

bool cRenderContext::Submit(const cUiElement* element) {
  if (element == nullptr) {
    Log(LogLevel::Error, "Called with an invalid object!");
    return false;
  }
  if (element->HasDropShadow()) DrawDropShadow(*element, PicturePart(element->Type()));

  switch (element->Type()) {
    case UiElementType::Gradient:
      return DrawGradient(*element);
    case UiElementType::Rectangle:
      return DrawSolidRect(*element);
    case UiElementType::Image:
    case UiElementType::AnimatedImage:
      return DrawTexture(*element, kPartImage);
    case UiElementType::Text:
      return DrawTextLines(*element);
    case UiElementType::ShapeButton: {
      const bool shape = DrawSolidRect(*element);
      const bool label = DrawTexture(*element, kPartTextTexture);
      return shape && label;
    }
    case UiElementType::ImageButton:
      return DrawTexture(*element, kPartImage);
    default:
      Log(LogLevel::Error, "Called for an unsupported object type %u!", static_cast<unsigned>(element->Type()));
      return false;
  }
}

void cRenderContext::DrawDropShadow(const cUiElement& element, unsigned part) {
  const auto* text = dynamic_cast<const cTextElement*>(&element);
  if (text != nullptr && text->Kind() == TextKind::MultiLine) {
    DrawLinesShadow(*text);
    return;
  }
  const SDL_Rect rect = ToSdl(element.GetRect(part));
  const Rect* source = element.GetSourceRect();
  SDL_Texture* texture = element.GetTexture(part);
  if (texture == nullptr) {
    MissingTexture();
    Log(LogLevel::Verbose, "Failed to render the drop shadow for object type %u.",
        static_cast<unsigned>(element.Type()));
    return;
  }
  Uint8 r = 0, g = 0, b = 0;
  bool drawn = false;
  if (SDL_GetTextureColorMod(texture, &r, &g, &b) == 0) {
    SDL_SetTextureColorMod(texture, 0, 0, 0);
    const SDL_Rect shadow{rect.x + 1, rect.y + 1, rect.w, rect.h};
    SDL_Rect sourceRect;
    if (source != nullptr) sourceRect = ToSdl(*source);
    drawn = SDL_RenderCopy(renderer, texture, source != nullptr ? &sourceRect : nullptr, &shadow) == 0;
  }
  SDL_SetTextureColorMod(texture, r, g, b);
  if (!drawn) {
    Log(LogLevel::Verbose, "Failed to render the drop shadow for object type %u.",
        static_cast<unsigned>(element.Type()));
  }
}

void cRenderContext::DrawLinesShadow(const cTextElement& text) {
  const TextureList lines = text.CopyLines();
  for (const auto& line : lines) {
    if (line->handle != nullptr) SDL_SetTextureColorMod(line->handle, 0, 0, 0);
  }
  if (!CopyTextLines(text, lines, 1, 1)) {
    Log(LogLevel::Verbose, "Failed to render the drop shadow for object type %u.",
        static_cast<unsigned>(text.Type()));
  }
  for (const auto& line : lines) {
    if (line->handle != nullptr) SDL_SetTextureColorMod(line->handle, 255, 255, 255);
  }
}

bool cRenderContext::DrawGradient(const cUiElement& element) {
  cDrawColourGuard guard(renderer);
  const Rect rect = element.GetRect(kPartShape);
  const std::vector<Colour>* colours = element.GetColours();
  if (colours == nullptr || colours->size() != 2) return false;
  const Colour start = (*colours)[0];
  const Colour end = (*colours)[1];
  // Each column first takes one step, so the last column is the end colour.
  double channels[4] = {double(start.r), double(start.g), double(start.b), double(start.a)};
  const double steps[4] = {
      (double(end.r) - start.r) / rect.w, (double(end.g) - start.g) / rect.w,
      (double(end.b) - start.b) / rect.w, (double(end.a) - start.a) / rect.w};
  bool result = false;
  for (std::int32_t column = 0; column < rect.w; ++column) {
    for (int channel = 0; channel < 4; ++channel) channels[channel] += steps[channel];
    cDrawColourGuard::SetColour(renderer, static_cast<Uint8>(channels[0]), static_cast<Uint8>(channels[1]),
                                static_cast<Uint8>(channels[2]), static_cast<Uint8>(channels[3]));
    const SDL_Rect line{rect.x + column, rect.y, 1, rect.h};
    result = SDL_RenderFillRect(renderer, &line) == 0;
  }
  return result;
}

bool cRenderContext::DrawSolidRect(const cUiElement& element) {
  cDrawColourGuard guard(renderer);
  if (const Colour* colour = element.GetColour(kPartShape)) {
    cDrawColourGuard::SetColour(renderer, colour->r, colour->g, colour->b, colour->a);
  }
  const SDL_Rect rect = ToSdl(element.GetRect(kPartShape));
  return SDL_RenderFillRect(renderer, &rect) == 0;
}

bool cRenderContext::DrawTexture(const cUiElement& element, unsigned part) {
  const SDL_Rect rect = ToSdl(element.GetRect(part));
  const Rect* source = element.GetSourceRect();
  SDL_Texture* texture = element.GetTexture(part);
  if (texture == nullptr) return MissingTexture();
  SDL_Rect sourceRect;
  if (source != nullptr) sourceRect = ToSdl(*source);
  return CopyTexture(renderer, texture, source != nullptr ? &sourceRect : nullptr, rect);
}

bool cRenderContext::DrawTextLines(const cUiElement& element) {
  const auto* text = dynamic_cast<const cTextElement*>(&element);
  if (text == nullptr) {
    Log(LogLevel::Error, "Failed to perform a cast on the provided object!");
    return false;
  }
  if (text->Kind() != TextKind::MultiLine) return DrawTexture(element, kPartTextTexture);
  // A copy of the shared references: a text change on another thread cannot
  // free them while they are drawn.
  const TextureList lines = text->CopyLines();
  if (lines.empty()) {
    Log(LogLevel::Verbose, "Textures of a text object had changed midway through rendering!");
    return false;
  }
  return CopyTextLines(*text, lines, 0, 0);
}

bool cRenderContext::CopyTextLines(const cTextElement& text, const TextureList& lines, int dx, int dy) {
  if (lines.empty()) return false;
  const std::int32_t firstHeight = lines.front()->height;
  std::int32_t widest = 0;
  std::int32_t tallest = 0;
  for (const auto& line : lines) {
    widest = std::max(widest, line->width);
    tallest = std::max(tallest, line->height);
  }
  const std::int32_t gap = static_cast<std::int32_t>(0.5 * tallest);
  // Layout places the block by its widest line: every line is centred on
  // that width, so a block centred in the window has every line centred.
  bool result = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const cTexture& line = *lines[i];
    if (line.handle == nullptr) continue;
    const SDL_Rect destination{text.GetX(kPartTextTexture) + widest / 2 - line.width / 2 + dx,
                               text.GetY(kPartTextTexture) + (firstHeight + gap) * static_cast<int>(i) + dy,
                               line.width, line.height};
    const int copied = SDL_RenderCopy(renderer, line.handle, nullptr, &destination);
    if (copied != 0) Log(LogLevel::Error, "Rendering of the multilinetext failed with %i!", copied);
    result = copied == 0;
  }
  return result;
}

void cRenderContext::Destroy() {
  if (renderer != nullptr) SDL_DestroyRenderer(renderer);
  if (window != nullptr) SDL_DestroyWindow(window);
  renderer = nullptr;
  window = nullptr;
}

}  // namespace quarvel::ui
