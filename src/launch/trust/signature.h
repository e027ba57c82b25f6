#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// The check a downloaded Windows module passes before it is mapped: its image
// must carry an Authenticode signature the system trusts, made by a
// code-signing certificate of one of the publisher's names (and, when the
// build pins keys, with one of the pinned public keys). The trust functions
// work on files, so the image is written to a temporary file under the local
// application-data folder and checked through one handle that nobody else may
// write or delete while it is open.
namespace quarvel::launcher {

enum class FileTrust : int {
  TrustUnavailable = 1,  // wintrust.dll or crypt32.dll lacks a function
  FileMissing = 2,
  Trusted = 3,
  NotTrusted = 4,
};

inline constexpr std::size_t kSignerNameLength = 260;

using PublicKeyHash = std::array<std::uint8_t, 32>;

// What the verification told about the certificate that signed a file.
struct SignerFacts {
  std::u16string name;        // simple display name
  PublicKeyHash keyHash{};    // SHA-256 of the DER SubjectPublicKeyInfo
  bool codeSigning = false;   // the certificate allows code signing
};

// Which signers a build accepts: one of `names` exactly; when `keys` is not
// empty, also one of those keys and the code-signing usage.
struct SignerPolicy {
  std::span<const char16_t* const> names;
  std::span<const PublicKeyHash> keys;
};

// The policy fixed at build time (QVL_ACCEPTED_SIGNERS, QVL_ACCEPTED_SIGNER_KEYS).
SignerPolicy BuildSignerPolicy();
// Empty when the signer is accepted, else why not.
std::string JudgeSigner(const SignerFacts& signer, const SignerPolicy& policy);

// Windows only. wintrust.dll and crypt32.dll are loaded from the system
// directory by full path. True once all the functions are resolved.
bool LoadTrustFunctions();
// Authenticode verification of the file; revocation is not consulted and
// nothing is fetched from the network. The file is opened once, and the
// signer (when `signer` is not null) comes from the same verification.
FileTrust VerifyFileTrust(const wchar_t* path, SignerFacts* signer = nullptr);
// The display name of the certificate that signed the file, cut to fit and
// terminated, into `name` (kSignerNameLength units).
bool GetSignerName(const wchar_t* path, wchar_t* name);
// True when the module may be mapped: trusted and signed by an accepted
// signer. A check that cannot be carried out (no folder for the temporary
// file, the file cannot be written, the trust functions are missing) refuses
// too. `reason` says why on refusal.
bool VerifyModuleSignature(std::span<const std::uint8_t> image, std::string& reason);
bool VerifyModuleSignature(std::span<const std::uint8_t> image, const SignerPolicy& policy, std::string& reason);

// Tests only: called with the temporary file's path after the image was
// written and before it is verified, while the check holds the file open.
using SignatureCheckPause = void (*)(const wchar_t* path);
void SetSignatureCheckPauseForTesting(SignatureCheckPause pause);

// Exact equality (case, length, punctuation) with one of the accepted names.
bool IsAcceptedSigner(const char16_t* name);
// The accepted names, set at build time (QVL_ACCEPTED_SIGNERS).
std::span<const char16_t* const> AcceptedSigners();

}  // namespace quarvel::launcher
