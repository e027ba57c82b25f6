#include "launch/trust/module_trailer.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "common/logger.h"
#include "launch/trust/module_public_keys.h"
#include "launch/trust/sha256.h"

namespace quarvel::launcher {
namespace {

std::atomic<bool> unverifiedWarningLogged{false};

}  // namespace

bool ReadModuleTrailer(std::span<const std::uint8_t> image, ModuleTrailer& trailer) {
  if (image.size() <= kModuleTrailerSize) return false;
  const std::uint8_t* start = image.data() + image.size() - kModuleTrailerSize;
  if (std::memcmp(start + kModuleSignatureSize + kModuleKeyIdSize, kModuleTrailerMagic,
                  sizeof(kModuleTrailerMagic)) != 0) {
    return false;
  }
  std::memcpy(trailer.signature.data(), start, kModuleSignatureSize);
  std::memcpy(trailer.keyId.data(), start + kModuleSignatureSize, kModuleKeyIdSize);
  trailer.signedBytes = image.first(image.size() - kModuleTrailerSize);
  return true;
}

bool ComputeModuleKeyId(std::span<const std::uint8_t> publicKeyInfo, ModuleKeyId& id) {
  Sha256Digest digest;
  if (!ComputeSha256(publicKeyInfo, digest)) return false;
  std::copy_n(digest.begin(), id.size(), id.begin());
  return true;
}

ModuleSignatureCheck CheckModuleTrailer(std::span<const std::uint8_t> image, std::span<const ModulePublicKey> keys) {
  ModuleTrailer trailer;
  if (!ReadModuleTrailer(image, trailer)) return ModuleSignatureCheck::Missing;
  const auto key = std::find_if(keys.begin(), keys.end(),
                                [&](const ModulePublicKey& candidate) { return candidate.id == trailer.keyId; });
  if (key == keys.end()) return ModuleSignatureCheck::UnknownKey;
  Sha256Digest digest;
  if (!ComputeSha256(trailer.signedBytes, digest)) return ModuleSignatureCheck::Failed;
  return VerifyP256Signature(digest, trailer.signature, key->publicKeyInfo) ? ModuleSignatureCheck::Valid
                                                                             : ModuleSignatureCheck::Invalid;
}

const char* DescribeModuleSignatureCheck(ModuleSignatureCheck check) {
  switch (check) {
    case ModuleSignatureCheck::Valid:
      return "the module signature is valid";
    case ModuleSignatureCheck::Missing:
      return "the module is not signed";
    case ModuleSignatureCheck::UnknownKey:
      return "the module is signed by an unknown key";
    case ModuleSignatureCheck::Invalid:
      return "the module signature does not match the module";
    case ModuleSignatureCheck::Failed:
      return "the module signature cannot be checked";
  }
  return "the module signature cannot be checked";
}

std::span<const ModulePublicKey> BuiltInModuleKeys() {
  return std::span<const ModulePublicKey>(kModulePublicKeys, kModulePublicKeyCount);
}

bool AcceptNativeModule(std::span<const std::uint8_t> image, std::span<const ModulePublicKey> keys,
                        std::string& reason) {
  reason.clear();
  if (keys.empty()) {
    if (!unverifiedWarningLogged.exchange(true)) {
      Log(LogLevel::Warning, "No module signing keys are configured: native modules are loaded unverified.");
    }
    return true;
  }
  const ModuleSignatureCheck check = CheckModuleTrailer(image, keys);
  if (check == ModuleSignatureCheck::Valid) return true;
  reason = DescribeModuleSignatureCheck(check);
  Log(LogLevel::Error, "Module refused: %s.", reason.c_str());
  return false;
}

void ResetUnverifiedModuleWarningForTesting() { unverifiedWarningLogged = false; }

}  // namespace quarvel::launcher
