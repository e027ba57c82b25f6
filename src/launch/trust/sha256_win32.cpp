#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

#include "launch/trust/sha256.h"

namespace quarvel::launcher {
namespace {

class ScopedHash {
 public:
  ~ScopedHash() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

bool Succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

bool ComputeSha256(std::span<const std::uint8_t> bytes, Sha256Digest& digest) {
  ScopedHash context;
  if (!Succeeded(BCryptOpenAlgorithmProvider(&context.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  if (!Succeeded(BCryptCreateHash(context.algorithm, &context.hash, nullptr, 0, nullptr, 0, 0))) return false;
  // BCryptHashData takes a 32-bit length.
  constexpr std::size_t kChunk = 0x40000000;
  for (std::size_t offset = 0; offset < bytes.size(); offset += kChunk) {
    const ULONG length = static_cast<ULONG>(std::min(kChunk, bytes.size() - offset));
    if (!Succeeded(BCryptHashData(context.hash, const_cast<PUCHAR>(bytes.data() + offset), length, 0))) return false;
  }
  return Succeeded(BCryptFinishHash(context.hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
}

}  // namespace quarvel::launcher
