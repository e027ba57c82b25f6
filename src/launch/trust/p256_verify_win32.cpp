#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "launch/trust/module_trailer.h"

namespace quarvel::launcher {
namespace {

class ScopedKey {
 public:
  ~ScopedKey() {
    if (key != nullptr) BCryptDestroyKey(key);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_KEY_HANDLE key = nullptr;
};

// The fixed start of every P-256 SubjectPublicKeyInfo, up to the point's
// 0x04 (uncompressed) marker.
constexpr std::uint8_t kP256InfoPrefix[27] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                              0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                              0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00, 0x04};
static_assert(sizeof(kP256InfoPrefix) + 64 == kP256PublicKeyInfoSize);

}  // namespace

bool VerifyP256Signature(std::span<const std::uint8_t, 32> digest,
                         std::span<const std::uint8_t, kModuleSignatureSize> signature,
                         std::span<const std::uint8_t, kP256PublicKeyInfoSize> publicKeyInfo) {
  if (std::memcmp(publicKeyInfo.data(), kP256InfoPrefix, sizeof(kP256InfoPrefix)) != 0) return false;
  std::vector<std::uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
  const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof(header));
  std::memcpy(blob.data() + sizeof(header), publicKeyInfo.data() + sizeof(kP256InfoPrefix), 64);

  ScopedKey context;
  if (BCryptOpenAlgorithmProvider(&context.algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) < 0) return false;
  if (BCryptImportKeyPair(context.algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &context.key, blob.data(),
                          static_cast<ULONG>(blob.size()), 0) < 0) {
    return false;
  }
  return BCryptVerifySignature(context.key, nullptr, const_cast<PUCHAR>(digest.data()),
                               static_cast<ULONG>(digest.size()), const_cast<PUCHAR>(signature.data()),
                               static_cast<ULONG>(signature.size()), 0) == 0;
}

}  // namespace quarvel::launcher
