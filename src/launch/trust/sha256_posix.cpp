#include <openssl/evp.h>

#include "launch/trust/sha256.h"

namespace quarvel::launcher {

bool ComputeSha256(std::span<const std::uint8_t> bytes, Sha256Digest& digest) {
  unsigned int length = 0;
  return EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) == 1 &&
         length == digest.size();
}

struct cSha256::State {
  ~State() { EVP_MD_CTX_free(context); }
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool usable = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
};

cSha256::cSha256() : state_(std::make_unique<State>()) {}
cSha256::~cSha256() = default;

bool cSha256::Update(std::span<const std::uint8_t> bytes) {
  if (state_->usable && EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) != 1) state_->usable = false;
  return state_->usable;
}

bool cSha256::Finish(Sha256Digest& digest) {
  unsigned int length = 0;
  const bool finished = state_->usable && EVP_DigestFinal_ex(state_->context, digest.data(), &length) == 1 &&
                        length == digest.size();
  state_->usable = false;
  return finished;
}

}  // namespace quarvel::launcher
