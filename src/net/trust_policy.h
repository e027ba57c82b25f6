#pragma once

// Which certificate authorities a transfer trusts. Peer and host name are
// verified on every path; only where the trusted roots come from differs.
namespace quarvel {

enum class TrustPolicy {
  // The player's own store, where it is verified as its system means it: the
  // Windows certificate store through Schannel, and on Linux OpenSSL's
  // default locations (SSL_CERT_FILE and SSL_CERT_DIR honoured). Under Wine,
  // whose Schannel accepts self-signed and wrong-host certificates, the
  // embedded bundle instead.
  System,
  // Only the bundle embedded at build time, on every platform.
  Bundle,
};

// Where the trusted roots of a transfer come from.
enum class TrustSource {
  EmbeddedBundle,
  WindowsStore,         // Schannel with no CA file: the system store
  OpenSslDefaultPaths,  // OpenSSL's default file and directory
};

enum class TrustPlatform { Windows, Wine, Linux };

TrustSource TrustSourceFor(TrustPolicy policy, TrustPlatform platform);
const char* TrustPolicyName(TrustPolicy policy);
const char* TrustSourceName(TrustSource source);

}  // namespace quarvel
