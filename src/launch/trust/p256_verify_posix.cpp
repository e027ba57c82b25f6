#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <memory>
#include <vector>

#include "launch/trust/module_trailer.h"

namespace quarvel::launcher {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct ContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct SignatureFree {
  void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
};

// r || s as the DER ECDSA-Sig-Value libcrypto verifies.
bool EncodeSignature(std::span<const std::uint8_t, kModuleSignatureSize> raw, std::vector<unsigned char>& der) {
  std::unique_ptr<ECDSA_SIG, SignatureFree> signature(ECDSA_SIG_new());
  if (!signature) return false;
  BIGNUM* r = BN_bin2bn(raw.data(), 32, nullptr);
  BIGNUM* s = BN_bin2bn(raw.data() + 32, 32, nullptr);
  if (r == nullptr || s == nullptr || ECDSA_SIG_set0(signature.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return false;
  }
  const int length = i2d_ECDSA_SIG(signature.get(), nullptr);
  if (length <= 0) return false;
  der.resize(static_cast<std::size_t>(length));
  unsigned char* out = der.data();
  return i2d_ECDSA_SIG(signature.get(), &out) == length;
}

}  // namespace

bool VerifyP256Signature(std::span<const std::uint8_t, 32> digest,
                         std::span<const std::uint8_t, kModuleSignatureSize> signature,
                         std::span<const std::uint8_t, kP256PublicKeyInfoSize> publicKeyInfo) {
  const unsigned char* input = publicKeyInfo.data();
  std::unique_ptr<EVP_PKEY, KeyFree> key(d2i_PUBKEY(nullptr, &input, static_cast<long>(publicKeyInfo.size())));
  if (!key || EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_EC) return false;
  std::vector<unsigned char> der;
  if (!EncodeSignature(signature, der)) return false;
  std::unique_ptr<EVP_PKEY_CTX, ContextFree> context(EVP_PKEY_CTX_new(key.get(), nullptr));
  return context && EVP_PKEY_verify_init(context.get()) == 1 &&
         EVP_PKEY_verify(context.get(), der.data(), der.size(), digest.data(), digest.size()) == 1;
}

}  // namespace quarvel::launcher
