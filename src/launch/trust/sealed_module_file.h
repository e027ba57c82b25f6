#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "launch/trust/module_trailer.h"

// How a native module gets into the file it is loaded from: written once,
// sealed against every later change, and only then checked, by reading the
// sealed bytes back. What was checked is then exactly what is loaded, and
// nothing can change it any more.
namespace quarvel::launcher {

// A file of the system's memory that a module is loaded from. Each platform
// implements it with its calls and logs its own failures.
class cModuleFile {
 public:
  virtual ~cModuleFile() = default;

  // A new, empty file of `size` bytes.
  virtual bool Create(std::uint64_t size) = 0;
  virtual bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
  // From here on nobody, this process included, can write, shrink or grow
  // the file.
  virtual bool Seal() = 0;
  // All of `into`, read from `offset`; false when fewer bytes came.
  virtual bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
};

// Produces the next piece of the plain image: the `piece.size()` bytes that
// end where the previous piece began (the first ends at the image's end), the
// order in which a scrambled payload unscrambles. False when it cannot.
using ModulePieceSource = std::function<bool(std::span<std::uint8_t> piece)>;

enum class ModuleFileResult {
  Ready,    // written, sealed and accepted
  Failed,   // a step of the file failed (logged)
  Refused,  // the signature was not accepted (`reason` says why)
};

// Writes the `size`-byte image into `file` through one small buffer, seals
// the file, then checks the signature against `keys` over the sealed bytes,
// hashing them with `hasher`'s hashers (the platform's when it is empty).
ModuleFileResult PrepareModuleFile(cModuleFile& file, std::uint64_t size, const ModulePieceSource& next,
                                   std::span<const ModulePublicKey> keys, std::string& reason,
                                   const Sha256HasherFactory& hasher = {});

}  // namespace quarvel::launcher
