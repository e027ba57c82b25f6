#include "ui/frame_look.h"

#include <SDL.h>

#include "ui/elements/button_element.h"
#include "ui/elements/text_element.h"
#include "ui/render_context.h"

namespace quarvel::ui {
namespace {

// The window's renderer blends (set when it is made), so a colour without
// alpha leaves the pixels as they are.
bool Transparent(const Colour& colour) { return colour.a == 0; }

void KeepLines(const cUiElement& element, std::vector<std::shared_ptr<cTexture>>& kept) {
  const cTextElement* text = nullptr;
  if (element.Type() == UiElementType::Text) {
    text = dynamic_cast<const cTextElement*>(&element);
  } else if (element.Type() == UiElementType::ShapeButton) {
    if (const auto* button = dynamic_cast<const cButtonElement*>(&element)) text = &button->Label();
  }
  if (text == nullptr) return;
  const TextureList lines = text->CopyLines();
  kept.insert(kept.end(), lines.begin(), lines.end());
}

}  // namespace

cFrameLook cFrameLook::Of(const std::vector<std::shared_ptr<cUiElement>>& elements) {
  cFrameLook look;
  for (const auto& element : elements) {
    if (element == nullptr) continue;
    KeepLines(*element, look.kept_);
    look.AddElement(*element);
  }
  return look;
}

void cFrameLook::AddElement(const cUiElement& element) {
  if (element.HasDropShadow()) AddShadow(element, PicturePart(element.Type()));
  switch (element.Type()) {
    case UiElementType::Gradient:
      return AddGradient(element);
    case UiElementType::Rectangle:
      return AddFill(element);
    case UiElementType::Image:
    case UiElementType::AnimatedImage:
    case UiElementType::ImageButton:
      return AddCopy(element, kPartImage, StrokeKind::Copy);
    case UiElementType::Text:
      return AddText(element, StrokeKind::Copy);
    case UiElementType::ShapeButton:
      AddFill(element);
      return AddCopy(element, kPartTextTexture, StrokeKind::Copy);
    default:
      return;
  }
}

void cFrameLook::AddShadow(const cUiElement& element, unsigned part) {
  if (element.Type() == UiElementType::Text) return AddText(element, StrokeKind::Shadow);
  AddCopy(element, part, StrokeKind::Shadow);
}

void cFrameLook::AddFill(const cUiElement& element) {
  Stroke stroke;
  stroke.kind = StrokeKind::Fill;
  stroke.rect = element.GetRect(kPartShape);
  if (const Colour* colour = element.GetColour(kPartShape)) {
    if (Transparent(*colour)) return;
    stroke.first = *colour;
  }
  strokes_.push_back(stroke);
}

void cFrameLook::AddGradient(const cUiElement& element) {
  const std::vector<Colour>* colours = element.GetColours();
  if (colours == nullptr || colours->size() != 2) return;
  if (Transparent((*colours)[0]) && Transparent((*colours)[1])) return;
  Stroke stroke;
  stroke.kind = StrokeKind::Gradient;
  stroke.rect = element.GetRect(kPartShape);
  stroke.first = (*colours)[0];
  stroke.second = (*colours)[1];
  strokes_.push_back(stroke);
}

void cFrameLook::AddCopy(const cUiElement& element, unsigned part, StrokeKind kind) {
  Stroke stroke;
  stroke.kind = kind;
  stroke.rect = element.GetRect(part);
  if (const Rect* source = element.GetSourceRect()) {
    stroke.source = *source;
    stroke.wholeTexture = false;
  }
  AddTexture(stroke, element.GetTexture(part));
}

void cFrameLook::AddText(const cUiElement& element, StrokeKind kind) {
  const auto* text = dynamic_cast<const cTextElement*>(&element);
  if (text == nullptr || text->Kind() != TextKind::MultiLine) return AddCopy(element, kPartTextTexture, kind);
  // The lines' places follow from the element's place and the lines' sizes.
  // A line without a texture keeps its row, hence the row in the stroke.
  const Rect place = element.GetRect(kPartTextTexture);
  std::int32_t row = 0;
  for (const auto& line : text->CopyLines()) {
    Stroke stroke;
    stroke.kind = kind;
    stroke.rect = Rect{place.x, place.y, line->width, line->height};
    stroke.source.y = row++;
    AddTexture(stroke, line->handle);
  }
}

void cFrameLook::AddTexture(Stroke stroke, SDL_Texture* texture) {
  if (texture == nullptr) return;
  SDL_BlendMode blend = SDL_BLENDMODE_NONE;
  SDL_GetTextureBlendMode(texture, &blend);
  SDL_GetTextureAlphaMod(texture, &stroke.alphaMod);
  if (blend != SDL_BLENDMODE_NONE && stroke.alphaMod == 0) return;
  SDL_GetTextureColorMod(texture, &stroke.red, &stroke.green, &stroke.blue);
  stroke.texture = texture;
  strokes_.push_back(stroke);
}

}  // namespace quarvel::ui
