#pragma once

#include <array>
#include <cstdint>

// The host kernel's answer to fstat on x86-64 Linux (struct stat, 144
// bytes), as the Windows build under Wine receives it through a raw system
// call. Pure byte handling.
namespace quarvel::launcher {

using HostStatBuffer = std::array<std::uint8_t, 144>;

// True when the buffer describes a regular file whose owner is `userId`.
bool IsOwnRegularFile(const HostStatBuffer& status, std::uint32_t userId);

}  // namespace quarvel::launcher
