#pragma once

#include <string>
#include <vector>

#include "net/proxy_candidates.h"

namespace quarvel {

// The current user's proxies for a URL. On Windows they come from WinHTTP:
// "winhttp.dll" is loaded by name on the first discovery and freed with this
// object; its entry points are looked up once. Elsewhere there are none.
// Failures are silent: they only mean fewer candidates.
class cProxyDiscovery {
 public:
  cProxyDiscovery() = default;
  ~cProxyDiscovery();
  cProxyDiscovery(const cProxyDiscovery&) = delete;
  cProxyDiscovery& operator=(const cProxyDiscovery&) = delete;

  // Empties `candidates` and fills them in the order to try: automatic
  // (WPAD or script) proxies, then the manual one, then further SOCKS forms.
  // True when there is at least one.
  bool Discover(const std::string& url, std::vector<ProxyCandidate>& candidates);

  bool IsLibraryLoaded() const { return module_ != nullptr; }

 private:
  void* module_ = nullptr;
  void* getIeProxyConfigForCurrentUser_ = nullptr;
  void* open_ = nullptr;
  void* getProxyForUrl_ = nullptr;
  void* closeHandle_ = nullptr;
};

}  // namespace quarvel
