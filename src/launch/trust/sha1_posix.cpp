#include "launch/trust/sha1.h"

#include <openssl/evp.h>

#include <memory>

namespace quarvel::launcher {

bool ComputeSha1(std::span<const std::uint8_t> bytes, Sha1Digest& digest) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context) return false;
  if (EVP_DigestInit_ex(context.get(), EVP_sha1(), nullptr) != 1) return false;
  if (!bytes.empty() && EVP_DigestUpdate(context.get(), bytes.data(), bytes.size()) != 1) return false;
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) return false;
  return length == digest.size();
}

}  // namespace quarvel::launcher
