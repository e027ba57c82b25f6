#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "net/http_transfer.h"
#include "net/proxy_discovery.h"
#include "net/test_services.h"

// Proxy discovery against the real WinHTTP of the Wine prefix the tests run
// in, with the user's proxy settings written into that prefix's registry the
// way the Internet Settings dialog stores them.
namespace quarvel {

void PrintTo(const ProxyCandidate& candidate, std::ostream* out) {
  *out << "{" << candidate.proxy << " | " << candidate.noProxy << "}";
}

namespace {

using namespace test_support;
using List = std::vector<ProxyCandidate>;

constexpr const wchar_t* kConnectionsKey =
    L"\"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections\"";

enum SettingsFlags : std::uint32_t {
  kDirect = 1,
  kManualProxy = 2,
  kProxyScript = 4,
  kAutoDetect = 8,
};

bool RunReg(const std::wstring& arguments) {
  std::wstring commandLine = L"reg.exe " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  WaitForSingleObject(process.hProcess, 30000);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return exitCode == 0;
}

void AppendDword(std::wstring& hex, std::uint32_t value) {
  wchar_t digits[9];
  for (int i = 0; i < 4; ++i) {
    std::swprintf(digits, 9, L"%02x", (value >> (8 * i)) & 0xff);
    hex += digits;
  }
}

void AppendText(std::wstring& hex, const std::string& text) {
  AppendDword(hex, static_cast<std::uint32_t>(text.size()));
  wchar_t digits[3];
  for (unsigned char c : text) {
    std::swprintf(digits, 3, L"%02x", c);
    hex += digits;
  }
}

// The current user's proxy settings for this test, removed again at its end.
class ScopedUserProxySettings {
 public:
  ScopedUserProxySettings(std::uint32_t flags, const std::string& proxy, const std::string& bypass,
                          const std::string& scriptUrl) {
    std::wstring hex;
    AppendDword(hex, 0x46);  // format version
    AppendDword(hex, 1);     // change counter
    AppendDword(hex, flags);
    AppendText(hex, proxy);
    AppendText(hex, bypass);
    AppendText(hex, scriptUrl);
    hex += std::wstring(64, L'0');
    written_ = RunReg(std::wstring(L"add ") + kConnectionsKey + L" /v DefaultConnectionSettings /t REG_BINARY /d " +
                      hex + L" /f");
  }
  ~ScopedUserProxySettings() {
    RunReg(std::wstring(L"delete ") + kConnectionsKey + L" /v DefaultConnectionSettings /f");
  }
  bool Written() const { return written_; }

 private:
  bool written_ = false;
};

// A proxy auto-configuration script on the plain HTTP port of the test CDN.
std::string PublishProxyScript(const std::string& answer) {
  const std::string name = "net-tests/" + UniqueName("proxy") + ".pac";
  const std::string script = "function FindProxyForURL(url, host) { return \"" + answer + "\"; }\n";
  if (!PublishOnCdn(name, std::vector<std::uint8_t>(script.begin(), script.end()))) return {};
  return "http://127.0.0.1:" + std::to_string(Port(kPlainHttpPort)) + "/" + name;
}

TEST(ProxyDiscoveryUnderWine, ReadsTheUsersSettingsThroughWinHttp) {
  // Wine's WinHTTP answers with the first proxy a script names only; the
  // splitting of longer answers is covered by AddAutomaticProxyCandidates.
  const std::string script = PublishProxyScript("PROXY a.quarvel.invalid:1");
  ASSERT_FALSE(script.empty());
  struct Case {
    const char* what;
    std::uint32_t flags;
    std::string proxy, bypass, scriptUrl;
    List expected;
  };
  const Case cases[] = {
      {"host and port", kManualProxy, "proxy.quarvel.invalid:3128", "localhost;*.corp", "",
       {{"proxy.quarvel.invalid:3128", "localhost,*.corp"}}},
      {"per protocol", kManualProxy, "http=h.quarvel.invalid:80;https=s.quarvel.invalid:443", "", "",
       {{"http://s.quarvel.invalid:443", ""}}},
      {"ftp only", kManualProxy, "ftp=f.quarvel.invalid:21", "", "", {{"ftp=f.quarvel.invalid:21", ""}}},
      {"socks only", kManualProxy, "socks=k.quarvel.invalid:1080", "", "",
       {{"socks5://k.quarvel.invalid:1080", ""},
        {"socks5h://k.quarvel.invalid:1080", ""},
        {"socks4://k.quarvel.invalid:1080", ""},
        {"socks4a://k.quarvel.invalid:1080", ""}}},
      {"script before manual", kManualProxy | kProxyScript, "m.quarvel.invalid:3", "", script,
       {{"a.quarvel.invalid:1", ""}, {"m.quarvel.invalid:3", ""}}},
      {"script, detection off", kProxyScript, "", "", script, {{"a.quarvel.invalid:1", ""}}},
      {"direct, no detection", kDirect, "", "", "", {}},
  };
  for (const Case& c : cases) {
    ScopedUserProxySettings settings(c.flags, c.proxy, c.bypass, c.scriptUrl);
    ASSERT_TRUE(settings.Written()) << c.what;
    cProxyDiscovery discovery;
    List found = {{"stale", ""}};
    EXPECT_EQ(discovery.Discover("https://cdn.quarvel.invalid/modules/p/d/win64", found), !c.expected.empty())
        << c.what;
    EXPECT_EQ(found, c.expected) << c.what;
  }
}

TEST(ProxyDiscoveryUnderWine, ReachesTheCdnThroughTheUsersProxyWhenDirectFails) {
  const std::string name = "net-tests/" + UniqueName("via-proxy") + ".bin";
  const std::vector<std::uint8_t> bytes = PatternBytes(200000, 6);
  ASSERT_TRUE(PublishOnCdn(name, bytes));
  const std::string url = HttpsUrl(kProxiedOnlyHost, kCdnPort, "/" + name);
  const std::string proxy = "127.0.0.1:" + std::to_string(Port(kForwardProxyPort));
  const std::string closed = "127.0.0.1:" + std::to_string(Port(kClosedPort));
  const std::string script = PublishProxyScript("PROXY " + closed);
  ASSERT_FALSE(script.empty());
  struct Case {
    const char* what;
    std::uint32_t flags;
    std::string proxy, scriptUrl;
  };
  const Case cases[] = {
      {"manual host and port", kManualProxy, proxy, ""},
      {"manual per protocol", kManualProxy, "http=" + closed + ";https=" + proxy, ""},
      // The script's proxy comes first and is dead; the manual one works.
      {"script, then manual", kProxyScript | kManualProxy, proxy, script},
  };
  for (const Case& c : cases) {
    ScopedUserProxySettings settings(c.flags, c.proxy, "", c.scriptUrl);
    ASSERT_TRUE(settings.Written()) << c.what;
    cHttpTransfer transfer;
    ASSERT_TRUE(transfer.Initialize()) << c.what;
    ASSERT_TRUE(transfer.SetConnectTimeout(30000));
    CURLcode code = CURLE_FAILED_INIT;
    EXPECT_TRUE(transfer.Perform(url, code, 0)) << c.what << ": " << curl_easy_strerror(code);
    EXPECT_TRUE(transfer.UsedProxy()) << c.what;
    EXPECT_TRUE(transfer.IsProxyDiscoveryLoaded()) << c.what;
    EXPECT_TRUE(transfer.GetResponseBody() == bytes) << c.what;
    EXPECT_EQ(transfer.GetConnectTimeout(), 30000) << c.what;
  }
}

}  // namespace
}  // namespace quarvel
