#include "common/strings.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace quarvel {

int FormatString(char* buffer, std::size_t size, const char* format, ...) {
  if (buffer == nullptr || size == 0) return -1;
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(buffer, size, format, args);
  va_end(args);
  if (length < 0) {
    buffer[0] = '\0';
    return -1;
  }
  if (static_cast<std::size_t>(length) >= size) return -1;
  return length;
}

int FormatWideString(wchar_t* buffer, std::size_t size, const wchar_t* format, ...) {
  if (buffer == nullptr || size == 0) return -1;
  va_list args;
  va_start(args, format);
  // Depending on the C library, output that does not fit gives a negative
  // result or the length it would have had.
  const int length = std::vswprintf(buffer, size, format, args);
  va_end(args);
  if (length < 0 || static_cast<std::size_t>(length) >= size) {
    buffer[0] = L'\0';
    return -1;
  }
  return length;
}

void FormatPlaceholders(std::string& text, const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string placeholder = "{" + std::to_string(i) + "}";
    ReplaceFirst(text, placeholder, args[i]);
  }
}

bool ReplaceFirst(std::string& text, const std::string& what, const std::string& with) {
  if (what.empty()) return false;
  const std::size_t at = text.find(what);
  if (at == std::string::npos) return false;
  text.replace(at, what.size(), with);
  return true;
}

std::vector<std::string> SplitByAny(const std::string& text, const std::string& delimiters) {
  std::vector<std::string> parts;
  std::size_t position = 0;
  while (!delimiters.empty() && position != std::string::npos && position < text.size()) {
    const std::size_t found = text.find_first_of(delimiters, position);
    if (found == std::string::npos) break;
    if (found != position) parts.push_back(text.substr(position, found - position));
    position = text.find_first_not_of(delimiters, found + 1);
  }
  // The tail counts only once at least one delimiter was seen.
  if (position != 0 && position != std::string::npos && position < text.size()) {
    parts.push_back(text.substr(position));
  }
  return parts;
}

bool EqualsIgnoreCaseAscii(const char* a, const char* b) {
  if (a == nullptr || b == nullptr) return a == b;
  auto fold = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (fold(static_cast<unsigned char>(*a)) != fold(static_cast<unsigned char>(*b))) return false;
  }
  return *a == *b;
}

std::size_t CopyWideTruncated(wchar_t* destination, const wchar_t* source, std::size_t size) {
  const std::size_t length = source == nullptr ? 0 : std::wcslen(source);
  if (destination == nullptr || size == 0) return length;
  const std::size_t copied = length < size ? length : size - 1;
  if (copied > 0) std::wmemcpy(destination, source, copied);
  destination[copied] = L'\0';
  return length;
}

void SplitFileExtension(const char* path, std::string& full, std::string& extension) {
  if (path == nullptr) return;
  full = path;
  extension.clear();
  const std::size_t dot = full.rfind('.');
  if (dot != std::string::npos && dot + 1 < full.size()) extension = full.substr(dot);
}

}  // namespace quarvel
