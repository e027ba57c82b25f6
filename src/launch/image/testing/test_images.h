#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Test helper: the smallest binaries whose headers say what a real one's do.
namespace quarvel::launcher::test_support {

constexpr std::uint16_t kPeMachineI386 = 0x014C;
constexpr std::uint16_t kPeMachineAmd64 = 0x8664;
constexpr std::uint16_t kPeMachineArm64 = 0xAA64;
constexpr std::uint16_t kPe32 = 0x10B;
constexpr std::uint16_t kPe32Plus = 0x20B;

inline void Put16(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint16_t value) {
  bytes[at] = static_cast<std::uint8_t>(value);
  bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void Put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// A PE image with one section. With `clrFlags`, data directory 14 points at
// a CLR header with those flags at the start of the section.
inline std::vector<std::uint8_t> MakePeImage(std::uint16_t machine, std::uint16_t magic,
                                             std::optional<std::uint32_t> clrFlags = std::nullopt) {
  constexpr std::size_t kNt = 0x40;
  constexpr std::size_t kOptional = kNt + 24;
  constexpr std::uint32_t kSectionAddress = 0x2000;
  constexpr std::uint32_t kSectionFileOffset = 0x400;
  const bool plus = magic == kPe32Plus;
  const std::size_t directories = kOptional + (plus ? 112 : 96);
  const std::uint16_t optionalSize = static_cast<std::uint16_t>((plus ? 112 : 96) + 16 * 8);
  const std::size_t section = kOptional + optionalSize;

  std::vector<std::uint8_t> bytes(0x600, 0);
  bytes[0] = 'M';
  bytes[1] = 'Z';
  Put32(bytes, 0x3C, kNt);
  bytes[kNt] = 'P';
  bytes[kNt + 1] = 'E';
  Put16(bytes, kNt + 4, machine);
  Put16(bytes, kNt + 6, 1);  // sections
  Put16(bytes, kNt + 20, optionalSize);
  Put16(bytes, kOptional, magic);
  Put32(bytes, directories - 4, 16);  // NumberOfRvaAndSizes
  Put32(bytes, section + 8, 0x1000);  // VirtualSize
  Put32(bytes, section + 12, kSectionAddress);
  Put32(bytes, section + 16, 0x200);  // SizeOfRawData
  Put32(bytes, section + 20, kSectionFileOffset);
  if (clrFlags) {
    Put32(bytes, directories + 14 * 8, kSectionAddress);
    Put32(bytes, directories + 14 * 8 + 4, 72);
    Put32(bytes, kSectionFileOffset, 72);  // cb
    Put32(bytes, kSectionFileOffset + 16, *clrFlags);
  }
  return bytes;
}

// An ELF header: class 1 (32-bit) or 2 (64-bit), type 2 (executable) or 3
// (position-independent), machine 3 (x86) or 62 (x86-64).
inline std::vector<std::uint8_t> MakeElfImage(std::uint8_t elfClass, std::uint16_t type, std::uint16_t machine) {
  std::vector<std::uint8_t> bytes(elfClass == 2 ? 64 : 52, 0);
  bytes[0] = 0x7F;
  bytes[1] = 'E';
  bytes[2] = 'L';
  bytes[3] = 'F';
  bytes[4] = elfClass;
  bytes[5] = 1;  // little-endian
  bytes[6] = 1;  // version
  Put16(bytes, 16, type);
  Put16(bytes, 18, machine);
  return bytes;
}

inline std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

}  // namespace quarvel::launcher::test_support
