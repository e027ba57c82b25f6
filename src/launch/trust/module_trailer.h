#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "launch/trust/sha256.h"

// The signature trailer of a native module (a Linux shared object). The
// dynamic loader ignores bytes past the end of what the ELF headers describe,
// so the signature simply follows the library:
//
//   [library bytes][r (32)][s (32)][key id (8)]["QVLMSIG1" (8)]
//
// r and s are an ECDSA P-256 signature (big-endian) over the SHA-256 of the
// library bytes; the key id is the first 8 bytes of the SHA-256 of the
// signing key's DER SubjectPublicKeyInfo.
namespace quarvel::launcher {

inline constexpr std::size_t kModuleSignatureSize = 64;
inline constexpr std::size_t kModuleKeyIdSize = 8;
inline constexpr char kModuleTrailerMagic[8] = {'Q', 'V', 'L', 'M', 'S', 'I', 'G', '1'};
inline constexpr std::size_t kModuleTrailerSize = kModuleSignatureSize + kModuleKeyIdSize + sizeof(kModuleTrailerMagic);
// A P-256 SubjectPublicKeyInfo in DER: a fixed 26-byte prefix, then the
// uncompressed point 04 || X || Y.
inline constexpr std::size_t kP256PublicKeyInfoSize = 91;

using ModuleKeyId = std::array<std::uint8_t, kModuleKeyIdSize>;

struct ModulePublicKey {
  ModuleKeyId id{};
  std::array<std::uint8_t, kP256PublicKeyInfoSize> publicKeyInfo{};
};

struct ModuleTrailer {
  std::array<std::uint8_t, kModuleSignatureSize> signature{};
  ModuleKeyId keyId{};
  std::span<const std::uint8_t> signedBytes;  // everything before the trailer
};

// False when `image` does not end with a trailer.
bool ReadModuleTrailer(std::span<const std::uint8_t> image, ModuleTrailer& trailer);

// The key id of a DER SubjectPublicKeyInfo; false when it cannot be hashed.
bool ComputeModuleKeyId(std::span<const std::uint8_t> publicKeyInfo, ModuleKeyId& id);

enum class ModuleSignatureCheck : int {
  Valid,
  Missing,     // no trailer
  UnknownKey,  // signed by a key this build does not know
  Invalid,     // the signature does not match the bytes
  Failed,      // the cryptography library refused the key or the digest
};

// Verifies the trailer against `keys`.
ModuleSignatureCheck CheckModuleTrailer(std::span<const std::uint8_t> image, std::span<const ModulePublicKey> keys);

// Copies `into.size()` bytes of an image, starting at `offset`, into `into`;
// false when they cannot be had.
using ModuleImageReader = std::function<bool(std::uint64_t offset, std::span<std::uint8_t> into)>;
// The same check over an image of `size` bytes that is read a piece at a
// time (from a file, say, so that what is checked is what is there); a read
// that fails makes it Failed. The signed bytes are hashed with `hasher`'s
// hashers (the platform's when it is empty).
ModuleSignatureCheck CheckModuleTrailer(std::uint64_t size, const ModuleImageReader& read,
                                        std::span<const ModulePublicKey> keys,
                                        const Sha256HasherFactory& hasher = {});
const char* DescribeModuleSignatureCheck(ModuleSignatureCheck check);

// ECDSA P-256 of a SHA-256 digest, with the platform's library (OpenSSL's
// libcrypto, or bcrypt on Windows). False for a bad signature or key.
bool VerifyP256Signature(std::span<const std::uint8_t, 32> digest,
                         std::span<const std::uint8_t, kModuleSignatureSize> signature,
                         std::span<const std::uint8_t, kP256PublicKeyInfoSize> publicKeyInfo);

// The keys fixed at build time (QVL_MODULE_PUBLIC_KEYS); may be empty.
std::span<const ModulePublicKey> BuiltInModuleKeys();

// What the loaders ask before they load a native module. With keys: true
// only for a valid trailer, else `reason` says why. Without keys: true, with
// a Warning logged the first time.
bool AcceptNativeModule(std::span<const std::uint8_t> image, std::span<const ModulePublicKey> keys,
                        std::string& reason);
bool AcceptNativeModule(std::uint64_t size, const ModuleImageReader& read, std::span<const ModulePublicKey> keys,
                        std::string& reason, const Sha256HasherFactory& hasher = {});
// Tests only: the next unverified load warns again.
void ResetUnverifiedModuleWarningForTesting();

}  // namespace quarvel::launcher
