#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The encoding of the module as the CDN delivers it and the cache keeps it.
// Each scrambled byte is the plain byte plus three times its position plus
// the plain byte after it (zero past the end), all modulo 256. Both
// directions work in place and accept any bytes.
namespace quarvel::launcher {

void ScrambleModule(std::span<std::uint8_t> bytes);
void UnscrambleModule(std::span<std::uint8_t> bytes);
// Unscrambles into a second buffer of the same size in one pass, leaving
// `scrambled` as it is (the two may also be the same bytes). False, with
// nothing written, when the sizes differ.
bool UnscrambleModule(std::span<const std::uint8_t> scrambled, std::span<std::uint8_t> plain);

// Unscrambles a payload a piece at a time, from its end towards its start
// (each plain byte needs the one after it), so that the plain image can be
// written straight where it is wanted instead of into a copy first. The
// payload is only read.
class cModuleUnscrambler {
 public:
  explicit cModuleUnscrambler(std::span<const std::uint8_t> scrambled) : scrambled_(scrambled) {}

  // Bytes not unscrambled yet: the first Remaining() of the payload.
  std::size_t Remaining() const { return scrambled_.size() - done_; }
  // Unscrambles the last `plain.size()` of the remaining bytes into `plain`;
  // false, with nothing written, when fewer remain.
  bool Next(std::span<std::uint8_t> plain);

 private:
  std::span<const std::uint8_t> scrambled_;
  std::size_t done_ = 0;
  std::uint8_t next_ = 0;  // the plain byte after the remaining ones
};

}  // namespace quarvel::launcher
