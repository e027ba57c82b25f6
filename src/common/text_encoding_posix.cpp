#include "common/text_encoding.h"

#include <cstdint>

// wchar_t holds whole code points (UTF-32) on Linux. Decoding follows the
// same rules as the Windows converter: malformed input becomes U+FFFD, one
// replacement per maximal invalid subsequence, and never fails.
namespace quarvel {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

char32_t DecodeOne(const std::string& text, std::size_t& i) {
  const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    ++i;
    return lead;
  }
  int length = 0;
  char32_t code = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    ++i;
    return kReplacement;
  }
  ++i;
  for (int n = 1; n < length; ++n) {
    if (i >= text.size()) return kReplacement;
    const unsigned char next = byte(i);
    const unsigned char min = n == 1 ? low : 0x80;
    const unsigned char max = n == 1 ? high : 0xBF;
    if (next < min || next > max) return kReplacement;  // the offending byte is read again
    code = (code << 6) | (next & 0x3F);
    ++i;
  }
  return code;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = kReplacement;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) wide += static_cast<wchar_t>(DecodeOne(text, i));
  return wide;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (wchar_t c : text) AppendUtf8(utf8, static_cast<char32_t>(static_cast<std::uint32_t>(c)));
  return utf8;
}

}  // namespace quarvel
