#include "launch/image/pe_image.h"

#include <algorithm>

#include "common/logger.h"

namespace quarvel::launcher {

// Where the two layouts keep what the mapper reads, as offsets from the NT
// headers ("PE\0\0").
struct cPeImage::Layout {
  bool is64;
  std::uint16_t machine;
  std::uint16_t magic;
  std::uint32_t imageBase;
  std::uint32_t rvaAndSizesCount;
  std::uint32_t directories;
  std::uint32_t optionalHeaderSize;  // the standard size; the section table follows it
  std::uint32_t slotSize;
  std::uint64_t ordinalFlag;
};

namespace {

constexpr cPeImage::Layout kLayout64{true, 0x8664, 0x20B, 48, 132, 136, 240, 8, 1ull << 63};
constexpr cPeImage::Layout kLayout32{false, 0x14C, 0x10B, 52, 116, 120, 224, 4, 1ull << 31};

constexpr std::uint32_t kFileHeaderEnd = 24;  // signature + file header
constexpr std::uint32_t kSectionHeaderSize = 40;
constexpr std::uint32_t kImportDescriptorSize = 20;
constexpr std::uint32_t kExportDirectorySize = 40;
constexpr std::uint32_t kRelocationBlockHeaderSize = 8;

constexpr std::uint32_t kExportDirectory = 0;
constexpr std::uint32_t kImportDirectory = 1;
constexpr std::uint32_t kCertificateDirectory = 4;
constexpr std::uint32_t kRelocationDirectory = 5;

std::uint64_t RoundUpToPage(std::uint64_t value) { return (value + kPageSize - 1) & ~(kPageSize - 1); }

template <class T>
T ReadAt(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof(T));
  return value;
}

}  // namespace

std::unique_ptr<cPeImage> cPeImage::Open(std::span<const std::uint8_t> bytes) {
  const cByteReader reader(bytes);
  std::uint16_t mz = 0;
  std::uint32_t nt = 0;
  if (!reader.Read(0, mz) || mz != 0x5A4D || !reader.Read(0x3C, nt)) {
    Log(LogLevel::Error, "Module image refused: no MZ header.");
    return nullptr;
  }
  std::uint32_t signature = 0;
  std::uint16_t machine = 0;
  if (!reader.Has(nt, kFileHeaderEnd) || !reader.Read(nt, signature) || !reader.Read(nt + 4ull, machine)) {
    Log(LogLevel::Error, "Module image refused: NT headers at 0x%X lie outside the image.", nt);
    return nullptr;
  }
  if (signature != 0x00004550) {
    Log(LogLevel::Error, "Module image refused: no PE signature.");
    return nullptr;
  }
  const Layout* layout = machine == kLayout64.machine ? &kLayout64 : machine == kLayout32.machine ? &kLayout32 : nullptr;
  if (layout == nullptr) {
    Log(LogLevel::Error, "Module image refused: unsupported machine 0x%04X.", machine);
    return nullptr;
  }
  if (!reader.Has(nt, kFileHeaderEnd + layout->optionalHeaderSize)) {
    Log(LogLevel::Error, "Module image refused: NT headers at 0x%X lie outside the image.", nt);
    return nullptr;
  }
  return std::unique_ptr<cPeImage>(new cPeImage(bytes, nt, *layout));
}

cPeImage::cPeImage(std::span<const std::uint8_t> bytes, std::uint32_t nt, const Layout& layout)
    : bytes_(bytes), reader_(bytes), nt_(nt), layout_(layout) {}

bool cPeImage::Is64() const { return layout_.is64; }

std::uint16_t cPeImage::GetMachine() const { return layout_.machine; }

std::uint16_t cPeImage::GetCharacteristics() const {
  std::uint16_t characteristics = 0;
  reader_.Read(nt_ + 22ull, characteristics);
  return characteristics;
}

std::span<const std::uint8_t> cPeImage::GetCertificateTable() const {
  const Directory table = GetDirectory(kCertificateDirectory);
  if (table.size == 0 || !reader_.Has(table.rva, table.size)) return {};
  return bytes_.subspan(table.rva, table.size);
}

std::uint64_t cPeImage::GetImageBase() const {
  if (layout_.is64) {
    std::uint64_t base = 0;
    reader_.Read(std::uint64_t{nt_} + layout_.imageBase, base);
    return base;
  }
  std::uint32_t base = 0;
  reader_.Read(std::uint64_t{nt_} + layout_.imageBase, base);
  return base;
}

std::uint32_t cPeImage::GetHeaderValue(PeHeaderValue kind) const {
  std::uint32_t value = 0;
  switch (kind) {
    case PeHeaderValue::AddressOfEntryPoint:
      reader_.Read(nt_ + 40ull, value);
      return value;
    case PeHeaderValue::SizeOfImage:
      reader_.Read(nt_ + 80ull, value);
      return value;
    case PeHeaderValue::SizeOfHeaders:
      reader_.Read(nt_ + 84ull, value);
      return value;
    case PeHeaderValue::ExportFunctions:
    case PeHeaderValue::ExportNames:
    case PeHeaderValue::ExportOrdinals:
    case PeHeaderValue::ExportFunctionCount:
    case PeHeaderValue::ExportNameCount:
      break;
    default:
      return 0;
  }
  const Directory exports = GetDirectory(kExportDirectory);
  if (exports.size == 0) return 0;
  const std::uint8_t* directory = RvaToPointer(exports.rva, kExportDirectorySize);
  if (directory == nullptr) return 0;
  switch (kind) {
    case PeHeaderValue::ExportFunctionCount:
      return ReadAt<std::uint32_t>(directory + 20);
    case PeHeaderValue::ExportNameCount:
      return ReadAt<std::uint32_t>(directory + 24);
    case PeHeaderValue::ExportFunctions:
      return ReadAt<std::uint32_t>(directory + 28);
    case PeHeaderValue::ExportNames:
      return ReadAt<std::uint32_t>(directory + 32);
    default:
      return ReadAt<std::uint32_t>(directory + 36);
  }
}

bool cPeImage::Validate() const {
  sections_.clear();
  std::uint16_t magic = 0;
  std::uint16_t optionalHeaderSize = 0;
  reader_.Read(nt_ + 24ull, magic);
  reader_.Read(nt_ + 20ull, optionalHeaderSize);
  if (magic != layout_.magic) {
    Log(LogLevel::Error, "Module image refused: optional header magic 0x%X does not match machine 0x%04X.", magic,
        layout_.machine);
    return false;
  }
  // The section table is looked for right after a standard-size optional
  // header; with any other size it would be read from the wrong place.
  if (optionalHeaderSize != layout_.optionalHeaderSize) {
    Log(LogLevel::Error, "Module image refused: optional header size %u is not the standard %u.", optionalHeaderSize,
        layout_.optionalHeaderSize);
    return false;
  }
  const std::uint32_t imageSize = GetHeaderValue(PeHeaderValue::SizeOfImage);
  const std::uint32_t headersSize = GetHeaderValue(PeHeaderValue::SizeOfHeaders);
  if (imageSize == 0 || headersSize > imageSize || headersSize > bytes_.size()) {
    Log(LogLevel::Error, "Module image refused: image size 0x%X or header size 0x%X is out of range.", imageSize,
        headersSize);
    return false;
  }
  if (!ReadSections()) return false;

  static constexpr struct {
    std::uint32_t index;
    const char* name;
  } kDirectories[] = {{kExportDirectory, "export"}, {kImportDirectory, "import"}, {kRelocationDirectory, "relocation"}};
  for (const auto& entry : kDirectories) {
    const Directory directory = GetDirectory(entry.index);
    if (directory.size != 0 && RvaToPointer(directory.rva, directory.size) == nullptr) {
      Log(LogLevel::Error, "Module image refused: the %s directory lies outside the section data.", entry.name);
      sections_.clear();
      return false;
    }
  }
  return true;
}

bool cPeImage::ReadSections() const {
  std::uint16_t count = 0;
  reader_.Read(nt_ + 6ull, count);
  const std::uint64_t table = std::uint64_t{nt_} + kFileHeaderEnd + layout_.optionalHeaderSize;
  if (!reader_.Has(table, std::uint64_t{count} * kSectionHeaderSize)) {
    Log(LogLevel::Error, "Module image refused: the table of %u sections lies outside the image.", count);
    return false;
  }
  const std::uint64_t mappedSize = MappedSize();
  std::vector<PeSection> sections;
  sections.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t header = table + std::uint64_t{i} * kSectionHeaderSize;
    PeSection section;
    reader_.Read(header + 8, section.virtualSize);
    reader_.Read(header + 12, section.virtualAddress);
    reader_.Read(header + 16, section.rawSize);
    reader_.Read(header + 20, section.rawOffset);
    reader_.Read(header + 36, section.characteristics);
    const std::uint64_t virtualEnd = std::uint64_t{section.virtualAddress} + section.virtualSize;
    // The raw data is copied into the pages committed for the virtual range.
    const std::uint64_t committedEnd = RoundUpToPage(virtualEnd);
    if (virtualEnd > mappedSize || section.virtualAddress + std::uint64_t{section.rawSize} > committedEnd ||
        (section.rawSize != 0 && !reader_.Has(section.rawOffset, section.rawSize))) {
      Log(LogLevel::Error, "Module image refused: section %u lies outside the image.", i);
      return false;
    }
    sections.push_back(section);
  }
  sections_ = std::move(sections);
  return true;
}

bool cPeImage::ForEachSection(const std::function<bool(const PeSection&)>& visit) const {
  return std::all_of(sections_.begin(), sections_.end(), visit);
}

bool cPeImage::ForEachRelocation(
    const std::function<bool(std::uint64_t targetRva, std::uint16_t type)>& visit) const {
  const Directory directory = GetDirectory(kRelocationDirectory);
  if (directory.size == 0) return true;
  const std::uint8_t* table = RvaToPointer(directory.rva, directory.size);
  if (table == nullptr) {
    Log(LogLevel::Error, "Module image refused: the relocation directory lies outside the section data.");
    return false;
  }
  std::uint32_t at = 0;
  while (at < directory.size) {
    if (directory.size - at < kRelocationBlockHeaderSize) {
      Log(LogLevel::Error, "Module image refused: relocation block at 0x%X is cut short.", at);
      return false;
    }
    const auto page = ReadAt<std::uint32_t>(table + at);
    const auto blockSize = ReadAt<std::uint32_t>(table + at + 4);
    if (blockSize < kRelocationBlockHeaderSize || blockSize > directory.size - at) {
      Log(LogLevel::Error, "Module image refused: relocation block at 0x%X has size %u.", at, blockSize);
      return false;
    }
    const std::uint32_t entries = (blockSize - kRelocationBlockHeaderSize) / 2;
    for (std::uint32_t i = 0; i < entries; ++i) {
      const auto entry = ReadAt<std::uint16_t>(table + at + kRelocationBlockHeaderSize + 2 * i);
      if (!visit(std::uint64_t{page} + (entry & 0x0FFF), static_cast<std::uint16_t>(entry >> 12))) return false;
    }
    at += blockSize;
  }
  return true;
}

bool cPeImage::ForEachImport(cPeImportVisitor& visitor) const {
  const Directory directory = GetDirectory(kImportDirectory);
  if (directory.size == 0) return true;
  for (std::uint64_t index = 0;; ++index) {
    const std::uint8_t* descriptor = RvaToPointer(directory.rva + index * kImportDescriptorSize, kImportDescriptorSize);
    if (descriptor == nullptr) {
      Log(LogLevel::Error, "Module image refused: import descriptor %llu lies outside the section data.",
          static_cast<unsigned long long>(index));
      return false;
    }
    const auto originalThunks = ReadAt<std::uint32_t>(descriptor);
    const auto nameRva = ReadAt<std::uint32_t>(descriptor + 12);
    const auto firstThunk = ReadAt<std::uint32_t>(descriptor + 16);
    if (nameRva == 0) return true;
    const char* library = RvaToString(nameRva);
    if (library == nullptr) {
      Log(LogLevel::Error, "Module image refused: the name of import %llu lies outside the section data.",
          static_cast<unsigned long long>(index));
      return false;
    }
    if (!visitor.OnLibrary(library)) return false;

    const std::uint64_t thunks = originalThunks != 0 ? originalThunks : firstThunk;
    for (std::uint64_t slot = 0;; ++slot) {
      const std::uint8_t* thunk = RvaToPointer(thunks + slot * layout_.slotSize, layout_.slotSize);
      const std::uint64_t slotRva = firstThunk + slot * layout_.slotSize;
      if (thunk == nullptr || slotRva > 0xFFFFFFFFu) {
        Log(LogLevel::Error, "Module image refused: the import table of %s lies outside the section data.", library);
        return false;
      }
      const std::uint64_t value =
          layout_.is64 ? ReadAt<std::uint64_t>(thunk) : std::uint64_t{ReadAt<std::uint32_t>(thunk)};
      if (value == 0) break;
      if ((value & layout_.ordinalFlag) != 0) {
        const auto ordinal = static_cast<std::uint16_t>(value & 0xFFFF);
        if (!visitor.OnProcedure(nullptr, ordinal, static_cast<std::uint32_t>(slotRva))) return false;
        continue;
      }
      // Past the 16-bit hint.
      const char* name = value <= 0xFFFFFFFFu ? RvaToString(value + 2) : nullptr;
      if (name == nullptr) {
        Log(LogLevel::Error, "Module image refused: an import name of %s lies outside the section data.", library);
        return false;
      }
      if (!visitor.OnProcedure(name, 0, static_cast<std::uint32_t>(slotRva))) return false;
    }
  }
}

const std::uint8_t* cPeImage::RvaToPointer(std::uint64_t rva, std::uint64_t length) const {
  const PeSection* section = FindSection(rva);
  if (section == nullptr) return nullptr;
  const std::uint64_t offset = rva - section->virtualAddress;
  if (length > section->virtualSize - offset) return nullptr;
  if (offset > section->rawSize || length > section->rawSize - offset) return nullptr;
  const std::uint64_t raw = std::uint64_t{section->rawOffset} + offset;
  if (!reader_.Has(raw, length)) return nullptr;
  return bytes_.data() + raw;
}

const char* cPeImage::RvaToString(std::uint64_t rva) const {
  const PeSection* section = FindSection(rva);
  if (section == nullptr) return nullptr;
  const std::uint64_t offset = rva - section->virtualAddress;
  const std::uint64_t available = std::min<std::uint64_t>(section->rawSize, section->virtualSize);
  if (offset >= available || !reader_.Has(section->rawOffset, available)) return nullptr;
  const cByteReader data(bytes_.subspan(section->rawOffset, available));
  std::string_view text;
  if (!data.String(offset, text)) return nullptr;
  return text.data();
}

bool cPeImage::IsInsideSection(std::uint64_t rva, std::uint64_t length) const {
  return std::any_of(sections_.begin(), sections_.end(), [&](const PeSection& section) {
    return rva >= section.virtualAddress && rva - section.virtualAddress <= section.virtualSize &&
           length <= section.virtualSize - (rva - section.virtualAddress);
  });
}

std::uint32_t cPeImage::SlotSize() const { return layout_.slotSize; }

std::uint64_t cPeImage::MappedSize() const { return RoundUpToPage(GetHeaderValue(PeHeaderValue::SizeOfImage)); }

cPeImage::Directory cPeImage::GetDirectory(std::uint32_t index) const {
  std::uint32_t count = 0;
  reader_.Read(std::uint64_t{nt_} + layout_.rvaAndSizesCount, count);
  Directory directory;
  if (index >= count) return directory;
  const std::uint64_t at = std::uint64_t{nt_} + layout_.directories + 8ull * index;
  reader_.Read(at, directory.rva);
  reader_.Read(at + 4, directory.size);
  return directory;
}

const PeSection* cPeImage::FindSection(std::uint64_t rva) const {
  for (const PeSection& section : sections_) {
    if (rva >= section.virtualAddress && rva - section.virtualAddress < section.virtualSize) return &section;
  }
  return nullptr;
}

}  // namespace quarvel::launcher
