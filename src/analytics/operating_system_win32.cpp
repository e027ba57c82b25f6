#include "analytics/operating_system.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "common/platform.h"
#include "common/strings.h"

namespace quarvel::Analytics {
namespace {

// Offsets of the version fields in the x64 process environment block, read
// directly: GetVersionEx reports what the executable's manifest allows.
constexpr std::size_t kPebOffsetMajor = 0x118;
constexpr std::size_t kPebOffsetMinor = 0x11C;
constexpr std::size_t kPebOffsetBuild = 0x120;

template <typename T>
T ReadPebField(const std::uint8_t* peb, std::size_t offset) {
  T value;
  std::memcpy(&value, peb + offset, sizeof(value));
  return value;
}

}  // namespace

std::string WindowsVersionText() {
  // gs:[0x60] holds the block's address on x64.
  const auto* peb = reinterpret_cast<const std::uint8_t*>(__readgsqword(0x60));
  const auto major = ReadPebField<ULONG>(peb, kPebOffsetMajor);
  const auto minor = ReadPebField<ULONG>(peb, kPebOffsetMinor);
  const auto build = ReadPebField<USHORT>(peb, kPebOffsetBuild);
  char version[64];
  FormatString(version, sizeof(version), "%i.%i %s (Build %i)", static_cast<int>(major),
               static_cast<int>(minor), "64-bit", static_cast<int>(build));
  return version;
}

OperatingSystem DescribeOperatingSystem() {
  if (IsRunningUnderWine()) return {"Wine", GetWineVersion()};
  return {"Windows", WindowsVersionText()};
}

}  // namespace quarvel::Analytics
