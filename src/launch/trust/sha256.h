#pragma once

#include <array>
#include <cstdint>
#include <span>

// SHA-256 through the platform's cryptography library: CNG (bcrypt) on
// Windows, OpenSSL's libcrypto elsewhere.
namespace quarvel::launcher {

using Sha256Digest = std::array<std::uint8_t, 32>;

// False when the library refuses any step; `digest` is unusable then.
bool ComputeSha256(std::span<const std::uint8_t> bytes, Sha256Digest& digest);

}  // namespace quarvel::launcher
