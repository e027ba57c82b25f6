#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quarvel {

// Splits one response header line as libcurl hands it over ("ETag: \"x\"\r\n").
// The name is the text before the first ':' with 'A'..'Z' folded to lower
// case; the value starts after the spaces that follow the ':' and ends before
// the line terminator, so spaces before the terminator stay. False, with both
// outputs untouched, for lines without a name: the status line, the blank line.
bool ParseHeaderLine(const char* line, std::size_t size, std::string& name, std::string& value);

// A Content-Length value: decimal digits only (no sign, no blanks) that fit
// in 64 bits. False, `length` untouched, for anything else.
bool ParseContentLength(std::string_view value, std::uint64_t& length);

// 'A'..'Z' folded to 'a'..'z'; other bytes unchanged.
std::string ToLowerAscii(std::string text);

}  // namespace quarvel
