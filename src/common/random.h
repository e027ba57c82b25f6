#pragma once

#include <cstddef>
#include <cstdint>

// A small, fast, process-wide generator for identifiers that must be unique
// in practice, not secret.
namespace quarvel {

std::uint64_t NextRandom64();

// Writes 36 characters in the layout "%08x-%04x-%04x-%04x-%08x%04x" plus a
// terminator into `buffer` (at least 37 bytes). Returns FormatString's result.
int GenerateGuidString(char* buffer, std::size_t size = 37);

}  // namespace quarvel
