#include "launch/delivery/module_pieces.h"

#include <algorithm>
#include <memory>

#include "launch/delivery/scramble.h"

namespace quarvel::launcher {

ModulePieceSource PlainImagePieces(std::span<const std::uint8_t> image) {
  return [image, remaining = image.size()](std::span<std::uint8_t> piece) mutable {
    if (piece.size() > remaining) return false;
    remaining -= piece.size();
    std::copy_n(image.data() + remaining, piece.size(), piece.data());
    return true;
  };
}

ModulePieceSource ScrambledPayloadPieces(std::span<const std::uint8_t> payload) {
  // Shared, as a std::function must be copyable.
  auto unscrambler = std::make_shared<cModuleUnscrambler>(payload);
  return [unscrambler](std::span<std::uint8_t> piece) { return unscrambler->Next(piece); };
}

}  // namespace quarvel::launcher
