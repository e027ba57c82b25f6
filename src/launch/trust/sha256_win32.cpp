#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

#include "launch/trust/sha256.h"

namespace quarvel::launcher {
namespace {

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

struct cSha256::State {
  State() {
    usable = Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
             Succeeded(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  }
  ~State() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool usable = false;
};

cSha256::cSha256() : state_(std::make_unique<State>()) {}
cSha256::~cSha256() = default;

bool cSha256::Update(std::span<const std::uint8_t> bytes) {
  // BCryptHashData takes a 32-bit length.
  constexpr std::size_t kChunk = 0x40000000;
  for (std::size_t offset = 0; state_->usable && offset < bytes.size(); offset += kChunk) {
    const ULONG length = static_cast<ULONG>(std::min(kChunk, bytes.size() - offset));
    state_->usable = Succeeded(BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes.data() + offset), length, 0));
  }
  return state_->usable;
}

bool cSha256::Finish(Sha256Digest& digest) {
  const bool finished =
      state_->usable &&
      Succeeded(BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
  state_->usable = false;
  return finished;
}

bool ComputeSha256(std::span<const std::uint8_t> bytes, Sha256Digest& digest) {
  cSha256 hash;
  return hash.Update(bytes) && hash.Finish(digest);
}

}  // namespace quarvel::launcher
