#include "launch/trust/sha1.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

namespace quarvel::launcher {
namespace {

class ScopedProvider {
 public:
  ~ScopedProvider() {
    if (hash != 0) CryptDestroyHash(hash);
    if (provider != 0) CryptReleaseContext(provider, 0);
  }
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
};

}  // namespace

bool ComputeSha1(std::span<const std::uint8_t> bytes, Sha1Digest& digest) {
  ScopedProvider context;
  if (!CryptAcquireContextW(&context.provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return false;
  if (!CryptCreateHash(context.provider, CALG_SHA1, 0, 0, &context.hash)) return false;
  // CryptHashData takes a 32-bit length.
  constexpr std::size_t kChunk = 0x40000000;
  for (std::size_t offset = 0; offset < bytes.size(); offset += kChunk) {
    const DWORD length = static_cast<DWORD>(std::min(kChunk, bytes.size() - offset));
    if (!CryptHashData(context.hash, bytes.data() + offset, length, 0)) return false;
  }
  DWORD length = static_cast<DWORD>(digest.size());
  if (!CryptGetHashParam(context.hash, HP_HASHVAL, digest.data(), &length, 0)) return false;
  return length == digest.size();
}

}  // namespace quarvel::launcher
