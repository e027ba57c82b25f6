#pragma once

#include <array>
#include <cstdint>
#include <span>

// SHA-1 through the platform's cryptography library: CryptoAPI on Windows,
// OpenSSL's libcrypto elsewhere.
namespace quarvel::launcher {

using Sha1Digest = std::array<std::uint8_t, 20>;

// False when the library refuses any step; `digest` is unusable then.
bool ComputeSha1(std::span<const std::uint8_t> bytes, Sha1Digest& digest);

}  // namespace quarvel::launcher
