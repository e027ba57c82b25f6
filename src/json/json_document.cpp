#include "json/json_document.h"

namespace quarvel {
namespace {

constexpr std::size_t kNotFound = std::string::npos;

// Positions of the two quotes around a quoted text.
struct QuotedText {
  std::size_t open = 0;
  std::size_t close = 0;

  std::size_t Length() const { return close - open - 1; }
  std::string Content(const std::string& text) const { return text.substr(open + 1, Length()); }
};

// The next quoted text at or after `start`. A backslash does not protect a
// quote: settings values never contain escaped quotes.
bool FindQuotedText(const std::string& text, std::size_t start, QuotedText& out) {
  if (text.empty() || start >= text.size()) return false;
  const std::size_t open = text.find('"', start);
  if (open == kNotFound || open + 1 >= text.size()) return false;
  const std::size_t close = text.find('"', open + 1);
  if (close == kNotFound) return false;
  out = {open, close};
  return true;
}

// Every run of backslashes becomes one backslash, so paths may be written with
// doubled separators (C:\\Games). No other escape is interpreted.
std::string FoldBackslashes(const std::string& value) {
  std::string folded;
  folded.reserve(value.size());
  for (const char c : value) {
    if (c == '\\' && !folded.empty() && folded.back() == '\\') continue;
    folded.push_back(c);
  }
  return folded;
}

}  // namespace

bool cJsonDocument::Parse(const std::string& text) {
  if (text.empty()) return false;
  std::size_t position = 0;
  for (;;) {
    QuotedText key;
    if (!FindQuotedText(text, position, key)) break;
    // Counted from the scan position rather than from the key's own quote, as
    // files in the field have always been read; only a key that holds ':'
    // itself can tell the difference.
    const std::size_t colonFrom = position + key.Length() + 1;
    if (colonFrom >= text.size()) break;
    const std::size_t colon = text.find(':', colonFrom);
    if (colon == kNotFound) break;
    QuotedText value;
    if (!FindQuotedText(text, colon, value)) break;
    Store(key.Content(text), value.Content(text));

    // Searching from the colon (not from the value) lets a key with an
    // unquoted value give way to the key after it. A comma inside the quoted
    // value is text, though, and must not cut the next pair apart.
    std::size_t comma = text.find(',', colon + 1);
    if (comma != kNotFound && comma > value.open && comma < value.close) {
      comma = text.find(',', value.close + 1);
    }
    if (comma == kNotFound) break;
    position = comma + 1;
    if (position >= text.size() - 1) break;
  }
  return true;
}

void cJsonDocument::Store(const std::string& key, const std::string& value) {
  // emplace keeps an existing entry: the first occurrence of a key wins.
  if (value.size() == 1 && value[0] >= '0' && value[0] <= '9') {
    const std::int32_t number = value[0] - '0';
    integers_.emplace(key, number);
    booleans_.emplace(key, number != 0);
    return;
  }
  if (value == "true" || value == "false") {
    booleans_.emplace(key, value == "true");
    return;
  }
  strings_.emplace(key, FoldBackslashes(value));
}

bool cJsonDocument::GetString(const std::string& key, std::string& out) const {
  const auto found = strings_.find(key);
  if (found == strings_.end()) return false;
  out = found->second;
  return true;
}

bool cJsonDocument::GetBool(const std::string& key, bool& out) const {
  const auto found = booleans_.find(key);
  if (found == booleans_.end()) return false;
  out = found->second;
  return true;
}

bool cJsonDocument::GetInt(const std::string& key, std::int32_t& out) const {
  const auto found = integers_.find(key);
  if (found == integers_.end()) return false;
  out = found->second;
  return true;
}

}  // namespace quarvel
