#include "launch/process/system_name.h"

namespace quarvel::launcher {

// Without a system service for it, the headers decide.
ImageKind QueryImageKind(const std::string&, std::span<const std::uint8_t> leadingBytes) {
  return ClassifyImage(leadingBytes);
}

}  // namespace quarvel::launcher
