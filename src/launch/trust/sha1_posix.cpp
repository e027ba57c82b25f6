#include "launch/trust/sha1.h"

#include <openssl/evp.h>

#include <memory>

namespace quarvel::launcher {

struct cSha1::State {
  ~State() { EVP_MD_CTX_free(context); }
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  bool usable = context != nullptr && EVP_DigestInit_ex(context, EVP_sha1(), nullptr) == 1;
};

cSha1::cSha1() : state_(std::make_unique<State>()) {}
cSha1::~cSha1() = default;

bool cSha1::Update(std::span<const std::uint8_t> bytes) {
  if (state_->usable && !bytes.empty() && EVP_DigestUpdate(state_->context, bytes.data(), bytes.size()) != 1) {
    state_->usable = false;
  }
  return state_->usable;
}

bool cSha1::Finish(Sha1Digest& digest) {
  unsigned int length = 0;
  const bool finished = state_->usable && EVP_DigestFinal_ex(state_->context, digest.data(), &length) == 1 &&
                        length == digest.size();
  state_->usable = false;
  return finished;
}

}  // namespace quarvel::launcher
