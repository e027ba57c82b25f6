#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>

// SHA-1 through the platform's cryptography library: CryptoAPI on Windows,
// OpenSSL's libcrypto elsewhere.
namespace quarvel::launcher {

using Sha1Digest = std::array<std::uint8_t, 20>;

// The digest of bytes that come a piece at a time.
class cSha1 {
 public:
  cSha1();
  ~cSha1();
  cSha1(const cSha1&) = delete;
  cSha1& operator=(const cSha1&) = delete;

  // False once the library refused a step; the digest is unusable then.
  bool Update(std::span<const std::uint8_t> bytes);
  // The digest of everything given; the object is spent afterwards.
  bool Finish(Sha1Digest& digest);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quarvel::launcher
