#include "ui/assets/asset_store.h"

namespace quarvel::ui {

cFontSlot* cAssetStore::GetFont(std::int32_t id) {
  const auto found = fonts_.find(id);
  return found == fonts_.end() ? nullptr : &found->second;
}

cTexture* cAssetStore::GetTexture(std::int32_t id) {
  const auto found = textures_.find(id);
  return found == textures_.end() ? nullptr : &found->second;
}

void cAssetStore::Clear() {
  for (auto& [id, slot] : fonts_) slot.Reset();
  for (auto& [id, texture] : textures_) texture.Release();
}

}  // namespace quarvel::ui
