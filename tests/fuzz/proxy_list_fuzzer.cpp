// Proxy list parsing over any settings. The input's first four lines are the
// URL, the manual proxy setting, the bypass list and the answer of automatic
// discovery. Beyond "no crash": the candidates are exactly the non-empty
// items of the automatic answer, then the manual choice, then the further
// SOCKS forms, each with the bypass list in the form libcurl takes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "net/proxy_candidates.h"

namespace {

using quarvel::ProxyCandidate;

std::string NextLine(std::string_view& text) {
  const std::size_t feed = text.find('\n');
  const std::string line(text.substr(0, feed));
  text = feed == std::string_view::npos ? std::string_view() : text.substr(feed + 1);
  return line;
}

std::vector<std::string> NonEmptyItems(const std::string& list) {
  std::vector<std::string> items;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = list.find(';', start);
    std::string item = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!item.empty()) items.push_back(std::move(item));
    if (end == std::string::npos) return items;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string url = NextLine(text);
  const std::string manual = NextLine(text);
  const std::string bypass = NextLine(text);
  const std::string automatic = NextLine(text);

  const std::string noProxy = quarvel::BypassListToNoProxy(bypass);
  FUZZ_CHECK(noProxy.size() == bypass.size() && noProxy.find(';') == std::string::npos);

  std::string value;
  if (quarvel::FindProxyListEntry(manual, "https", value)) FUZZ_CHECK(value.find(';') == std::string::npos);

  std::vector<ProxyCandidate> list;
  quarvel::AddManualProxyCandidates(url, manual, bypass, list);
  const std::size_t manualCount = list.size();
  FUZZ_CHECK(manual.empty() ? manualCount == 0 : manualCount == 1 || manualCount == 4);
  if (manual.find('=') == std::string::npos && !manual.empty()) FUZZ_CHECK(list.front().proxy == manual);

  quarvel::AddAutomaticProxyCandidates(automatic, bypass, list);
  const std::vector<std::string> items = NonEmptyItems(automatic);
  FUZZ_CHECK(list.size() == items.size() + manualCount);
  for (std::size_t i = 0; i < items.size(); ++i) FUZZ_CHECK(list[i].proxy == items[i]);
  FUZZ_CHECK(std::all_of(list.begin(), list.end(), [&](const ProxyCandidate& c) { return c.noProxy == noProxy; }));
  return 0;
}
