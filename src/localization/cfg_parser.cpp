#include "localization/cfg_parser.h"

#include <vector>

#include "common/strings.h"

namespace quarvel {

namespace {

constexpr std::string_view kBlanks = " \t\r\n";

std::string PositionMessage(const char* what, std::int64_t position) {
  return std::string(what) + " at position " + std::to_string(position);
}

}  // namespace

bool cCfgParser::Parse(std::string_view text, std::string& error) {
  error.clear();
  lineError_.clear();
  currentSection_.clear();
  bracePosition_ = -1;
  if (text.empty()) {
    error = "Config file data empty";
    return false;
  }

  // Editors on Windows like to start UTF-8 files with a byte-order mark; it
  // would otherwise become part of the first section's name. Offsets still
  // count from the start of the file.
  std::size_t start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    // A last line without a line feed is still a line.
    if (end == std::string_view::npos) end = text.size();
    if (!ParseLine(text.substr(start, end - start), static_cast<std::int64_t>(start), lineError_)) {
      error = "Config parsing error";
      return false;
    }
    start = text.find_first_not_of("\r\n", end);
    if (start == std::string_view::npos) break;
  }
  return true;
}

bool cCfgParser::ParseLine(std::string_view line, std::int64_t offset, std::string& error) {
  const std::size_t first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return true;
  if (line[first] == '#') return true;
  if (line.substr(first, 2) == "//") return true;
  const std::size_t last = line.find_last_not_of(kBlanks);
  const std::int64_t position = offset + static_cast<std::int64_t>(first);

  if (currentSection_.empty()) {
    if (line[last] == ':') currentSection_ = std::string(line.substr(first, last - first));
    return true;
  }
  if (bracePosition_ == -1) {
    bracePosition_ = position;
    if (line[first] == '{') return true;
    error = PositionMessage("Expected '{'", position);
    return false;
  }
  if (line[first] == '}') {
    currentSection_.clear();
    bracePosition_ = -1;
    return true;
  }
  // The terminating ';' is a delimiter of the split, so taking the line up to
  // and including its last character drops it without cutting a value that
  // lacks one.
  return ParseEntry(line.substr(first, last - first + 1), position, error);
}

bool cCfgParser::ParseEntry(std::string_view expression, std::int64_t position, std::string& error) {
  const std::vector<std::string> pieces = SplitByAny(std::string(expression), " ;\"");
  if (pieces.size() < 3) {
    error = PositionMessage("Expected an expression", position);
    return false;
  }
  if (pieces[1] != "=") {
    error = PositionMessage("Expected '='", position);
    return false;
  }
  std::string value = pieces[2];
  for (std::size_t i = 3; i < pieces.size(); ++i) value += " " + pieces[i];
  sections_[currentSection_][pieces[0]] = std::move(value);
  return true;
}

}  // namespace quarvel
