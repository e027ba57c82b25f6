#include "launch/scramble.h"

namespace quarvel::launcher {
namespace {

std::uint8_t PositionTerm(std::size_t i) { return static_cast<std::uint8_t>(3 * i); }

}  // namespace

void ScrambleModule(std::span<std::uint8_t> bytes) {
  const std::size_t n = bytes.size();
  if (n < 2) return;
  // Forward: the plain byte after position i is still untouched.
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t next = i + 1 < n ? bytes[i + 1] : 0;
    bytes[i] = static_cast<std::uint8_t>(bytes[i] + PositionTerm(i) + next);
  }
}

void UnscrambleModule(std::span<std::uint8_t> bytes) {
  const std::size_t n = bytes.size();
  if (n < 2) return;
  // Backward: the byte after position i is already plain again.
  for (std::size_t i = n; i-- > 0;) {
    const std::uint8_t next = i + 1 < n ? bytes[i + 1] : 0;
    bytes[i] = static_cast<std::uint8_t>(bytes[i] - PositionTerm(i) - next);
  }
}

}  // namespace quarvel::launcher
