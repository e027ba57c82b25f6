#include "launch/process/system_name.h"

#include <vector>

#include "common/platform.h"

namespace quarvel::launcher {
namespace {

// Enough for the headers of any binary and for the CLR header of any managed
// image we know of, without reading a multi-gigabyte game into memory.
constexpr std::uint32_t kLeadingBytesLimit = 64u * 1024 * 1024;

constexpr std::uint16_t kMachineI386 = 0x014C;
constexpr std::uint16_t kMachineAmd64 = 0x8664;
constexpr std::uint16_t kOptionalMagicPe32 = 0x10B;
constexpr std::uint16_t kOptionalMagicPe32Plus = 0x20B;
constexpr std::uint32_t kClrDirectoryIndex = 14;
constexpr std::uint32_t kClrHeaderSize = 72;
constexpr std::uint32_t kClrFlags32BitRequired = 0x2;

constexpr std::uint16_t kElfMachineI386 = 3;
constexpr std::uint16_t kElfMachineX86_64 = 62;

// Little-endian reads that fail instead of reading past the end.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  bool U8(std::uint64_t offset, std::uint8_t& value) const {
    if (!Has(offset, 1)) return false;
    value = bytes_[offset];
    return true;
  }
  bool U16(std::uint64_t offset, std::uint16_t& value) const {
    if (!Has(offset, 2)) return false;
    value = static_cast<std::uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
    return true;
  }
  bool U32(std::uint64_t offset, std::uint32_t& value) const {
    if (!Has(offset, 4)) return false;
    value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | bytes_[offset + static_cast<std::uint64_t>(i)];
    return true;
  }
  bool Matches(std::uint64_t offset, std::span<const std::uint8_t> expected) const {
    if (!Has(offset, expected.size())) return false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (bytes_[offset + i] != expected[i]) return false;
    }
    return true;
  }
  std::uint64_t Size() const { return bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
};

// The offset of the NT headers ("PE\0\0") of a PE image; false when the bytes
// are not one.
bool FindNtHeaders(const ByteReader& reader, std::uint64_t& nt) {
  static constexpr std::uint8_t kMz[] = {'M', 'Z'};
  static constexpr std::uint8_t kPe[] = {'P', 'E', 0, 0};
  std::uint32_t lfanew = 0;
  if (reader.Size() < 64 || !reader.Matches(0, kMz) || !reader.U32(0x3C, lfanew)) return false;
  if (static_cast<std::int32_t>(lfanew) <= 0 || !reader.Matches(lfanew, kPe)) return false;
  nt = lfanew;
  return true;
}

ImageKind ClassifyPe(const ByteReader& reader, std::uint64_t nt) {
  std::uint16_t machine = 0;
  if (!reader.U16(nt + 4, machine)) return ImageKind::Unknown;
  if (machine == kMachineI386) return ImageKind::Windows32;
  if (machine == kMachineAmd64) return ImageKind::Windows64;
  return ImageKind::Unknown;
}

ImageKind ClassifyElf(const ByteReader& reader) {
  static constexpr std::uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};
  std::uint8_t elfClass = 0;
  std::uint8_t encoding = 0;
  std::uint16_t type = 0;
  std::uint16_t machine = 0;
  if (!reader.Matches(0, kElfMagic) || !reader.U8(4, elfClass) || !reader.U8(5, encoding) ||
      !reader.U16(16, type) || !reader.U16(18, machine)) {
    return ImageKind::Unknown;
  }
  // Little-endian executables, position-independent ones (ET_DYN) included.
  if (encoding != 1 || (type != 2 && type != 3)) return ImageKind::Unknown;
  if (elfClass == 2 && machine == kElfMachineX86_64) return ImageKind::Linux64;
  if (elfClass == 1 && machine == kElfMachineI386) return ImageKind::Linux32;
  return ImageKind::Unknown;
}

}  // namespace

std::string GetSystemName(const std::string& path) {
  static const bool underWine = IsRunningUnderWine();
  if (path.empty()) return kUnknownSystemName;
  std::vector<std::uint8_t> bytes;
  // A failed read (a directory, say) leaves no bytes; the platform decides.
  ReadFileBytes(path.c_str(), bytes, kLeadingBytesLimit);
  return SystemNameOf(QueryImageKind(path, bytes), underWine);
}

const char* SystemNameOf(ImageKind kind, bool underWine) {
  switch (kind) {
    case ImageKind::Windows32:
      return underWine ? "linux64_32" : "win64_wow64";
    case ImageKind::Windows64:
      return underWine ? "linux64" : "win64";
    case ImageKind::Linux32:
      return "linux32";
    case ImageKind::Linux64:
      return "linux64";
    case ImageKind::Unknown:
      break;
  }
  return kUnknownSystemName;
}

ImageKind ClassifyImage(std::span<const std::uint8_t> bytes) {
  const ByteReader reader(bytes);
  std::uint64_t nt = 0;
  if (FindNtHeaders(reader, nt)) {
    if (IsManaged64BitImage(bytes)) return ImageKind::Windows64;
    return ClassifyPe(reader, nt);
  }
  return ClassifyElf(reader);
}

bool IsManaged64BitImage(std::span<const std::uint8_t> bytes) {
  const ByteReader reader(bytes);
  std::uint64_t nt = 0;
  std::uint32_t lfanew = 0;
  if (!FindNtHeaders(reader, nt) || !reader.U32(0x3C, lfanew)) return false;
  if (lfanew >= reader.Size() || lfanew + 0x2Cull >= reader.Size() || !reader.Has(nt, 264)) return false;

  std::uint16_t machine = 0;
  std::uint16_t sectionCount = 0;
  std::uint16_t optionalHeaderSize = 0;
  std::uint16_t magic = 0;
  reader.U16(nt + 4, machine);
  reader.U16(nt + 6, sectionCount);
  reader.U16(nt + 20, optionalHeaderSize);
  reader.U16(nt + 24, magic);
  if ((machine & 0x0300) == 0) return false;

  // The data directories sit where the image's own optional header format
  // puts them: PE32 images (the usual "any CPU" managed build) have a shorter
  // header than PE32+ ones.
  const std::uint64_t optional = nt + 24;
  std::uint64_t directoryCountAt = 0;
  if (magic == kOptionalMagicPe32) {
    directoryCountAt = optional + 92;
  } else if (magic == kOptionalMagicPe32Plus) {
    directoryCountAt = optional + 108;
  } else {
    return false;
  }
  std::uint32_t directoryCount = 0;
  std::uint32_t clrAddress = 0;
  const std::uint64_t clrEntry = directoryCountAt + 4 + kClrDirectoryIndex * 8;
  if (!reader.U32(directoryCountAt, directoryCount) || directoryCount <= kClrDirectoryIndex ||
      !reader.U32(clrEntry, clrAddress) || clrAddress == 0) {
    return false;
  }

  const std::uint64_t sections = optional + optionalHeaderSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint64_t header = sections + std::uint64_t{i} * 40;
    std::uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0;
    if (!reader.U32(header + 8, virtualSize) || !reader.U32(header + 12, virtualAddress) ||
        !reader.U32(header + 16, rawSize) || !reader.U32(header + 20, rawPointer)) {
      return false;
    }
    const std::uint64_t size = virtualSize != 0 ? virtualSize : rawSize;
    if (clrAddress < virtualAddress || clrAddress >= std::uint64_t{virtualAddress} + size) continue;
    const std::uint64_t clrHeader = std::uint64_t{clrAddress} - virtualAddress + rawPointer;
    std::uint32_t flags = 0;
    if (!reader.Has(clrHeader, kClrHeaderSize) || !reader.U32(clrHeader + 16, flags)) return false;
    return flags != 0 && (flags & kClrFlags32BitRequired) == 0;
  }
  return false;
}

}  // namespace quarvel::launcher
