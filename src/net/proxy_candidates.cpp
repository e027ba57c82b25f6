#include "net/proxy_candidates.h"

#include <algorithm>

#include "common/strings.h"

namespace quarvel {

std::string BypassListToNoProxy(const std::string& bypass) {
  std::string result = bypass;
  std::replace(result.begin(), result.end(), ';', ',');
  return result;
}

bool FindProxyListEntry(const std::string& list, const std::string& name, std::string& value) {
  const std::size_t at = list.find(name + "=");
  if (at == std::string::npos) return false;
  const std::size_t begin = at + name.size() + 1;
  const std::size_t end = list.find(';', begin);
  value = list.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  return true;
}

void AddManualProxyCandidates(const std::string& url, const std::string& proxy, const std::string& bypass,
                              std::vector<ProxyCandidate>& list) {
  if (proxy.empty()) return;
  const std::string noProxy = BypassListToNoProxy(bypass);
  std::string chosen = proxy;
  if (proxy.find('=') != std::string::npos) {
    const bool secure = url.compare(0, 8, "https://") == 0;
    std::string value;
    if (FindProxyListEntry(proxy, secure ? "https" : "http", value)) {
      // The entry only says which proxy serves that kind of URL; the proxy
      // itself speaks plain HTTP (CONNECT for HTTPS), as Windows uses it.
      chosen = "http://" + value;
    } else if (FindProxyListEntry(proxy, "socks", value)) {
      for (const char* scheme : {"socks5h://", "socks4://", "socks4a://"}) {
        list.push_back({scheme + value, noProxy});
      }
      chosen = "socks5://" + value;
    }
  }
  list.insert(list.begin(), {chosen, noProxy});
}

void AddAutomaticProxyCandidates(const std::string& proxies, const std::string& bypass,
                                 std::vector<ProxyCandidate>& list) {
  const std::string noProxy = BypassListToNoProxy(bypass);
  std::vector<ProxyCandidate> found;
  // SplitByAny gives nothing for a text without ';': a single proxy.
  std::vector<std::string> items = SplitByAny(proxies, ";");
  if (proxies.find(';') == std::string::npos && !proxies.empty()) items.push_back(proxies);
  for (const std::string& item : items) found.push_back({item, noProxy});
  list.insert(list.begin(), found.begin(), found.end());
}

}  // namespace quarvel
