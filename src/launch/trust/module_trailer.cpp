#include "launch/trust/module_trailer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "common/logger.h"
#include "launch/trust/module_public_keys.h"
#include "launch/trust/sha256.h"

namespace quarvel::launcher {
namespace {

std::atomic<bool> unverifiedWarningLogged{false};

// What the signed bytes are read in when they come a piece at a time: small
// enough to stay in the processor's cache between the read and the hash.
constexpr std::size_t kReadPiece = 64 * 1024;

bool ParseTrailer(std::span<const std::uint8_t, kModuleTrailerSize> tail, ModuleTrailer& trailer) {
  if (std::memcmp(tail.data() + kModuleSignatureSize + kModuleKeyIdSize, kModuleTrailerMagic,
                  sizeof(kModuleTrailerMagic)) != 0) {
    return false;
  }
  std::memcpy(trailer.signature.data(), tail.data(), kModuleSignatureSize);
  std::memcpy(trailer.keyId.data(), tail.data() + kModuleSignatureSize, kModuleKeyIdSize);
  return true;
}

const ModulePublicKey* FindKey(const ModuleKeyId& id, std::span<const ModulePublicKey> keys) {
  const auto key =
      std::find_if(keys.begin(), keys.end(), [&](const ModulePublicKey& candidate) { return candidate.id == id; });
  return key != keys.end() ? &*key : nullptr;
}

// The digest of the `size` bytes before the trailer, read a piece at a time.
bool HashSignedBytes(std::uint64_t size, const ModuleImageReader& read, const Sha256HasherFactory& hasher,
                     Sha256Digest& digest) {
  const std::unique_ptr<cSha256Hasher> hash = hasher ? hasher() : std::make_unique<cSha256>();
  if (hash == nullptr) return false;
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::uint64_t>(kReadPiece, size)));
  for (std::uint64_t offset = 0; offset < size;) {
    const std::span<std::uint8_t> into =
        std::span(piece).first(static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), size - offset)));
    if (!read(offset, into) || !hash->Update(into)) return false;
    offset += into.size();
  }
  return hash->Finish(digest);
}

bool Accepting(ModuleSignatureCheck check, std::string& reason) {
  if (check == ModuleSignatureCheck::Valid) return true;
  reason = DescribeModuleSignatureCheck(check);
  Log(LogLevel::Error, "Module refused: %s.", reason.c_str());
  return false;
}

// Without keys every module is taken, with a warning the first time.
bool AcceptUnverified() {
  if (!unverifiedWarningLogged.exchange(true)) {
    Log(LogLevel::Warning, "No module signing keys are configured: native modules are loaded unverified.");
  }
  return true;
}

}  // namespace

bool ReadModuleTrailer(std::span<const std::uint8_t> image, ModuleTrailer& trailer) {
  if (image.size() <= kModuleTrailerSize) return false;
  if (!ParseTrailer(image.last<kModuleTrailerSize>(), trailer)) return false;
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
  const ModulePublicKey* key = FindKey(trailer.keyId, keys);
  if (key == nullptr) return ModuleSignatureCheck::UnknownKey;
  Sha256Digest digest;
  if (!ComputeSha256(trailer.signedBytes, digest)) return ModuleSignatureCheck::Failed;
  return VerifyP256Signature(digest, trailer.signature, key->publicKeyInfo) ? ModuleSignatureCheck::Valid
                                                                             : ModuleSignatureCheck::Invalid;
}

ModuleSignatureCheck CheckModuleTrailer(std::uint64_t size, const ModuleImageReader& read,
                                        std::span<const ModulePublicKey> keys, const Sha256HasherFactory& hasher) {
  if (size <= kModuleTrailerSize) return ModuleSignatureCheck::Missing;
  const std::uint64_t signedSize = size - kModuleTrailerSize;
  std::array<std::uint8_t, kModuleTrailerSize> tail{};
  if (!read(signedSize, tail)) return ModuleSignatureCheck::Failed;
  ModuleTrailer trailer;
  if (!ParseTrailer(tail, trailer)) return ModuleSignatureCheck::Missing;
  const ModulePublicKey* key = FindKey(trailer.keyId, keys);
  if (key == nullptr) return ModuleSignatureCheck::UnknownKey;
  Sha256Digest digest;
  if (!HashSignedBytes(signedSize, read, hasher, digest)) return ModuleSignatureCheck::Failed;
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
  if (keys.empty()) return AcceptUnverified();
  return Accepting(CheckModuleTrailer(image, keys), reason);
}

bool AcceptNativeModule(std::uint64_t size, const ModuleImageReader& read, std::span<const ModulePublicKey> keys,
                        std::string& reason, const Sha256HasherFactory& hasher) {
  reason.clear();
  if (keys.empty()) return AcceptUnverified();
  return Accepting(CheckModuleTrailer(size, read, keys, hasher), reason);
}

void ResetUnverifiedModuleWarningForTesting() { unverifiedWarningLogged = false; }

}  // namespace quarvel::launcher
