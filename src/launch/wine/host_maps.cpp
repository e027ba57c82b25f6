#include "launch/wine/host_maps.h"

#include <charconv>
#include <string>
#include <vector>

namespace quarvel::launcher {
namespace {

struct Mapping {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  std::uint64_t offset = 0;
  std::string path;  // the path fields joined without separators
};

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t begin = 0;
  while (true) {
    const std::size_t at = text.find(separator, begin);
    parts.push_back(text.substr(begin, at == std::string_view::npos ? std::string_view::npos : at - begin));
    if (at == std::string_view::npos) return parts;
    begin = at + 1;
  }
}

bool ParseHex(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return error == std::errc() && end == text.data() + text.size();
}

std::optional<Mapping> ParseLine(std::string_view line) {
  const std::vector<std::string_view> fields = SplitAt(line, ' ');
  if (fields.size() < 6) return std::nullopt;
  const std::vector<std::string_view> range = SplitAt(fields[0], '-');
  Mapping mapping;
  if (range.size() != 2 || !ParseHex(range[0], mapping.start) || !ParseHex(range[1], mapping.end) ||
      !ParseHex(fields[2], mapping.offset)) {
    return std::nullopt;
  }
  for (std::size_t i = 5; i < fields.size(); ++i) mapping.path += fields[i];
  return mapping;
}

bool NamesLibc(const std::string& path) {
  std::string lower = path;
  for (char& c : lower) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
  return lower.find("/libc-") != std::string::npos || lower.find("libc.so") != std::string::npos;
}

}  // namespace

std::optional<HostLibraryRange> FindHostLibc(std::string_view maps) {
  std::optional<HostLibraryRange> found;
  std::string libraryPath;
  for (std::string_view line : SplitAt(maps, '\n')) {
    const std::optional<Mapping> mapping = ParseLine(line);
    if (!mapping) continue;
    if (!found) {
      // A mapping of the file at offset N starts N bytes past the load address.
      if (!NamesLibc(mapping->path) || mapping->offset > mapping->start) continue;
      found = HostLibraryRange{mapping->start - mapping->offset, mapping->end};
      libraryPath = mapping->path;
    } else if (mapping->path == libraryPath && mapping->end > found->end) {
      found->end = mapping->end;
    }
  }
  return found;
}

}  // namespace quarvel::launcher
