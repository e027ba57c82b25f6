#pragma once

#include <cstdint>
#include <span>

#include "launch/trust/sealed_module_file.h"

// The plain module image a piece at a time, for a loader that writes it
// straight into the file it loads from (see PrepareModuleFile). Both read
// their bytes where they lie: the span must outlive the source.
namespace quarvel::launcher {

// Pieces of an image that is plain already.
ModulePieceSource PlainImagePieces(std::span<const std::uint8_t> image);
// Pieces of the payload as the CDN sent it, unscrambled on the way; the
// payload itself is left as it is.
ModulePieceSource ScrambledPayloadPieces(std::span<const std::uint8_t> payload);

}  // namespace quarvel::launcher
