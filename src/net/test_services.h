#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the tests know about the local test services of a development build
// (tests/services/services.sh): ports relative to the build's base port, the
// CDN's document root and the collector's records.
namespace quarvel::test_support {

enum ServicePort : int {
  kCdnPort = 0,
  kCollectorPort = 100,
  kWrongHostPort = 200,
  kUntrustedRootPort = 300,
  kForwardProxyPort = 400,  // tinyproxy; it alone resolves kProxiedOnlyHost
  kCuttingProxyPort = 500,  // cuts every tunnel after 64 KiB
  kPlainHttpPort = 600,
  kClosedPort = 700,
  kSelfSignedPort = 900,
};

inline constexpr const char* kProxiedOnlyHost = "cdn-via-proxy.quarvel.invalid";

int Port(ServicePort service);
// "https://<host>:<port><path>"
std::string HttpsUrl(const std::string& host, ServicePort service, const std::string& path);

// A file name no other test run uses.
std::string UniqueName(const std::string& stem);
// Deterministic bytes of the given size.
std::vector<std::uint8_t> PatternBytes(std::size_t size, unsigned seed);
// Writes `bytes` to the CDN document root at `relativePath` ("net-tests/x");
// false on failure.
bool PublishOnCdn(const std::string& relativePath, const std::vector<std::uint8_t>& bytes);
// Every record line of the analytics collector.
std::vector<std::string> ReadCollectorRecords();

}  // namespace quarvel::test_support
