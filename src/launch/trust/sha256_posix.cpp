#include <openssl/evp.h>

#include "launch/trust/sha256.h"

namespace quarvel::launcher {

bool ComputeSha256(std::span<const std::uint8_t> bytes, Sha256Digest& digest) {
  unsigned int length = 0;
  return EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) == 1 &&
         length == digest.size();
}

}  // namespace quarvel::launcher
