#include "net/trust_policy.h"

#include <gtest/gtest.h>

namespace quarvel {
namespace {

TEST(TrustPolicy, TrustsTheSystemStoreOnlyWhereTheSystemVerifiesIt) {
  struct Case {
    TrustPolicy policy;
    TrustPlatform platform;
    TrustSource expected;
  };
  const Case cases[] = {
      {TrustPolicy::System, TrustPlatform::Windows, TrustSource::WindowsStore},
      // Wine's Schannel accepts self-signed and wrong-host certificates.
      {TrustPolicy::System, TrustPlatform::Wine, TrustSource::EmbeddedBundle},
      {TrustPolicy::System, TrustPlatform::Linux, TrustSource::OpenSslDefaultPaths},
      {TrustPolicy::Bundle, TrustPlatform::Windows, TrustSource::EmbeddedBundle},
      {TrustPolicy::Bundle, TrustPlatform::Wine, TrustSource::EmbeddedBundle},
      {TrustPolicy::Bundle, TrustPlatform::Linux, TrustSource::EmbeddedBundle},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrustSourceFor(c.policy, c.platform), c.expected)
        << TrustPolicyName(c.policy) << " on platform " << static_cast<int>(c.platform) << ": "
        << TrustSourceName(TrustSourceFor(c.policy, c.platform));
  }
}

}  // namespace
}  // namespace quarvel
