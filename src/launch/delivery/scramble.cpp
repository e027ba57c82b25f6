#include "launch/delivery/scramble.h"

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

void UnscrambleModule(std::span<std::uint8_t> bytes) { UnscrambleModule(bytes, bytes); }

bool UnscrambleModule(std::span<const std::uint8_t> scrambled, std::span<std::uint8_t> plain) {
  const std::size_t n = scrambled.size();
  if (plain.size() != n) return false;
  if (n < 2) {
    if (n == 1) plain[0] = scrambled[0];
    return true;
  }
  // Backward, with the plain byte after position i and the position term
  // kept in registers: each byte then costs one subtraction on the chain
  // instead of a store and a reload (64 MiB modules are common).
  std::uint8_t next = 0;
  std::uint8_t term = PositionTerm(n - 1);
  for (std::size_t i = n; i-- > 0; term = static_cast<std::uint8_t>(term - 3)) {
    next = static_cast<std::uint8_t>(scrambled[i] - term - next);
    plain[i] = next;
  }
  return true;
}

}  // namespace quarvel::launcher
