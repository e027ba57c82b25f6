#include "net/http_header_line.h"

#include <charconv>

namespace quarvel {

std::string ToLowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool ParseHeaderLine(const char* line, std::size_t size, std::string& name, std::string& value) {
  if (line == nullptr || size == 0) return false;
  const std::string_view text(line, size);
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;

  std::size_t begin = colon + 1;
  while (begin < text.size() && text[begin] == ' ') ++begin;
  // Only the terminator goes: a line cut short or ended by a bare LF keeps
  // every character of its value.
  std::size_t end = text.size();
  while (end > begin && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;

  name = ToLowerAscii(std::string(text.substr(0, colon)));
  value = std::string(text.substr(begin, end - begin));
  return true;
}

bool ParseContentLength(std::string_view value, std::uint64_t& length) {
  std::uint64_t parsed = 0;
  const char* end = value.data() + value.size();
  const auto [stop, error] = std::from_chars(value.data(), end, parsed);
  if (error != std::errc() || stop != end) return false;
  length = parsed;
  return true;
}

}  // namespace quarvel
