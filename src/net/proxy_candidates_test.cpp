#include "net/proxy_candidates.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace quarvel {

void PrintTo(const ProxyCandidate& candidate, std::ostream* out) {
  *out << "{" << candidate.proxy << " | " << candidate.noProxy << "}";
}

namespace {

using List = std::vector<ProxyCandidate>;

TEST(AddManualProxyCandidates, FollowsTheConfiguredForm) {
  struct Case {
    std::string url, proxy, bypass;
    List expected;
  };
  const Case cases[] = {
      // A plain host and port, used as it stands, with the bypass list.
      {"https://cdn/x", "10.0.0.1:3128", "localhost;*.corp;<local>",
       {{"10.0.0.1:3128", "localhost,*.corp,<local>"}}},
      // Per protocol: the entry for the URL's scheme, spoken to as an HTTP proxy.
      {"https://cdn/x", "http=h:80;https=s:443", "", {{"http://s:443", ""}}},
      {"http://cdn/x", "http=h:80;https=s:443", "", {{"http://h:80", ""}}},
      // The scheme test is exact and case-sensitive.
      {"HTTPS://cdn/x", "http=h:80;https=s:443", "", {{"http://h:80", ""}}},
      // No entry for the scheme and no SOCKS entry: the whole text.
      {"https://cdn/x", "ftp=f:21", "", {{"ftp=f:21", ""}}},
      // SOCKS only: four forms of the same host and port.
      {"https://cdn/x", "socks=k:1080", "a;b",
       {{"socks5://k:1080", "a,b"}, {"socks5h://k:1080", "a,b"}, {"socks4://k:1080", "a,b"},
        {"socks4a://k:1080", "a,b"}}},
      // An entry with an empty value is found, empty.
      {"https://cdn/x", "https=;socks=k:1", "", {{"http://", ""}}},
      {"https://cdn/x", "", "a;b", {}},
  };
  for (const Case& c : cases) {
    List list;
    AddManualProxyCandidates(c.url, c.proxy, c.bypass, list);
    EXPECT_EQ(list, c.expected) << c.url << " with " << c.proxy;
  }
}

TEST(AddManualProxyCandidates, GoesInFrontOfWhatIsThere) {
  List list = {{"later:1", ""}};
  AddManualProxyCandidates("https://cdn/x", "m:3", "", list);
  EXPECT_EQ(list, (List{{"m:3", ""}, {"later:1", ""}}));
}

TEST(AddAutomaticProxyCandidates, PutsTheAnswerFirstInItsOrder) {
  struct Case {
    std::string proxies, bypass;
    List expected;
  };
  const Case cases[] = {
      {"a:1;b:2;", "", {{"a:1", ""}, {"b:2", ""}, {"m:3", ""}}},
      {"a:1", "x;y", {{"a:1", "x,y"}, {"m:3", ""}}},
      {";;", "", {{"m:3", ""}}},
      {"", "", {{"m:3", ""}}},
  };
  for (const Case& c : cases) {
    List list = {{"m:3", ""}};
    AddAutomaticProxyCandidates(c.proxies, c.bypass, list);
    EXPECT_EQ(list, c.expected) << c.proxies;
  }
}

TEST(FindProxyListEntry, TakesTheValueUpToTheNextSeparator) {
  struct Case {
    std::string list, name;
    bool found;
    std::string value;
  };
  const Case cases[] = {
      {"http=h:80;https=s:443", "https", true, "s:443"},
      {"http=h:80;https=s:443", "http", true, "h:80"},
      {"https=s:443", "http", false, ""},
      {"socks=", "socks", true, ""},
      {"http=a;http=b", "http", true, "a"},
  };
  for (const Case& c : cases) {
    std::string value;
    EXPECT_EQ(FindProxyListEntry(c.list, c.name, value), c.found) << c.list;
    EXPECT_EQ(value, c.value) << c.list;
  }
}

}  // namespace
}  // namespace quarvel
