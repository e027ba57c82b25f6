#include "ui/elements/text_layout.h"

#include <algorithm>

namespace quarvel::ui {
namespace {

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the code point that starts at `position`, at least 1 and
// never past the end.
std::size_t CodePointLength(const std::string& text, std::size_t position) {
  std::size_t end = position + 1;
  while (end < text.size() && IsContinuationByte(static_cast<unsigned char>(text[end]))) ++end;
  return end - position;
}

// A break after the character at `index` counts only when the cut lies in
// the second half of the piece.
bool AcceptBreak(std::size_t index, std::size_t pieceLength) {
  return index != std::string::npos && index + 1 >= pieceLength / 2;
}

std::size_t ChooseCut(const std::string& piece) {
  const std::size_t candidates[] = {piece.find(':'), piece.rfind('/'), piece.rfind('\\'), piece.rfind(' ')};
  for (const std::size_t index : candidates) {
    if (AcceptBreak(index, piece.size())) return index + 1;
  }
  return piece.size();
}

}  // namespace

bool IsCyclingText(const std::string& text) {
  const std::size_t open = text.find('[');
  const std::size_t close = text.find(']');
  return open != std::string::npos && close != std::string::npos && close > open;
}

std::vector<std::string> CyclingVariants(const std::string& text) {
  if (!IsCyclingText(text)) return {};
  const std::size_t open = text.find('[');
  const std::size_t close = text.find(']');
  const std::string prefix = text.substr(0, open);
  const std::string inner = text.substr(open + 1, close - open - 1);
  std::vector<std::string> variants{prefix};
  for (std::size_t end = 0; end < inner.size();) {
    end += CodePointLength(inner, end);
    variants.push_back(prefix + inner.substr(0, end));
  }
  return variants;
}

std::size_t CodePointBoundaryAtOrBefore(const std::string& text, std::size_t position) {
  position = std::min(position, text.size());
  while (position > 0 && position < text.size() && IsContinuationByte(static_cast<unsigned char>(text[position]))) {
    --position;
  }
  return position;
}

std::vector<std::string> WrapText(const std::string& text, int measuredWidth) {
  const std::size_t length = text.size();
  const int lineCount = static_cast<int>(static_cast<double>(measuredWidth) / kMaxLineWidth + 0.5);
  if (lineCount <= 0 || length == 0) return {};
  const std::size_t chunk = std::max<std::size_t>(length / static_cast<std::size_t>(lineCount), 1);

  std::vector<std::string> lines;
  for (std::size_t position = 0; position < length;) {
    // A piece ends on a code-point boundary; one longer than the chunk only
    // when the chunk would not hold a single code point.
    std::size_t end = CodePointBoundaryAtOrBefore(text, position + std::min(chunk, length - position));
    if (end <= position) end = position + CodePointLength(text, position);
    const std::string piece = text.substr(position, end - position);
    // What is left after a cut is the last line: searching it for a break
    // again would split a tail such as " 7!" into " " and "7!".
    const std::size_t cut = position > 0 && end == length ? piece.size() : ChooseCut(piece);
    lines.push_back(piece.substr(0, cut));
    position += cut;
  }
  return lines;
}

}  // namespace quarvel::ui
