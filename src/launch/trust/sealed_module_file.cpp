#include "launch/trust/sealed_module_file.h"

#include <algorithm>
#include <vector>

#include "common/logger.h"

namespace quarvel::launcher {
namespace {

// Small enough for the processor's cache: a piece is produced and written
// while it is still there, and no second copy of the image is ever made.
constexpr std::size_t kWritePiece = 64 * 1024;

bool WritePieces(cModuleFile& file, std::uint64_t size, const ModulePieceSource& next) {
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kWritePiece, size)));
  for (std::uint64_t end = size; end > 0;) {
    const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end));
    const std::span<std::uint8_t> piece = std::span(buffer).first(length);
    if (!next(piece)) {
      Log(LogLevel::Error, "The module image could not be produced.");
      return false;
    }
    end -= length;
    if (!file.WriteAt(end, piece)) return false;
  }
  return true;
}

}  // namespace

ModuleFileResult PrepareModuleFile(cModuleFile& file, std::uint64_t size, const ModulePieceSource& next,
                                   std::span<const ModulePublicKey> keys, std::string& reason,
                                   const Sha256HasherFactory& hasher) {
  reason.clear();
  if (!file.Create(size) || !WritePieces(file, size, next) || !file.Seal()) return ModuleFileResult::Failed;
  const ModuleImageReader read = [&file](std::uint64_t offset, std::span<std::uint8_t> into) {
    return file.ReadAt(offset, into);
  };
  return AcceptNativeModule(size, read, keys, reason, hasher) ? ModuleFileResult::Ready : ModuleFileResult::Refused;
}

}  // namespace quarvel::launcher
