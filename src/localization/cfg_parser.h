#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The line parser of ".cfg" text files:
//
//   # comment            // comment
//   launcher:
//   {
//     btn_exit = "Exit";
//   }
//
// Pure text handling, no file or OS access. Not thread-safe on its own; the
// catalogue serializes it.
namespace quarvel {

// Section name -> key -> value.
using CfgSections = std::map<std::string, std::map<std::string, std::string>>;

class cCfgParser {
 public:
  // Adds the entries of `text` to the table, which is never cleared: a
  // repeated section.key takes the later value. On the first failing line the
  // error is "Config parsing error" (that line's own message stays in
  // LineError()) and the entries of the lines before it are kept.
  bool Parse(std::string_view text, std::string& error);

  // One line without its line feed; `offset` is where it starts in the text.
  bool ParseLine(std::string_view line, std::int64_t offset, std::string& error);

  const CfgSections& Sections() const { return sections_; }
  const std::string& LineError() const { return lineError_; }

 private:
  bool ParseEntry(std::string_view expression, std::int64_t position, std::string& error);

  std::string currentSection_;       // empty outside a section
  std::int64_t bracePosition_ = -1;  // where the open section's '{' line starts; -1 before it
  CfgSections sections_;
  std::string lineError_;
};

}  // namespace quarvel
