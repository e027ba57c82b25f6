#include "analytics/analytics_body.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace quarvel::Analytics {
namespace {

const Identity kIdentity{"P", "S", "D"};
const OperatingSystem kSystem{"Windows", "V"};

// The fixed fields every event starts with, for identity P/S/D on Windows V.
std::string EventStart(const std::string& escapedName) {
  return "{\"EventName\":\"" + escapedName + "\",\"Source\":\"Bootstrapper/1.9.0\",\"BuildTime\":\"" +
         std::string(kBuildTime) +
         "\",\"ProductId\":\"P\",\"SandboxId\":\"S\",\"DeploymentId\":\"D\",\"OSName\":\"Windows\","
         "\"OSVer\":\"V\",";
}

TEST(AnalyticsBody, WritesTheLaunchResultEventByteForByte) {
  std::string body;
  ASSERT_TRUE(BuildEventsBody(kIdentity, kSystem,
                              {{"AntiCheat.Info.BootstrapperResult", {{"LaunchResult", "0", 1}}}}, body));
  EXPECT_EQ(body, "{\"Events\":[{\"EventName\":\"AntiCheat.Info.BootstrapperResult\",\"Source\":\"Bootstrapper/"
                  "1.9.0\",\"BuildTime\":\"" + std::string(kBuildTime) +
                      "\",\"ProductId\":\"P\",\"SandboxId\":\"S\",\"DeploymentId\":\"D\",\"OSName\":\"Windows\","
                      "\"OSVer\":\"V\",\"LaunchResult\":0}]}");
}

TEST(AnalyticsBody, WritesEventsAndAttributesInOrder) {
  struct Case {
    const char* what;
    std::vector<EventDescriptor> events;
    std::string expected;
  };
  const Case cases[] = {
      {"raw number", {{"E", {{"Count", "15", 1}}}}, "{\"Events\":[" + EventStart("E") + "\"Count\":15}]}"},
      {"quoted number", {{"E", {{"Count", "15", 0}}}}, "{\"Events\":[" + EventStart("E") + "\"Count\":\"15\"}]}"},
      {"any non-zero raw", {{"E", {{"Count", "15", -3}}}}, "{\"Events\":[" + EventStart("E") + "\"Count\":15}]}"},
      {"attributes in order",
       {{"E", {{"B", "2", 1}, {"A", "x", 0}, {"C", "3", 1}}}},
       "{\"Events\":[" + EventStart("E") + "\"B\":2,\"A\":\"x\",\"C\":3}]}"},
      {"two events",
       {{"First", {{"A", "1", 1}}}, {"Second", {{"B", "b", 0}, {"C", "2", 1}}}},
       "{\"Events\":[" + EventStart("First") + "\"A\":1}," + EventStart("Second") + "\"B\":\"b\",\"C\":2}]}"},
      {"quote and newline in a value",
       {{"E", {{"Text", "say \"hi\"\nbye", 0}}}},
       "{\"Events\":[" + EventStart("E") + "\"Text\":\"say \\\"hi\\\"\\nbye\"}]}"},
      {"escaped key, backslash and control byte",
       {{"E", {{"a\"b", "c:\\d\x01", 0}}}},
       "{\"Events\":[" + EventStart("E") + "\"a\\\"b\":\"c:\\\\d\\u0001\"}]}"},
      {"UTF-8 unchanged", {{"E", {{"Name", "J\xC3\xBCrgen", 0}}}},
       "{\"Events\":[" + EventStart("E") + "\"Name\":\"J\xC3\xBCrgen\"}]}"},
      // A quote in a name would otherwise end the string early and leave a
      // document the service cannot read.
      {"quote in an event name", {{"Odd\"Name", {{"A", "1", 1}}}},
       "{\"Events\":[" + EventStart("Odd\\\"Name") + "\"A\":1}]}"},
      // Placeholder-like text in a name is the name's own text.
      {"braces in an event name", {{"{{source}}", {{"A", "1", 1}}}},
       "{\"Events\":[" + EventStart("{{source}}") + "\"A\":1}]}"},
  };
  for (const Case& c : cases) {
    std::string body;
    EXPECT_TRUE(BuildEventsBody(kIdentity, kSystem, c.events, body)) << c.what;
    EXPECT_EQ(body, c.expected) << c.what;
  }
}

TEST(AnalyticsBody, WritesTheIdentityAndSystemGiven) {
  std::string body;
  ASSERT_TRUE(BuildEventsBody({"prod-1", "sand-2", "dep-3"}, {"Wine", "8.0"}, {{"E", {{"A", "1", 1}}}}, body));
  EXPECT_NE(body.find("\"ProductId\":\"prod-1\",\"SandboxId\":\"sand-2\",\"DeploymentId\":\"dep-3\","
                      "\"OSName\":\"Wine\",\"OSVer\":\"8.0\",\"A\":1}"),
            std::string::npos)
      << body;
}

TEST(AnalyticsBody, RefusesTheWholeBatchForAnyBadEvent) {
  const EventDescriptor good{"Good", {{"A", "1", 1}}};
  struct Case {
    const char* what;
    Identity identity;
    std::vector<EventDescriptor> events;
  };
  const Case cases[] = {
      {"identity not set", Identity{}, {good}},
      {"no events", kIdentity, {}},
      {"event without attributes last", kIdentity, {good, {"Bare", {}}}},
      {"event without attributes first", kIdentity, {{"Bare", {}}, good}},
      {"event without a name", kIdentity, {good, {"", {{"A", "1", 1}}}}},
  };
  for (const Case& c : cases) {
    std::string body = "left over";
    EXPECT_FALSE(BuildEventsBody(c.identity, kSystem, c.events, body)) << c.what;
    EXPECT_EQ(body, "") << c.what;
  }
}

TEST(AnalyticsBody, BuildTimeHasTheCompilersDateLayout) {
  // Month abbreviation, day padded with a space, year, time.
  EXPECT_TRUE(std::regex_match(kBuildTime, std::regex("[A-Z][a-z]{2} [ 123][0-9] [0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}")))
      << kBuildTime;
}

}  // namespace
}  // namespace quarvel::Analytics
