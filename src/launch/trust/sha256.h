#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

// SHA-256 through the platform's cryptography library: CNG (bcrypt) on
// Windows, OpenSSL's libcrypto elsewhere. A caller that has a faster library
// at hand (the Wine loader: the host's) brings its own cSha256Hasher.
namespace quarvel::launcher {

using Sha256Digest = std::array<std::uint8_t, 32>;

// False when the library refuses any step; `digest` is unusable then.
bool ComputeSha256(std::span<const std::uint8_t> bytes, Sha256Digest& digest);

// A digest over bytes that come a piece at a time, whichever library
// computes it.
class cSha256Hasher {
 public:
  virtual ~cSha256Hasher() = default;
  // False once the library refused a step; the digest is unusable then.
  virtual bool Update(std::span<const std::uint8_t> bytes) = 0;
  // The digest of everything given; the object is spent afterwards.
  virtual bool Finish(Sha256Digest& digest) = 0;
};

// Makes a fresh hasher for each digest; an empty one stands for cSha256.
using Sha256HasherFactory = std::function<std::unique_ptr<cSha256Hasher>()>;

// The platform library's hasher.
class cSha256 final : public cSha256Hasher {
 public:
  cSha256();
  ~cSha256() override;
  cSha256(const cSha256&) = delete;
  cSha256& operator=(const cSha256&) = delete;

  bool Update(std::span<const std::uint8_t> bytes) override;
  bool Finish(Sha256Digest& digest) override;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace quarvel::launcher
