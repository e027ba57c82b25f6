#include "net/trust_policy.h"

namespace quarvel {

TrustSource TrustSourceFor(TrustPolicy policy, TrustPlatform platform) {
  if (policy == TrustPolicy::Bundle) return TrustSource::EmbeddedBundle;
  switch (platform) {
    case TrustPlatform::Windows:
      return TrustSource::WindowsStore;
    case TrustPlatform::Linux:
      return TrustSource::OpenSslDefaultPaths;
    case TrustPlatform::Wine:
      break;
  }
  return TrustSource::EmbeddedBundle;
}

const char* TrustPolicyName(TrustPolicy policy) { return policy == TrustPolicy::System ? "system" : "bundle"; }

const char* TrustSourceName(TrustSource source) {
  switch (source) {
    case TrustSource::WindowsStore:
      return "the Windows certificate store";
    case TrustSource::OpenSslDefaultPaths:
      return "OpenSSL's default locations";
    case TrustSource::EmbeddedBundle:
      break;
  }
  return "the embedded bundle";
}

}  // namespace quarvel
