#pragma once

#include <cstdint>
#include <string>

#include <SDL.h>

// Test helpers: PNG files of known content, size in pixels and size in bytes.
namespace quarvel::ui::testing {

// A single-colour picture; false when it cannot be written.
bool WritePlainPng(const std::string& path, int width, int height, SDL_Color colour);

// Grows a PNG file to exactly `bytes` by adding an ancillary chunk that
// decoders skip; false when it is already too large to pad.
bool PadPngTo(const std::string& path, std::uint64_t bytes);

// The colour of pixel (x, y) of `texture` drawn whole onto the renderer's
// 800 x 450 target.
SDL_Color DrawnPixel(SDL_Renderer* renderer, SDL_Texture* texture, int x, int y);

}  // namespace quarvel::ui::testing
