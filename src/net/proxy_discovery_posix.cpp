#include "net/proxy_discovery.h"

// No WinHTTP here: a failed direct transfer is not retried through proxies.
// libcurl itself honours https_proxy / no_proxy on the direct attempt.
namespace quarvel {

cProxyDiscovery::~cProxyDiscovery() = default;

bool cProxyDiscovery::Discover(const std::string&, std::vector<ProxyCandidate>& candidates) {
  candidates.clear();
  return false;
}

}  // namespace quarvel
