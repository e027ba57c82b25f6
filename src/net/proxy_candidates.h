#pragma once

#include <string>
#include <vector>

// Turning the user's proxy settings into the proxies a transfer tries, in
// order. Pure text work: the settings are read elsewhere (proxy_discovery).
namespace quarvel {

struct ProxyCandidate {
  std::string proxy;    // for CURLOPT_PROXY: "host:port", or a scheme prefix and host:port
  std::string noProxy;  // for CURLOPT_NOPROXY; empty when no bypass list is configured

  bool operator==(const ProxyCandidate&) const = default;
};

// A Windows bypass list ("a;b") in the form CURLOPT_NOPROXY takes ("a,b").
std::string BypassListToNoProxy(const std::string& bypass);

// Finds the first "name=" in a per-protocol list such as "http=a:1;https=b:2";
// the value runs to the next ';' or the end. An empty value is found, empty.
bool FindProxyListEntry(const std::string& list, const std::string& name, std::string& value);

// The manual setting `proxy` (host:port, or a per-protocol list) for `url`:
// one candidate at the front of `list`; for a SOCKS entry also the further
// SOCKS forms at its end. Nothing for an empty setting.
void AddManualProxyCandidates(const std::string& url, const std::string& proxy, const std::string& bypass,
                              std::vector<ProxyCandidate>& list);

// The answer of automatic discovery ("a;b;"): its non-empty items go to the
// front of `list`, in their order, each with the returned bypass list.
void AddAutomaticProxyCandidates(const std::string& proxies, const std::string& bypass,
                                 std::vector<ProxyCandidate>& list);

}  // namespace quarvel
