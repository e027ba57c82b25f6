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
  if (plain.size() != scrambled.size()) return false;
  return cModuleUnscrambler(scrambled).Next(plain);
}

bool cModuleUnscrambler::Next(std::span<std::uint8_t> plain) {
  const std::size_t count = plain.size();
  if (count > Remaining()) return false;
  const std::size_t end = Remaining();
  const std::size_t start = end - count;
  // A payload of one byte is that byte: the encoding leaves it alone.
  if (scrambled_.size() == 1) {
    if (count == 1) plain[0] = scrambled_[0];
    done_ += count;
    return true;
  }
  // Backward, with the plain byte after position i and the position term
  // kept in registers: each byte then costs one subtraction on the chain
  // instead of a store and a reload (64 MiB modules are common).
  const std::uint8_t* source = scrambled_.data() + start;
  std::uint8_t next = next_;
  std::uint8_t term = PositionTerm(end - 1);
  for (std::size_t i = count; i-- > 0; term = static_cast<std::uint8_t>(term - 3)) {
    next = static_cast<std::uint8_t>(source[i] - term - next);
    plain[i] = next;
  }
  next_ = next;
  done_ += count;
  return true;
}

}  // namespace quarvel::launcher
