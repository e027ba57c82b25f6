#include "launch/image/elf_file.h"

#include <algorithm>
#include <cstring>

#include "launch/image/pe_byte_reader.h"

namespace quarvel::launcher {
namespace {

constexpr std::uint16_t kProgramHeaderSize64 = 56;
constexpr std::uint32_t kProgramLoad = 1;
constexpr std::uint64_t kElf64HeaderSize = 64;

struct Segment {
  std::uint64_t offset = 0;
  std::uint64_t address = 0;
  std::uint64_t fileSize = 0;
  std::uint64_t memorySize = 0;
};

}  // namespace

bool ReadElfFileHeader(std::span<const std::uint8_t> bytes, ElfFileHeader& header) {
  static constexpr std::uint8_t kMagic[] = {0x7F, 'E', 'L', 'F'};
  const cByteReader reader(bytes);
  if (!reader.Has(0, 20) || std::memcmp(bytes.data(), kMagic, sizeof(kMagic)) != 0) return false;
  ElfFileHeader read;
  reader.Read(4, read.elfClass);
  reader.Read(5, read.encoding);
  // Both fields are 16 bits wide in either byte order.
  std::uint16_t type = 0, machine = 0;
  reader.Read(16, type);
  reader.Read(18, machine);
  if (read.encoding != kElfLittleEndian) {
    type = static_cast<std::uint16_t>(type >> 8 | type << 8);
    machine = static_cast<std::uint16_t>(machine >> 8 | machine << 8);
  }
  read.type = type;
  read.machine = machine;
  header = read;
  return true;
}

bool LayOutElfImage(std::span<const std::uint8_t> file, std::uint64_t sizeLimit, std::vector<std::uint8_t>& image,
                    std::string& error) {
  image.clear();
  ElfFileHeader header;
  if (!ReadElfFileHeader(file, header) || header.elfClass != kElfClass64 || header.encoding != kElfLittleEndian) {
    error = "not a little-endian ELF64 file";
    return false;
  }
  const cByteReader reader(file);
  std::uint64_t headers = 0;
  std::uint16_t headerSize = 0, headerCount = 0;
  if (!reader.Has(0, kElf64HeaderSize) || !reader.Read(32, headers) || !reader.Read(54, headerSize) ||
      !reader.Read(56, headerCount) || headerSize != kProgramHeaderSize64 ||
      !reader.Has(headers, std::uint64_t{headerCount} * kProgramHeaderSize64)) {
    error = "the program headers lie outside the file";
    return false;
  }

  std::vector<Segment> segments;
  std::uint64_t end = 0;
  for (std::uint64_t i = 0; i < headerCount; ++i) {
    const std::uint64_t at = headers + i * kProgramHeaderSize64;
    std::uint32_t type = 0;
    reader.Read(at, type);
    if (type != kProgramLoad) continue;
    Segment segment;
    reader.Read(at + 8, segment.offset);
    reader.Read(at + 16, segment.address);
    reader.Read(at + 32, segment.fileSize);
    reader.Read(at + 40, segment.memorySize);
    if (!reader.Has(segment.offset, segment.fileSize) || segment.fileSize > segment.memorySize ||
        segment.address > sizeLimit || segment.memorySize > sizeLimit - segment.address) {
      error = "loadable segment " + std::to_string(i) + " lies outside the file or the size limit";
      return false;
    }
    end = std::max(end, segment.address + segment.memorySize);
    segments.push_back(segment);
  }
  if (segments.empty()) {
    error = "the file has no loadable segment";
    return false;
  }
  image.assign(end, 0);
  for (const Segment& segment : segments) {
    std::memcpy(image.data() + segment.address, file.data() + segment.offset, segment.fileSize);
  }
  return true;
}

}  // namespace quarvel::launcher
