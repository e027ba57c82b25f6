#include "ui/assets/picture_header.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel::ui {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::initializer_list<int> values) {
  Bytes bytes;
  for (const int value : values) bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

Bytes Padded(Bytes bytes, std::size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

// Headers as the formats' writers lay them out, each claiming a size the
// picture data never has to back up.
TEST(PictureHeader, EachFormatGivesItsClaimedSize) {
  const struct {
    const char* name;
    Bytes bytes;
    const char* extension;
    std::uint32_t width;
    std::uint32_t height;
  } cases[] = {
      {"PNG", Padded(Of({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0x4E,
                         0x20, 0, 0, 0x01, 0x00}),
                     33),
       ".png", 20000, 256},
      {"JPEG after metadata", Of({0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 'J', 'F', 0xFF, 0xFF, 0xC2, 0, 11, 8, 0x12, 0x34,
                                  0x56, 0x78, 3}),
       ".jpg", 0x5678, 0x1234},
      {"BMP", Padded(Of({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 0x00, 0x20, 0, 0, 0x00, 0xF0,
                         0xFF, 0xFF}),
                     54),
       ".bmp", 8192, 4096},
      {"OS/2 BMP", Padded(Of({'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 0x10, 0, 0x20, 0}), 26),
       ".bmp", 16, 32},
      {"GIF", Of({'G', 'I', 'F', '8', '9', 'a', 0x01, 0x10, 0x02, 0x00}), ".gif", 4097, 2},
      {"ICO with a 256 entry", Padded(Of({0, 0, 1, 0, 2, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                          0, 0, 0, 0, 1, 0, 32, 0}),
                                      38),
       ".ico", 256, 256},
      {"WebP lossless", Padded(Of({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'L', 0, 0, 0, 0,
                                   0x2F, 0xFF, 0x3F, 0x00, 0x00}),
                               30),
       ".webp", 16384, 1},
      {"WebP extended", Padded(Of({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0,
                                   0, 0, 0, 0, 0, 0xFF, 0x0F, 0, 0x00, 0x10, 0}),
                               30),
       ".webp", 4096, 4097},
      {"QOI", Of({'q', 'o', 'i', 'f', 0, 0, 0x10, 0x01, 0, 0, 0, 3, 4, 0}), ".qoi", 4097, 3},
      {"TGA by its name", Padded(Of({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x11, 0x02, 0}), 18), ".TGA", 4352, 2},
  };
  for (const auto& test : cases) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    ASSERT_TRUE(ReadPictureSize(test.bytes, test.extension, width, height)) << test.name;
    EXPECT_EQ(width, test.width) << test.name;
    EXPECT_EQ(height, test.height) << test.name;
  }
}

TEST(PictureHeader, WhatCannotBeSizedIsNoPicture) {
  const struct {
    const char* name;
    Bytes bytes;
    const char* extension;
  } cases[] = {
      {"text", Of({'j', 'u', 's', 't'}), ".png"},
      {"cut PNG", Of({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0}), ".png"},
      {"JPEG without a frame header", Of({0xFF, 0xD8, 0xFF, 0xDA, 0, 2, 0xFF, 0xD9}), ".jpg"},
      {"TGA under another name", Padded(Of({0, 0, 2}), 18), ".png"},
      {"nothing", {}, ".png"},
  };
  for (const auto& test : cases) {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    EXPECT_FALSE(ReadPictureSize(test.bytes, test.extension, width, height)) << test.name;
  }
}

}  // namespace
}  // namespace quarvel::ui
