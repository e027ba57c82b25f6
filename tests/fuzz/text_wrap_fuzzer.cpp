// Text splitting over any text and measured width (the input's first four
// bytes). Beyond "no crash": wrapped lines are non-empty and put back together
// give the text, cycling variants grow one code point at a time, and for
// well-formed UTF-8 no cut falls inside a sequence.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "ui/elements/text_layout.h"

namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Lead bytes announce their length and are followed by that many
// continuation bytes; overlong forms and surrogates do not matter here.
bool IsWellFormedUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3
                                                                        : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (length == 0 || text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if (!IsContinuation(text[i + k])) return false;
    }
    i += length;
  }
  return true;
}

void CheckWrap(const std::string& text, int width, bool wellFormed) {
  const std::vector<std::string> lines = quarvel::ui::WrapText(text, width);
  if (lines.empty()) return;
  std::string joined;
  for (const std::string& line : lines) {
    FUZZ_CHECK(!line.empty());
    if (wellFormed) FUZZ_CHECK(!IsContinuation(line.front()));
    joined += line;
  }
  FUZZ_CHECK(joined == text);
}

void CheckCycling(const std::string& text, bool wellFormed) {
  const std::vector<std::string> variants = quarvel::ui::CyclingVariants(text);
  FUZZ_CHECK(variants.empty() == !quarvel::ui::IsCyclingText(text));
  if (variants.empty()) return;
  FUZZ_CHECK(variants.front() == text.substr(0, text.find('[')));
  for (std::size_t i = 1; i < variants.size(); ++i) {
    FUZZ_CHECK(variants[i].size() > variants[i - 1].size() && variants[i].starts_with(variants[i - 1]));
  }
  const std::size_t open = text.find('[');
  FUZZ_CHECK(variants.back() == text.substr(0, open) + text.substr(open + 1, text.find(']') - open - 1));
  if (wellFormed) {
    for (const std::string& variant : variants) FUZZ_CHECK(IsWellFormedUtf8(variant));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::int32_t width = 0;
  if (size < sizeof(width)) return 0;
  std::memcpy(&width, data, sizeof(width));
  const std::string text(reinterpret_cast<const char*>(data) + sizeof(width), size - sizeof(width));
  const bool wellFormed = IsWellFormedUtf8(text);
  CheckWrap(text, width, wellFormed);
  CheckCycling(text, wellFormed);

  const std::size_t position = static_cast<std::uint32_t>(width);
  const std::size_t boundary = quarvel::ui::CodePointBoundaryAtOrBefore(text, position);
  FUZZ_CHECK(boundary <= position && boundary <= text.size());
  if (wellFormed && boundary < text.size()) FUZZ_CHECK(!IsContinuation(text[boundary]));
  return 0;
}
