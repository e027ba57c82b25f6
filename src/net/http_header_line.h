#pragma once

#include <cstddef>
#include <string>

namespace quarvel {

// Splits one response header line as libcurl hands it over ("ETag: \"x\"\r\n").
// The name is the text before the first ':' with 'A'..'Z' folded to lower
// case; the value starts after the spaces that follow the ':' and ends before
// the line terminator, so spaces before the terminator stay. False, with both
// outputs untouched, for lines without a name: the status line, the blank line.
bool ParseHeaderLine(const char* line, std::size_t size, std::string& name, std::string& value);

// 'A'..'Z' folded to 'a'..'z'; other bytes unchanged.
std::string ToLowerAscii(std::string text);

}  // namespace quarvel
