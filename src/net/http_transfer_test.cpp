#include "net/http_transfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/platform.h"
#include "net/deployment.h"
#include "net/libcurl_start.h"
#include "net/system_trust_store.h"
#include "net/test_services.h"

// Real transfers against the build's test services (tests/services).
namespace quarvel {
namespace {

using namespace test_support;

std::vector<std::string> gLogLines;
void CollectLog(const char* line) { gLogLines.push_back(line); }

long ResponseCode(const cHttpTransfer& transfer) {
  long status = 0;
  curl_easy_getinfo(transfer.GetHandle(), CURLINFO_RESPONSE_CODE, &status);
  return status;
}

// A transfer whose proxies are given, instead of read from the user's settings.
class cGivenProxiesTransfer : public cHttpTransfer {
 public:
  explicit cGivenProxiesTransfer(std::vector<ProxyCandidate> proxies, HttpLogCallback log = nullptr)
      : cHttpTransfer(log), proxies_(std::move(proxies)) {}

 protected:
  bool DiscoverProxies(const std::string&, std::vector<ProxyCandidate>& candidates) override {
    candidates = proxies_;
    return !candidates.empty();
  }

 private:
  std::vector<ProxyCandidate> proxies_;
};

// Sets a variable for one scope (empty afterwards).
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    SetEnvironmentVariableUtf8(name_, value);
  }
  ~ScopedEnvironment() { SetEnvironmentVariableUtf8(name_, ""); }

 private:
  std::string name_;
};

std::string LocalProxy(ServicePort service) { return "127.0.0.1:" + std::to_string(Port(service)); }

// First in this file, so that in a run of it alone libcurl is not yet
// started: transfers on two threads race the warm-up's start of it.
TEST(HttpTransfer, TransfersThatRaceTheWarmUpWaitForItsStartOfLibcurl) {
  const std::string name = "net-tests/" + UniqueName("warm") + ".bin";
  const std::vector<std::uint8_t> bytes = PatternBytes(4096, 3);
  ASSERT_TRUE(PublishOnCdn(name, bytes));
  const std::string url = "https://" + std::string(deployment::ModuleCdnHost()) + "/" + name;

  bool fetched[2] = {false, false};
  auto fetch = [&](bool& out) {
    cHttpTransfer transfer;
    CURLcode code = CURLE_FAILED_INIT;
    out = transfer.Initialize() && transfer.Perform(url, code, 0) && transfer.GetResponseBody() == bytes;
  };
  {
    const cLibcurlWarmUp warmUp;
    std::thread other(fetch, std::ref(fetched[0]));
    fetch(fetched[1]);
    other.join();
  }
  EXPECT_TRUE(fetched[0]);
  EXPECT_TRUE(fetched[1]);
  EXPECT_TRUE(PrepareLibcurl());
}

TEST(HttpTransfer, DownloadsABodyDirectlyWithItsETag) {
  const std::string name = "net-tests/" + UniqueName("body") + ".bin";
  const std::vector<std::uint8_t> bytes = PatternBytes(3 * 1024 * 1024 + 17, 1);
  ASSERT_TRUE(PublishOnCdn(name, bytes));

  cHttpTransfer transfer;
  ASSERT_TRUE(transfer.Initialize());
  CURLcode code = CURLE_OK;
  ASSERT_TRUE(transfer.Perform("https://" + std::string(deployment::ModuleCdnHost()) + "/" + name, code, 0));
  EXPECT_EQ(code, CURLE_OK);
  EXPECT_EQ(ResponseCode(transfer), 200);
  EXPECT_TRUE(transfer.GetResponseBody() == bytes);
  std::string etag;
  ASSERT_TRUE(transfer.GetResponseHeader("ETag", etag));
  EXPECT_EQ(etag.front(), '"');
  EXPECT_EQ(etag.back(), '"');
  EXPECT_FALSE(transfer.UsedProxy());
  // The common path costs no proxy discovery at all.
  EXPECT_FALSE(transfer.IsProxyDiscoveryLoaded());

  const std::vector<std::uint8_t> taken = transfer.TakeResponseBody();
  EXPECT_TRUE(taken == bytes);
  EXPECT_TRUE(transfer.GetResponseBody().empty());
}

TEST(HttpTransfer, RevalidatesWithIfNoneMatchAndResetForgetsTheHeader) {
  const std::string name = "net-tests/" + UniqueName("etag") + ".bin";
  ASSERT_TRUE(PublishOnCdn(name, PatternBytes(5000, 2)));
  const std::string url = "https://" + std::string(deployment::ModuleCdnHost()) + "/" + name;

  cHttpTransfer transfer;
  ASSERT_TRUE(transfer.Initialize());
  CURLcode code = CURLE_OK;
  ASSERT_TRUE(transfer.Perform(url, code, 0));
  std::string etag;
  ASSERT_TRUE(transfer.GetResponseHeader("etag", etag));

  ASSERT_TRUE(transfer.Reset());
  ASSERT_TRUE(transfer.AddHeader(("If-None-Match: " + etag).c_str()));
  ASSERT_TRUE(transfer.Perform(url, code, 0));
  EXPECT_EQ(ResponseCode(transfer), 304);
  EXPECT_TRUE(transfer.GetResponseBody().empty());

  ASSERT_TRUE(transfer.AddHeader("If-None-Match: \"another\""));
  ASSERT_TRUE(transfer.Reset());
  ASSERT_TRUE(transfer.Perform(url, code, 0));
  EXPECT_EQ(ResponseCode(transfer), 200);
  EXPECT_EQ(transfer.GetResponseBody().size(), 5000u);
}

TEST(HttpTransfer, RefusesWhatItCannotReachOrCannotTrust) {
  struct Case {
    const char* what;
    std::string url;
    CURLcode expected;
  };
  const Case cases[] = {
      {"closed port", HttpsUrl("127.0.0.1", kClosedPort, "/"), CURLE_COULDNT_CONNECT},
      {"unknown host", "https://missing.quarvel.invalid/modules/x", CURLE_COULDNT_RESOLVE_HOST},
      {"certificate for another host", HttpsUrl("localhost", kWrongHostPort, "/"),
       CURLE_PEER_FAILED_VERIFICATION},
      {"certificate of an untrusted root", HttpsUrl("localhost", kUntrustedRootPort, "/"),
       CURLE_PEER_FAILED_VERIFICATION},
  };
  for (const Case& c : cases) {
    cHttpTransfer transfer;
    ASSERT_TRUE(transfer.Initialize());
    ASSERT_TRUE(transfer.SetConnectTimeout(30000));
    CURLcode code = CURLE_OK;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_FALSE(transfer.Perform(c.url, code, 0)) << c.what;
    EXPECT_EQ(code, c.expected) << c.what;
    EXPECT_EQ(ResponseCode(transfer), 0) << c.what;
    EXPECT_TRUE(transfer.GetResponseBody().empty()) << c.what;
    EXPECT_EQ(transfer.GetConnectTimeout(), 30000) << c.what;
    // Refused at once, not after the 30 s connect timeout.
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10)) << c.what;
  }
}

// What each trust policy accepts, against the test services' certificates:
// the build's test CA (the embedded bundle), a host name it was not made for,
// a self-signed one, and one of a CA the bundle lacks. Natively the system
// store is OpenSSL's default locations, which SSL_CERT_FILE can point at that
// other CA; under Wine the system policy falls back to the bundle.
TEST(HttpTransfer, TrustsWhatItsPolicySaysAndVerifiesEveryPeer) {
  struct Case {
    const char* what;
    TrustPolicy policy;
    ServicePort server;
    const char* certFile;  // SSL_CERT_FILE, natively; null: unset
    CURLcode expected;
  };
#ifdef _WIN32
  const char* const otherCa = nullptr;
#else
  const std::string otherCaFile = QVL_TEST_PKI_DIR "/untrusted-ca.pem";
  const char* const otherCa = otherCaFile.c_str();
#endif
  const std::vector<Case> cases = {
      {"bundle: the test CA", TrustPolicy::Bundle, kCdnPort, nullptr, CURLE_OK},
      {"bundle: another host's certificate", TrustPolicy::Bundle, kWrongHostPort, nullptr,
       CURLE_PEER_FAILED_VERIFICATION},
      {"bundle: self-signed", TrustPolicy::Bundle, kSelfSignedPort, nullptr, CURLE_PEER_FAILED_VERIFICATION},
      {"bundle: a CA only the system store names", TrustPolicy::Bundle, kUntrustedRootPort, otherCa,
       CURLE_PEER_FAILED_VERIFICATION},
      {"system: another host's certificate", TrustPolicy::System, kWrongHostPort, otherCa,
       CURLE_PEER_FAILED_VERIFICATION},
      {"system: self-signed", TrustPolicy::System, kSelfSignedPort, otherCa, CURLE_PEER_FAILED_VERIFICATION},
#ifdef _WIN32
      // Wine's Schannel would take all three: the bundle still decides.
      {"system under Wine: the test CA", TrustPolicy::System, kCdnPort, nullptr, CURLE_OK},
      {"system under Wine: a CA the bundle lacks", TrustPolicy::System, kUntrustedRootPort, nullptr,
       CURLE_PEER_FAILED_VERIFICATION},
#else
      {"system: a CA SSL_CERT_FILE names", TrustPolicy::System, kUntrustedRootPort, otherCa, CURLE_OK},
      {"system: the same CA, not named", TrustPolicy::System, kUntrustedRootPort, nullptr,
       CURLE_PEER_FAILED_VERIFICATION},
      {"system: the bundle's test CA is no system root", TrustPolicy::System, kCdnPort, nullptr,
       CURLE_PEER_FAILED_VERIFICATION},
#endif
  };
#ifdef _WIN32
  ASSERT_EQ(CurrentTrustPlatform(), TrustPlatform::Wine) << "these cases expect Wine, not Windows";
#endif
  const std::string name = "net-tests/" + UniqueName("trust") + ".bin";
  ASSERT_TRUE(PublishOnCdn(name, PatternBytes(2000, 5)));
  for (const Case& c : cases) {
    std::unique_ptr<ScopedEnvironment> certFile;
    if (c.certFile != nullptr) certFile = std::make_unique<ScopedEnvironment>("SSL_CERT_FILE", c.certFile);
    cHttpTransfer transfer(nullptr, c.policy);
    ASSERT_TRUE(transfer.Initialize()) << c.what;
    CURLcode code = CURLE_OK;
    EXPECT_EQ(transfer.Perform(HttpsUrl("localhost", c.server, "/" + name), code, 0), c.expected == CURLE_OK)
        << c.what;
    EXPECT_EQ(code, c.expected) << c.what;
    if (c.expected == CURLE_OK) {
      EXPECT_EQ(transfer.GetResponseBody().size(), 2000u) << c.what;
    }
  }
}

TEST(HttpTransfer, DevelopmentBuildsTrustOnlyTheirBundle) {
  EXPECT_EQ(deployment::DefaultTrustPolicy(), TrustPolicy::Bundle);
}

// The connect timeout in force whenever a connection is opened.
struct TimeoutProbe {
  const cHttpTransfer* transfer;
  std::vector<std::int32_t> seen;
};

int RecordConnectTimeout(void* context, curl_socket_t, curlsocktype) {
  auto* probe = static_cast<TimeoutProbe*>(context);
  probe->seen.push_back(probe->transfer->GetConnectTimeout());
  return CURL_SOCKOPT_OK;
}

TEST(HttpTransfer, GivesProxiesTheirShareOfTheConnectTimeout) {
  struct Case {
    std::int32_t connectTimeout;
    std::vector<std::int32_t> expected;  // direct, then each proxy
  };
  const Case cases[] = {
      {30000, {30000, 6000, 3000, 3000}},
      {2500, {2500, 5000, 2500, 2500}},
      {25004, {25004, 5000, 2500, 2500}},
      {25005, {25005, 5001, 2500, 2500}},
  };
  const std::string closed = LocalProxy(kClosedPort);
  for (const Case& c : cases) {
    cGivenProxiesTransfer transfer({{closed, ""}, {closed, ""}, {closed, ""}});
    ASSERT_TRUE(transfer.Initialize());
    TimeoutProbe probe{&transfer, {}};
    ASSERT_TRUE(transfer.SetOption(CURLOPT_SOCKOPTFUNCTION, &RecordConnectTimeout));
    ASSERT_TRUE(transfer.SetOption(CURLOPT_SOCKOPTDATA, &probe));
    ASSERT_TRUE(transfer.SetConnectTimeout(c.connectTimeout));

    CURLcode code = CURLE_OK;
    EXPECT_FALSE(transfer.Perform(HttpsUrl("127.0.0.1", kClosedPort, "/"), code, 0));
    EXPECT_EQ(code, CURLE_COULDNT_CONNECT);
    EXPECT_TRUE(transfer.UsedProxy());
    EXPECT_EQ(probe.seen, c.expected) << c.connectTimeout;
    EXPECT_EQ(transfer.GetConnectTimeout(), c.connectTimeout);
  }
}

TEST(HttpTransfer, AProxyThatFailsHalfwayLeavesNothingInTheNextAttemptsBody) {
  const std::string name = "net-tests/" + UniqueName("proxied") + ".bin";
  const std::vector<std::uint8_t> bytes = PatternBytes(1024 * 1024, 3);
  ASSERT_TRUE(PublishOnCdn(name, bytes));
  const std::string url = HttpsUrl(kProxiedOnlyHost, kCdnPort, "/" + name);

  gLogLines.clear();
  cGivenProxiesTransfer transfer(
      {{LocalProxy(kCuttingProxyPort), ""}, {LocalProxy(kForwardProxyPort), "nothing.quarvel.invalid"}},
      &CollectLog);
  ASSERT_TRUE(transfer.Initialize());
  CURLcode code = CURLE_OK;
  ASSERT_TRUE(transfer.Perform(url, code, 0));
  EXPECT_TRUE(transfer.UsedProxy());
  EXPECT_EQ(ResponseCode(transfer), 200);
  EXPECT_TRUE(transfer.GetResponseBody() == bytes) << "received " << transfer.GetResponseBody().size();

  ASSERT_EQ(gLogLines.size(), 7u);
  EXPECT_EQ(gLogLines[0], "Connecting to URL: " + url);
  EXPECT_EQ(gLogLines[1].rfind("Connect result: Couldn't resolve host name (6) Response Code: 0", 0), 0u)
      << gLogLines[1];
  EXPECT_EQ(gLogLines[2], "Trying proxy: " + LocalProxy(kCuttingProxyPort));
  EXPECT_EQ(gLogLines[3].rfind("Connect result: ", 0), 0u);
  EXPECT_EQ(gLogLines[3].find("(0)"), std::string::npos) << gLogLines[3];
  EXPECT_EQ(gLogLines[4], "Setting NOPROXY URLs: nothing.quarvel.invalid");
  EXPECT_EQ(gLogLines[5], "Trying proxy: " + LocalProxy(kForwardProxyPort));
  EXPECT_EQ(gLogLines[6], "Connect result: No error (0) Response Code: 200 Destination IP: 127.0.0.1");
}

// libcurl's own proxy variables apply to the direct attempt.
TEST(HttpTransfer, DirectAttemptFollowsTheProxyEnvironment) {
  const std::string name = "net-tests/" + UniqueName("env") + ".bin";
  ASSERT_TRUE(PublishOnCdn(name, PatternBytes(6000, 4)));
  const std::string url = HttpsUrl(kProxiedOnlyHost, kCdnPort, "/" + name);
  const std::string proxy = "http://" + LocalProxy(kForwardProxyPort);
  ScopedEnvironment httpsProxy("https_proxy", proxy.c_str());
  {
    cGivenProxiesTransfer transfer({});
    ASSERT_TRUE(transfer.Initialize());
    CURLcode code = CURLE_OK;
    EXPECT_TRUE(transfer.Perform(url, code, 0));
    EXPECT_FALSE(transfer.UsedProxy());
    EXPECT_EQ(transfer.GetResponseBody().size(), 6000u);
  }
  ScopedEnvironment noProxy("no_proxy", kProxiedOnlyHost);
  {
    cGivenProxiesTransfer transfer({});
    ASSERT_TRUE(transfer.Initialize());
    CURLcode code = CURLE_OK;
    EXPECT_FALSE(transfer.Perform(url, code, 0));
    EXPECT_EQ(code, CURLE_COULDNT_RESOLVE_HOST);
  }
}

}  // namespace
}  // namespace quarvel
