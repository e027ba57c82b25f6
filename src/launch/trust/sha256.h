#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

// SHA-256 through the platform's cryptography library: CNG (bcrypt) on
// Windows, OpenSSL's libcrypto elsewhere.
namespace quarvel::launcher {

using Sha256Digest = std::array<std::uint8_t, 32>;

// False when the library refuses any step; `digest` is unusable then.
bool ComputeSha256(std::span<const std::uint8_t> bytes, Sha256Digest& digest);

// The same digest over bytes that come a piece at a time.
class cSha256 {
 public:
  cSha256();
  ~cSha256();
  cSha256(const cSha256&) = delete;
  cSha256& operator=(const cSha256&) = delete;

  // False once the library refused a step; the digest is unusable then.
  bool Update(std::span<const std::uint8_t> bytes);
  // The digest of everything given; the object is spent afterwards.
  bool Finish(Sha256Digest& digest);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quarvel::launcher
