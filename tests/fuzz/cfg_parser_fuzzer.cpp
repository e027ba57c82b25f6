// The .cfg parser over any text. Beyond "no crash": failures carry the
// documented messages, every stored entry has the shape the format allows,
// and parsing the same text again into the same table changes nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "localization/cfg_parser.h"

namespace {

void CheckEntries(const quarvel::CfgSections& sections) {
  for (const auto& [section, entries] : sections) {
    FUZZ_CHECK(!section.empty());
    for (const auto& [key, value] : entries) {
      FUZZ_CHECK(!key.empty() && key.find_first_of(" ;\"") == std::string::npos);
      // Quotes and ';' only delimit; runs of spaces became single spaces.
      FUZZ_CHECK(!value.empty() && value.find_first_of(";\"") == std::string::npos);
      FUZZ_CHECK(value.front() != ' ' && value.back() != ' ' && value.find("  ") == std::string::npos);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  quarvel::cCfgParser parser;
  std::string error;
  const bool parsed = parser.Parse(text, error);
  if (text.empty()) {
    FUZZ_CHECK(!parsed && error == "Config file data empty");
  } else if (!parsed) {
    FUZZ_CHECK(error == "Config parsing error");
    FUZZ_CHECK(parser.LineError().starts_with("Expected "));
  } else {
    FUZZ_CHECK(error.empty() && parser.LineError().empty());
  }
  CheckEntries(parser.Sections());

  const quarvel::CfgSections first = parser.Sections();
  std::string again;
  FUZZ_CHECK(parser.Parse(text, again) == parsed && again == error);
  FUZZ_CHECK(parser.Sections() == first);
  return 0;
}
