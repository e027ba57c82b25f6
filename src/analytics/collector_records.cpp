#include "analytics/collector_records.h"

#include <thread>

#include "net/test_services.h"

namespace quarvel::test_support {
namespace {

void AppendUtf8(std::string& out, unsigned codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

unsigned ReadHex4(const std::string& text, std::size_t at) {
  return at + 4 <= text.size() ? static_cast<unsigned>(std::stoul(text.substr(at, 4), nullptr, 16)) : 0;
}

// The decoded JSON string value that follows `"name": "` in the line; empty
// when there is none. The collector writes Python's json.dumps layout.
std::string StringField(const std::string& line, const std::string& name) {
  const std::string opening = "\"" + name + "\": \"";
  std::size_t at = line.find(opening);
  if (at == std::string::npos) return {};
  std::string value;
  for (at += opening.size(); at < line.size() && line[at] != '"'; ++at) {
    if (line[at] != '\\' || at + 1 >= line.size()) {
      value += line[at];
      continue;
    }
    const char escaped = line[++at];
    switch (escaped) {
      case 'n': value += '\n'; break;
      case 'r': value += '\r'; break;
      case 't': value += '\t'; break;
      case 'b': value += '\b'; break;
      case 'f': value += '\f'; break;
      case 'u': {
        unsigned codePoint = ReadHex4(line, at + 1);
        at += 4;
        // A surrogate pair stands for one code point above U+FFFF.
        if (codePoint >= 0xD800 && codePoint < 0xDC00 && line.compare(at + 1, 2, "\\u") == 0) {
          const unsigned low = ReadHex4(line, at + 3);
          codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
          at += 6;
        }
        AppendUtf8(value, codePoint);
        break;
      }
      default: value += escaped;  // '"', '\\', '/'
    }
  }
  return value;
}

}  // namespace

std::vector<CollectorRecord> RecordsContaining(const std::string& token) {
  std::vector<CollectorRecord> found;
  for (std::string& line : ReadCollectorRecords()) {
    if (line.find(token) == std::string::npos) continue;
    CollectorRecord record;
    record.method = StringField(line, "method");
    record.path = StringField(line, "path");
    record.body = StringField(line, "body");
    record.line = std::move(line);
    found.push_back(std::move(record));
  }
  return found;
}

std::vector<CollectorRecord> WaitForRecordsContaining(const std::string& token, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    std::vector<CollectorRecord> found = RecordsContaining(token);
    if (!found.empty() || std::chrono::steady_clock::now() >= deadline) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool HasHeader(const CollectorRecord& record, const std::string& name, const std::string& value) {
  return record.line.find("[\"" + name + "\", \"" + value + "\"]") != std::string::npos;
}

}  // namespace quarvel::test_support
