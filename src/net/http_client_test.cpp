#include "net/http_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "net/deployment.h"
#include "net/test_services.h"

// Requests against the build's test services (tests/services).
namespace quarvel {
namespace {

using namespace test_support;

// The collector's record of the request whose path holds `token`.
std::string FindRecord(const std::string& token) {
  for (const std::string& record : ReadCollectorRecords()) {
    if (record.find(token) != std::string::npos) return record;
  }
  return {};
}

TEST(HttpClient, PostsTheBodyWithHeadersInNameOrder) {
  cHttpClient client;
  ASSERT_TRUE(client.Initialize());
  ASSERT_TRUE(client.SetHeader("User-Agent", "Quarvel Test/1.0"));
  ASSERT_TRUE(client.SetHeader("Content-Type", "application/json"));
  client.SetConnectTimeout(2500);
  client.SetLowSpeedTimeout(2000);

  const std::string token = UniqueName("post");
  const std::string body = "{\"Events\":[1,2]}";
  // The port argument decides where the request goes, not the URL.
  const std::string url = "https://localhost/net-tests/post?token=" + token;
  ASSERT_TRUE(client.Post(url.c_str(), Port(kCollectorPort), body.data(), body.size(), 0));
  const std::uint8_t* received = nullptr;
  std::size_t size = 1;
  EXPECT_EQ(client.GetResponse(received, size), 200);
  EXPECT_EQ(received, nullptr);
  EXPECT_EQ(size, 0u);

  const std::string record = FindRecord(token);
  ASSERT_FALSE(record.empty());
  EXPECT_NE(record.find("\"method\": \"POST\""), std::string::npos) << record;
  EXPECT_NE(record.find("\"body\": \"{\\\"Events\\\":[1,2]}\""), std::string::npos) << record;
  const std::size_t contentType = record.find("[\"Content-Type\", \"application/json\"]");
  const std::size_t userAgent = record.find("[\"User-Agent\", \"Quarvel Test/1.0\"]");
  ASSERT_NE(contentType, std::string::npos) << record;
  ASSERT_NE(userAgent, std::string::npos) << record;
  EXPECT_LT(contentType, userAgent) << record;

  // The headers stay for the next request, until Reset.
  const std::string again = UniqueName("again");
  ASSERT_TRUE(client.Post(("https://localhost/net-tests/post?token=" + again).c_str(), Port(kCollectorPort),
                          nullptr, 0, 0));
  EXPECT_NE(FindRecord(again).find("Quarvel Test/1.0"), std::string::npos);
  ASSERT_TRUE(client.Reset());
  const std::string afterReset = UniqueName("reset");
  ASSERT_TRUE(client.Post(("https://localhost/net-tests/post?token=" + afterReset).c_str(),
                          Port(kCollectorPort), nullptr, 0, 0));
  const std::string resetRecord = FindRecord(afterReset);
  ASSERT_FALSE(resetRecord.empty());
  EXPECT_EQ(resetRecord.find("Quarvel Test/1.0"), std::string::npos) << resetRecord;
}

TEST(HttpClient, GetsAFileWithItsHeaders) {
  const std::string name = "net-tests/" + UniqueName("get") + ".bin";
  const std::vector<std::uint8_t> bytes = PatternBytes(70000, 5);
  ASSERT_TRUE(PublishOnCdn(name, bytes));
  const char* host = deployment::ModuleCdnHost();

  cHttpClient client;
  ASSERT_TRUE(client.Initialize());
  const std::string url = "https://" + std::string(host) + "/" + name;
  ASSERT_TRUE(client.Get(url.c_str(), deployment::PortOfHost(host, 443)));
  const std::uint8_t* received = nullptr;
  std::size_t size = 0;
  EXPECT_EQ(client.GetResponse(received, size), 200);
  ASSERT_EQ(size, bytes.size());
  EXPECT_EQ(std::memcmp(received, bytes.data(), size), 0);
  EXPECT_NE(client.GetResponseHeader("etag"), "");
  EXPECT_EQ(client.GetResponseHeader("x-not-sent"), "");
  EXPECT_EQ(client.GetLastCode(), CURLE_OK);

  ASSERT_TRUE(client.Get((url + ".missing").c_str(), deployment::PortOfHost(host, 443)));
  EXPECT_EQ(client.GetResponse(received, size), 404);
}

// A response body over the limit fails the request; one at it is taken.
TEST(HttpClient, RefusesAResponseOverItsLimit) {
  const std::string name = "net-tests/" + UniqueName("limit") + ".bin";
  const std::vector<std::uint8_t> bytes = PatternBytes(9000, 6);
  ASSERT_TRUE(PublishOnCdn(name, bytes));
  const char* host = deployment::ModuleCdnHost();
  const std::string url = "https://" + std::string(host) + "/" + name;

  cHttpClient client;
  ASSERT_TRUE(client.Initialize());
  client.SetMaxResponseSize(bytes.size() - 1);
  EXPECT_FALSE(client.Get(url.c_str(), deployment::PortOfHost(host, 443)));
  const std::uint8_t* received = nullptr;
  std::size_t size = 0;
  client.GetResponse(received, size);
  EXPECT_EQ(size, 0u) << "nothing of the refused body is kept";

  client.SetMaxResponseSize(bytes.size());
  ASSERT_TRUE(client.Get(url.c_str(), deployment::PortOfHost(host, 443)));
  EXPECT_EQ(client.GetResponse(received, size), 200);
  EXPECT_EQ(size, bytes.size());
}

TEST(HttpClient, DoesNothingWhileNotInitialized) {
  cHttpClient client;
  const std::string url = HttpsUrl("localhost", kCollectorPort, "/net-tests/never");
  EXPECT_FALSE(client.SetHeader("User-Agent", "x"));
  EXPECT_FALSE(client.Get(url.c_str(), Port(kCollectorPort)));
  ASSERT_TRUE(client.Initialize());
  client.Uninitialize();
  EXPECT_FALSE(client.Post(url.c_str(), Port(kCollectorPort), "x", 1, 0));
  const std::uint8_t* body = nullptr;
  std::size_t size = 0;
  EXPECT_EQ(client.GetResponse(body, size), 0);
  EXPECT_EQ(client.GetResponseHeader("etag"), "");
  EXPECT_EQ(FindRecord("/net-tests/never"), "");
}

}  // namespace
}  // namespace quarvel
