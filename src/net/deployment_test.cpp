#include "net/deployment.h"

#include <gtest/gtest.h>

#include <string>

namespace quarvel::deployment {
namespace {

TEST(PortOfHost, ReadsThePortAfterTheLastColon) {
  struct Case {
    const char* host;
    long expected;
  };
  const Case cases[] = {
      {"modules.cdn.quarvel.example", 443},
      {"localhost:18543", 18543},
      {"127.0.0.1:1", 1},
      {"[::1]", 443},
      {"[::1]:8443", 8443},
      {"host:", 443},
      {"host:0", 443},
      {"host:65536", 443},
      {"host:80x", 443},
      {"", 443},
      {nullptr, 443},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PortOfHost(c.host, 443), c.expected) << (c.host ? c.host : "(null)");
  }
}

TEST(Deployment, EmbedsAPemBundleAndNamesEveryHost) {
  const std::span<const unsigned char> bundle = TrustedCaBundle();
  const std::string text(bundle.begin(), bundle.end());
  EXPECT_NE(text.find("-----BEGIN CERTIFICATE-----"), std::string::npos);
  for (const char* host : {ModuleCdnHost(), GameDevModuleCdnHost(), TelemetrySdkEventsHost(),
                           TelemetryEventStreamHost()}) {
    EXPECT_NE(std::string(host), "");
    EXPECT_EQ(std::string(host).find('/'), std::string::npos) << host;
  }
}

}  // namespace
}  // namespace quarvel::deployment
