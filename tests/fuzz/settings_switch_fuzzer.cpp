// The settings switch over any argument vector (the input's lines). Beyond
// "no crash": the name comes from an argument that holds the switch, it has
// no quotes left, and exactly the copies of that argument are taken out.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "launch/settings_location.h"

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    lines.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quarvel::launcher;
  const std::vector<std::string> original = SplitLines(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> arguments = original;
  const std::string name = ResolveSettingsFileName(arguments);

  if (arguments.size() == original.size()) {
    FUZZ_CHECK(name == kDefaultSettingsFileName && arguments == original);
    return 0;
  }
  FUZZ_CHECK(name.find_first_of("\"'") == std::string::npos);
  // The accepted argument is the first one that is no longer there.
  std::size_t kept = 0;
  while (kept < arguments.size() && arguments[kept] == original[kept]) ++kept;
  const std::string& accepted = original[kept];
  FUZZ_CHECK(accepted.find(kSettingsSwitch) != std::string::npos);
  if (accepted.find_first_of("\"'") == std::string::npos) {
    const std::string written = std::string(kSettingsSwitch) + name;
    FUZZ_CHECK(accepted == written || accepted == "-" + written);
  }
  std::vector<std::string> expected;
  for (const std::string& argument : original) {
    if (argument != accepted) expected.push_back(argument);
  }
  FUZZ_CHECK(arguments == expected);
  return 0;
}
