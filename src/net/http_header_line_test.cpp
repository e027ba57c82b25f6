#include "net/http_header_line.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace quarvel {
namespace {

TEST(ParseHeaderLine, SplitsNameAndValueAsReceived) {
  struct Case {
    std::string line, name, value;
  };
  const Case cases[] = {
      {"ETag: \"6b19f140-6\"\r\n", "etag", "\"6b19f140-6\""},
      {"Content-Length: 4097\r\n", "content-length", "4097"},
      // Spaces after the colon go, spaces before the terminator stay.
      {"X-Padded:    value  \r\n", "x-padded", "value  "},
      {"X-Empty: \r\n", "x-empty", ""},
      {"X-Empty:\r\n", "x-empty", ""},
      {"Location: https://h/a:b\r\n", "location", "https://h/a:b"},
      // Only 'A'..'Z' are folded.
      {"X-\xc3\x84Name: v\r\n", "x-\xc3\x84name", "v"},
      // A bare LF or no terminator at all costs the value nothing.
      {"ETag: \"abc\"\n", "etag", "\"abc\""},
      {"ETag: \"abc\"", "etag", "\"abc\""},
  };
  for (const Case& c : cases) {
    std::string name = "unset", value = "unset";
    ASSERT_TRUE(ParseHeaderLine(c.line.data(), c.line.size(), name, value)) << c.line;
    EXPECT_EQ(name, c.name) << c.line;
    EXPECT_EQ(value, c.value) << c.line;
  }
}

TEST(ParseHeaderLine, IgnoresLinesWithoutAName) {
  for (const std::string line : {"HTTP/1.1 200 OK\r\n", "\r\n", ": value\r\n", ""}) {
    std::string name = "unset", value = "unset";
    EXPECT_FALSE(ParseHeaderLine(line.data(), line.size(), name, value)) << line;
    EXPECT_EQ(name, "unset");
    EXPECT_EQ(value, "unset");
  }
  std::string name, value;
  EXPECT_FALSE(ParseHeaderLine(nullptr, 4, name, value));
}

TEST(ParseContentLength, TakesOnlyAPlainDecimalNumber) {
  struct Case {
    std::string value;
    bool read;
    std::uint64_t length;
  };
  const Case cases[] = {
      {"4097", true, 4097},
      {"0", true, 0},
      {"007", true, 7},
      {"18446744073709551615", true, 18446744073709551615ull},
      {"18446744073709551616", false, 0},  // does not fit
      {"", false, 0},
      {"-1", false, 0},
      {"+5", false, 0},
      {" 5", false, 0},
      {"5 ", false, 0},
      {"0x10", false, 0},
      {"12abc", false, 0},
  };
  for (const Case& c : cases) {
    std::uint64_t length = 123;
    EXPECT_EQ(ParseContentLength(c.value, length), c.read) << c.value;
    EXPECT_EQ(length, c.read ? c.length : 123u) << c.value;
  }
}

}  // namespace
}  // namespace quarvel
