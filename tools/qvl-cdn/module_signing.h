#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "launch/trust/module_trailer.h"

// The signature trailer of native modules (launch/trust/module_trailer.h):
// qvl-cdn signs with an ECDSA P-256 private key, and reports what a module's
// trailer says against public keys, with the bootstrapper's own check.
namespace quarvel::cdn_tool {

// Signs `bytes` in place with the PEM private key at `keyPath`: an existing
// trailer is replaced. Needs the Linux build of the tool (OpenSSL); `error`
// says why on failure.
bool SignModuleBytes(std::vector<std::uint8_t>& bytes, const std::string& keyPath, std::string& error);

// The key as the bootstrapper holds it, from a PEM "PUBLIC KEY" file (a
// P-256 SubjectPublicKeyInfo).
bool ReadModulePublicKey(const std::string& pemPath, launcher::ModulePublicKey& key, std::string& error);

// What the trailer of `bytes` says, one line per fact, e.g.
//   "Signature: key id 3f2a...; verifies with signing.pub.pem"
// `verified` is true only when it verifies with one of the keys.
std::string DescribeModuleSignature(std::span<const std::uint8_t> bytes, const std::vector<std::string>& publicKeys,
                                    bool& verified);

}  // namespace quarvel::cdn_tool
