#pragma once

#include <cstdint>
#include <span>
#include <string>

// The signer of a Windows module's Authenticode signature, read with the
// system's own means: the Windows build asks crypt32 through the
// bootstrapper's signature code, the Linux build reads the PKCS#7 signature
// with OpenSSL. Neither checks the certificate chain or the image digest.
namespace quarvel::cdn_tool {

struct SignerLookup {
  bool read = false;
  std::string commonName;  // UTF-8
  std::string error;       // why the signer could not be read
};

// `path` is the module file (UTF-8); `certificateTable` its certificate
// table, non-empty.
SignerLookup ReadAuthenticodeSigner(const std::string& path, std::span<const std::uint8_t> certificateTable);

}  // namespace quarvel::cdn_tool
