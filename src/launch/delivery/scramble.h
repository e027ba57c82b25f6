#pragma once

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

}  // namespace quarvel::launcher
