#include "launch/wine/host_file_status.h"

#include <cstddef>

namespace quarvel::launcher {
namespace {

// Offsets of struct stat on x86-64 Linux.
constexpr std::size_t kModeOffset = 24;
constexpr std::size_t kOwnerOffset = 28;
constexpr std::uint32_t kFileTypeMask = 0170000;  // S_IFMT
constexpr std::uint32_t kRegularFile = 0100000;   // S_IFREG

std::uint32_t ReadUint32(const HostStatBuffer& status, std::size_t offset) {
  return static_cast<std::uint32_t>(status[offset]) | static_cast<std::uint32_t>(status[offset + 1]) << 8 |
         static_cast<std::uint32_t>(status[offset + 2]) << 16 | static_cast<std::uint32_t>(status[offset + 3]) << 24;
}

}  // namespace

bool IsOwnRegularFile(const HostStatBuffer& status, std::uint32_t userId) {
  return (ReadUint32(status, kModeOffset) & kFileTypeMask) == kRegularFile &&
         ReadUint32(status, kOwnerOffset) == userId;
}

}  // namespace quarvel::launcher
