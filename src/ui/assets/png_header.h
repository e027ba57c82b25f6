#pragma once

#include <cstdint>
#include <string>

namespace quarvel::ui {

// Reads the picture size from the header of a PNG file without decoding it.
// False when the file cannot be read or does not start like a PNG.
bool ReadPngSize(const std::string& path, std::uint32_t& width, std::uint32_t& height);

}  // namespace quarvel::ui
