#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// An ELF file as it lies on disk, before any loader has touched it: the
// identification fields of its header, and its loadable segments laid out at
// their virtual addresses the way the dynamic loader maps a shared object, so
// that FindElfSymbol can look into it. Pure code over a range of bytes.
namespace quarvel::launcher {

inline constexpr std::uint8_t kElfClass32 = 1;
inline constexpr std::uint8_t kElfClass64 = 2;
inline constexpr std::uint8_t kElfLittleEndian = 1;
inline constexpr std::uint16_t kElfTypeExecutable = 2;
inline constexpr std::uint16_t kElfTypeSharedObject = 3;
inline constexpr std::uint16_t kElfMachineX86 = 3;
inline constexpr std::uint16_t kElfMachineX86_64 = 62;

struct ElfFileHeader {
  std::uint8_t elfClass = 0;  // kElfClass32 or kElfClass64
  std::uint8_t encoding = 0;  // kElfLittleEndian, or 2 for big-endian
  std::uint16_t type = 0;
  std::uint16_t machine = 0;
};

// False when the bytes do not start with an ELF identification and header.
bool ReadElfFileHeader(std::span<const std::uint8_t> bytes, ElfFileHeader& header);

// The little-endian ELF64 file's PT_LOAD segments copied to their virtual
// addresses (from 0; gaps and the zero-filled tail of each segment left 0).
// False, with the reason in `error`, when the program headers or a segment
// lie outside the file, a segment's file part is larger than its memory
// part, or the laid-out image would exceed `sizeLimit` bytes.
bool LayOutElfImage(std::span<const std::uint8_t> file, std::uint64_t sizeLimit, std::vector<std::uint8_t>& image,
                    std::string& error);

}  // namespace quarvel::launcher
