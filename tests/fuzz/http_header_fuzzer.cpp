// The response-header callback's parsing over any stream of header lines, as
// libcurl hands them over one line at a time. Beyond "no crash": names are
// non-empty, lower case and free of ':', values are unchanged pieces of their
// line without leading spaces or terminator, and a Content-Length is read
// only when it is a plain decimal number.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "net/http_header_line.h"

namespace {

void CheckLine(std::string_view line) {
  std::string name = "unset", value = "unset";
  if (!quarvel::ParseHeaderLine(line.data(), line.size(), name, value)) {
    FUZZ_CHECK(name == "unset" && value == "unset");
    return;
  }
  FUZZ_CHECK(!name.empty() && name.size() < line.size() && name.find(':') == std::string::npos);
  FUZZ_CHECK(name.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos);
  FUZZ_CHECK(name.size() + value.size() < line.size());
  FUZZ_CHECK(line.find(value, name.size() + 1) != std::string_view::npos);
  FUZZ_CHECK(value.empty() || (value.front() != ' ' && value.back() != '\n' && value.back() != '\r'));

  std::uint64_t length = 0;
  if (quarvel::ParseContentLength(value, length)) {
    FUZZ_CHECK(!value.empty() && value.find_first_not_of("0123456789") == std::string::npos);
    FUZZ_CHECK(std::to_string(length) == value.substr(value.find_first_not_of('0') == std::string::npos
                                                          ? value.size() - 1
                                                          : value.find_first_not_of('0')));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Each line with its line feed, as the callback receives it.
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t feed = text.find('\n', start);
    const std::size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
    CheckLine(text.substr(start, end - start));
    start = end;
  }
  return 0;
}
