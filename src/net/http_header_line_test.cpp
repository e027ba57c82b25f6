#include "net/http_header_line.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quarvel
