#include "launch/delivery/module_pieces.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "launch/delivery/scramble.h"

namespace quarvel::launcher {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Asks `next` for pieces of the given sizes, from the end, until `size`
// bytes have come; the image they make up.
Bytes Collect(const ModulePieceSource& next, std::size_t size, std::size_t pieceSize) {
  Bytes image(size, 0xEE);
  for (std::size_t end = size; end > 0;) {
    const std::size_t length = std::min(pieceSize, end);
    end -= length;
    EXPECT_TRUE(next(std::span(image).subspan(end, length))) << end;
  }
  return image;
}

TEST(ModulePieces, PiecesMakeUpThePlainImageWhateverTheirSize) {
  std::mt19937 random(20251211);
  for (const std::size_t size : {1u, 2u, 255u, 4097u, 200000u}) {
    Bytes plain(size);
    for (std::uint8_t& byte : plain) byte = static_cast<std::uint8_t>(random());
    Bytes payload = plain;
    ScrambleModule(payload);
    const Bytes sent = payload;
    for (const std::size_t piece : {1u, 7u, 4096u, 65536u, 1u << 20}) {
      EXPECT_EQ(Collect(PlainImagePieces(plain), size, piece), plain) << size << " in " << piece;
      EXPECT_EQ(Collect(ScrambledPayloadPieces(payload), size, piece), plain) << size << " in " << piece;
    }
    // The payload is what the cache keeps: unscrambling never touches it.
    EXPECT_EQ(payload, sent) << size;
  }
}

TEST(ModulePieces, NoMoreThanTheImageHolds) {
  const Bytes image(10, 0x11);
  for (const ModulePieceSource& next : {PlainImagePieces(image), ScrambledPayloadPieces(image)}) {
    Bytes piece(6);
    EXPECT_TRUE(next(piece));
    EXPECT_FALSE(next(piece)) << "only 4 bytes are left";
    piece.resize(4);
    EXPECT_TRUE(next(piece));
    piece.resize(1);
    EXPECT_FALSE(next(piece));
  }
}

}  // namespace
}  // namespace quarvel::launcher
