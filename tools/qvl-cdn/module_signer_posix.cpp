#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "launch/trust/sha256.h"
#include "module_signing.h"

namespace quarvel::cdn_tool {
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

std::unique_ptr<EVP_PKEY, KeyFree> ReadPrivateKey(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return nullptr;
  std::unique_ptr<EVP_PKEY, KeyFree> key(PEM_read_PrivateKey(file, nullptr, nullptr, nullptr));
  std::fclose(file);
  return key;
}

bool IsP256(EVP_PKEY* key) {
  char group[64] = {};
  std::size_t length = 0;
  return EVP_PKEY_get_base_id(key) == EVP_PKEY_EC &&
         EVP_PKEY_get_group_name(key, group, sizeof(group), &length) == 1 && std::strcmp(group, "prime256v1") == 0;
}

}  // namespace

bool SignModuleBytes(std::vector<std::uint8_t>& bytes, const std::string& keyPath, std::string& error) {
  const std::unique_ptr<EVP_PKEY, KeyFree> key = ReadPrivateKey(keyPath);
  if (!key || !IsP256(key.get())) {
    error = keyPath + " is no readable ECDSA P-256 private key (PEM)";
    return false;
  }
  launcher::ModuleTrailer existing;
  if (launcher::ReadModuleTrailer(bytes, existing)) bytes.resize(existing.signedBytes.size());
  if (bytes.empty()) {
    error = "there is nothing to sign";
    return false;
  }

  launcher::Sha256Digest digest;
  std::unique_ptr<EVP_PKEY_CTX, ContextFree> context(EVP_PKEY_CTX_new(key.get(), nullptr));
  std::size_t length = 0;
  if (!launcher::ComputeSha256(bytes, digest) || !context || EVP_PKEY_sign_init(context.get()) != 1 ||
      EVP_PKEY_sign(context.get(), nullptr, &length, digest.data(), digest.size()) != 1) {
    error = "OpenSSL cannot sign with " + keyPath;
    return false;
  }
  std::vector<unsigned char> der(length);
  if (EVP_PKEY_sign(context.get(), der.data(), &length, digest.data(), digest.size()) != 1) {
    error = "OpenSSL cannot sign with " + keyPath;
    return false;
  }
  const unsigned char* input = der.data();
  const std::unique_ptr<ECDSA_SIG, SignatureFree> signature(d2i_ECDSA_SIG(nullptr, &input, static_cast<long>(length)));
  std::uint8_t raw[launcher::kModuleSignatureSize];
  if (!signature || BN_bn2binpad(ECDSA_SIG_get0_r(signature.get()), raw, 32) != 32 ||
      BN_bn2binpad(ECDSA_SIG_get0_s(signature.get()), raw + 32, 32) != 32) {
    error = "OpenSSL gave an unusable signature";
    return false;
  }

  unsigned char* publicKey = nullptr;
  const int publicKeyLength = i2d_PUBKEY(key.get(), &publicKey);
  launcher::ModuleKeyId id;
  const bool hashed =
      publicKeyLength > 0 && launcher::ComputeModuleKeyId({publicKey, static_cast<std::size_t>(publicKeyLength)}, id);
  OPENSSL_free(publicKey);
  if (!hashed) {
    error = "cannot name the key of " + keyPath;
    return false;
  }
  bytes.insert(bytes.end(), raw, raw + sizeof(raw));
  bytes.insert(bytes.end(), id.begin(), id.end());
  bytes.insert(bytes.end(), std::begin(launcher::kModuleTrailerMagic), std::end(launcher::kModuleTrailerMagic));
  return true;
}

}  // namespace quarvel::cdn_tool
