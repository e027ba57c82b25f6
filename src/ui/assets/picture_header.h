#pragma once

#include <cstdint>
#include <span>
#include <string>

// Picture sizes read from file headers, so that a picture too large to be
// worth decoding is refused before the decoder allocates for it (a small
// compressed file can stand for an enormous picture). Pure byte handling,
// apart from reading the file.
namespace quarvel::ui {

// The largest width and height a picture file may have.
inline constexpr std::uint32_t kMaximumPictureSide = 4096;

// The size given by the header of a PNG, JPEG, BMP, GIF, ICO or CUR (its
// largest entry), WebP, QOI or TGA picture. False when the bytes are none of
// these or the header is cut short. `extensionHint` (".tga", any case) is
// needed for TGA only, which has no signature.
bool ReadPictureSize(std::span<const std::uint8_t> bytes, const std::string& extensionHint, std::uint32_t& width,
                     std::uint32_t& height);

// Whether the picture file at `path` may be decoded: its header must give a
// size of at most kMaximumPictureSide on each side. Logs why not.
bool IsPictureFileWithinLimits(const std::string& path);

}  // namespace quarvel::ui
