#pragma once

#include <cstddef>
#include <string>
#include <vector>

// How a text is split before it is rendered: cycling texts ("LOADING[...]"
// shows "LOADING", "LOADING.", "LOADING..", "LOADING...") and long texts
// wrapped into lines. Pure functions on UTF-8 strings.
namespace quarvel::ui {

// Texts measuring more than this many pixels are wrapped.
inline constexpr int kMaxLineWidth = 520;

// True when the text holds a '[' and a ']' and the first ']' comes after the
// first '['.
bool IsCyclingText(const std::string& text);

// The prefix before the first '[' followed by 0, 1, ... all code points of
// the text between the brackets; anything after the ']' is dropped. Empty
// when the text is not cycling text.
std::vector<std::string> CyclingVariants(const std::string& text);

// Splits a text that measures `measuredWidth` pixels into about
// measuredWidth / kMaxLineWidth lines of even byte length, preferring a cut
// after ':' and then after the last '/', '\' or ' ' in the second half of
// each piece; the rest of the text after a cut that reaches its end is the
// last line, whole. Cuts never fall inside a UTF-8 sequence. Empty when the text
// or the line count is empty.
std::vector<std::string> WrapText(const std::string& text, int measuredWidth);

// The largest code-point boundary at or before `position` (the text's own
// length at most); a position inside a sequence moves back to its lead byte.
std::size_t CodePointBoundaryAtOrBefore(const std::string& text, std::size_t position);

}  // namespace quarvel::ui
