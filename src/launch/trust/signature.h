#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The check a downloaded module passes before it is mapped: its image must
// carry an Authenticode signature the system trusts, made by one of the
// publisher's certificate names. The trust functions work on files, so the
// image is written to a temporary file in the cache root for the check.
namespace quarvel::launcher {

enum class FileTrust : int {
  TrustUnavailable = 1,  // wintrust.dll or crypt32.dll lacks a function
  FileMissing = 2,
  Trusted = 3,
  NotTrusted = 4,
};

inline constexpr std::size_t kSignerNameLength = 260;

// Windows only. wintrust.dll and crypt32.dll are loaded from the system
// directory by full path. True once all the functions are resolved.
bool LoadTrustFunctions();
// Authenticode verification of the file; revocation is not consulted and
// nothing is fetched from the network.
FileTrust VerifyFileTrust(const wchar_t* path);
// The display name of the certificate that signed the file, cut to fit and
// terminated, into `name` (kSignerNameLength units).
bool GetSignerName(const wchar_t* path, wchar_t* name);
// True when the module may be mapped: trusted and signed by an accepted name.
// Also true when the check cannot be carried out at all (no cache root, the
// temporary file cannot be written, the trust functions are missing, the
// file vanished): those are logged as skipped.
bool VerifyModuleSignature(std::span<const std::uint8_t> image);

// Exact equality (case, length, punctuation) with one of the accepted names.
bool IsAcceptedSigner(const char16_t* name);
// The accepted names, set at build time (QVL_ACCEPTED_SIGNERS).
std::span<const char16_t* const> AcceptedSigners();

}  // namespace quarvel::launcher
