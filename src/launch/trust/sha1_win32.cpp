#include "launch/trust/sha1.h"

#include <windows.h>
#include <wincrypt.h>

#include <algorithm>

namespace quarvel::launcher {

struct cSha1::State {
  State() {
    usable = CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
             CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash);
  }
  ~State() {
    if (hash != 0) CryptDestroyHash(hash);
    if (provider != 0) CryptReleaseContext(provider, 0);
  }
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  bool usable = false;
};

cSha1::cSha1() : state_(std::make_unique<State>()) {}
cSha1::~cSha1() = default;

bool cSha1::Update(std::span<const std::uint8_t> bytes) {
  // CryptHashData takes a 32-bit length.
  constexpr std::size_t kChunk = 0x40000000;
  for (std::size_t offset = 0; state_->usable && offset < bytes.size(); offset += kChunk) {
    const DWORD length = static_cast<DWORD>(std::min(kChunk, bytes.size() - offset));
    state_->usable = CryptHashData(state_->hash, bytes.data() + offset, length, 0) != FALSE;
  }
  return state_->usable;
}

bool cSha1::Finish(Sha1Digest& digest) {
  DWORD length = static_cast<DWORD>(digest.size());
  const bool finished =
      state_->usable && CryptGetHashParam(state_->hash, HP_HASHVAL, digest.data(), &length, 0) != FALSE &&
      length == digest.size();
  state_->usable = false;
  return finished;
}

}  // namespace quarvel::launcher
