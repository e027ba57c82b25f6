#include <windows.h>

#include "common/text_encoding.h"
#include "launch/process/system_name.h"

namespace quarvel::launcher {

ImageKind QueryImageKind(const std::string& path, std::span<const std::uint8_t> leadingBytes) {
  // The system reports a managed "any CPU" image as 32-bit, although it runs
  // as a 64-bit process.
  if (IsManaged64BitImage(leadingBytes)) return ImageKind::Windows64;
  DWORD type = 0;
  if (!GetBinaryTypeW(Utf8ToWide(path).c_str(), &type)) return ImageKind::Unknown;
  if (type == SCS_32BIT_BINARY) return ImageKind::Windows32;
  if (type == SCS_64BIT_BINARY) return ImageKind::Windows64;
  return ImageKind::Unknown;
}

}  // namespace quarvel::launcher
