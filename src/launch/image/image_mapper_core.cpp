#include "launch/image/image_mapper_core.h"

#include <algorithm>
#include <cstring>

#include "common/logger.h"

namespace quarvel::launcher {
namespace {

constexpr std::uint32_t kExecute = 0x20000000;
constexpr std::uint32_t kRead = 0x40000000;
constexpr std::uint32_t kWrite = 0x80000000;

// Resolves every import of the image and writes each address into its slot.
class cImportBinder : public cPeImportVisitor {
 public:
  cImportBinder(const cPeImage& image, cImageTarget& target, const cCommittedRanges& committed)
      : image_(image), target_(target), committed_(committed) {}

  bool OnLibrary(const char* name) override {
    libraryName_ = name;
    library_ = target_.OpenLibrary(name);
    if (library_ == nullptr) {
      Log(LogLevel::Error, "Module import failed: library %s cannot be loaded.", name);
      return false;
    }
    return true;
  }

  bool OnProcedure(const char* name, std::uint16_t ordinal, std::uint32_t slotRva) override {
    const std::uint32_t width = image_.SlotSize();
    if (!image_.IsInsideSection(slotRva, width) || !committed_.Contains(slotRva, width)) {
      Log(LogLevel::Error, "Module image refused: an import slot of %s lies outside every section.", libraryName_);
      return false;
    }
    void* procedure = target_.FindProcedure(library_, name, ordinal);
    if (procedure == nullptr) {
      if (name != nullptr) {
        Log(LogLevel::Error, "Module import failed: %s!%s cannot be resolved.", libraryName_, name);
      } else {
        Log(LogLevel::Error, "Module import failed: %s!#%u cannot be resolved.", libraryName_, ordinal);
      }
      return false;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(procedure);
    // A 32-bit image keeps 32-bit slots.
    std::memcpy(target_.Memory() + slotRva, &address, std::min<std::size_t>(width, sizeof(address)));
    return true;
  }

 private:
  const cPeImage& image_;
  cImageTarget& target_;
  const cCommittedRanges& committed_;
  const char* libraryName_ = "";
  void* library_ = nullptr;
};

bool CopyHeaders(const cPeImage& image, cImageTarget& target, cCommittedRanges& committed) {
  const std::uint32_t size = image.GetHeaderValue(PeHeaderValue::SizeOfHeaders);
  if (size == 0) return true;
  if (size > image.Bytes().size() || size > image.MappedSize() || !target.Commit(0, size)) {
    Log(LogLevel::Error, "Module mapping failed: the headers cannot be committed.");
    return false;
  }
  committed.Add(0, size);
  std::memcpy(target.Memory(), image.Bytes().data(), size);
  return true;
}

bool CopySections(const cPeImage& image, cImageTarget& target, cCommittedRanges& committed) {
  std::uint32_t index = 0;
  return image.ForEachSection([&](const PeSection& section) {
    const std::uint32_t number = index++;
    if (section.virtualSize == 0 && section.rawSize == 0) return true;
    if (section.virtualSize == 0 || !target.Commit(section.virtualAddress, section.virtualSize)) {
      Log(LogLevel::Error, "Module mapping failed: section %u cannot be committed.", number);
      return false;
    }
    committed.Add(section.virtualAddress, section.virtualSize);
    if (section.rawSize == 0) return true;
    const std::span<const std::uint8_t> bytes = image.Bytes();
    if (!committed.Contains(section.virtualAddress, section.rawSize) || section.rawOffset > bytes.size() ||
        section.rawSize > bytes.size() - section.rawOffset) {
      Log(LogLevel::Error, "Module image refused: the data of section %u does not fit.", number);
      return false;
    }
    std::memcpy(target.Memory() + section.virtualAddress, bytes.data() + section.rawOffset, section.rawSize);
    return true;
  });
}

bool ApplyRelocations(const cPeImage& image, cImageTarget& target, const cCommittedRanges& committed) {
  const std::uint64_t loadAddress = target.LoadAddress();
  const std::uint64_t preferred = image.GetImageBase();
  std::uint64_t delta = loadAddress - preferred;
  if (!image.Is64()) delta = static_cast<std::uint32_t>(delta);
  const bool wide = image.Is64() && (loadAddress > 0xFFFFFFFFu || preferred > 0xFFFFFFFFu);
  std::uint8_t* memory = target.Memory();
  return image.ForEachRelocation([&](std::uint64_t rva, std::uint16_t type) {
    const std::uint64_t width = type == kRelocationDir64 ? 8 : type == kRelocationHighLow ? 4 : 1;
    if (!image.IsInsideSection(rva, width) || !committed.Contains(rva, width)) {
      Log(LogLevel::Error, "Module image refused: relocation target 0x%llX lies outside every section.",
          static_cast<unsigned long long>(rva));
      return false;
    }
    if (type == kRelocationDir64) {
      std::uint64_t value;
      std::memcpy(&value, memory + rva, sizeof(value));
      value += delta;
      std::memcpy(memory + rva, &value, sizeof(value));
    } else if (type == kRelocationHighLow) {
      if (wide) {
        Log(LogLevel::Error, "Module mapping failed: a 32-bit relocation cannot move the image that far.");
        return false;
      }
      std::uint32_t value;
      std::memcpy(&value, memory + rva, sizeof(value));
      value += static_cast<std::uint32_t>(delta);
      std::memcpy(memory + rva, &value, sizeof(value));
    }
    return true;
  });
}

bool CheckExportTables(const ExportTable& exports, const cCommittedRanges& committed) {
  const bool fits = (exports.functionCount == 0 || committed.Contains(exports.functions, 4ull * exports.functionCount)) &&
                    (exports.nameCount == 0 || (committed.Contains(exports.names, 4ull * exports.nameCount) &&
                                                committed.Contains(exports.ordinals, 2ull * exports.nameCount)));
  if (!fits) Log(LogLevel::Error, "Module image refused: the export tables lie outside every section.");
  return fits;
}

void ApplyProtections(const cPeImage& image, cImageTarget& target) {
  image.ForEachSection([&](const PeSection& section) {
    const SectionProtection protection = ProtectionForCharacteristics(section.characteristics);
    if (section.virtualSize != 0 && protection != SectionProtection::Unchanged) {
      target.Protect(section.virtualAddress, section.virtualSize, protection);
    }
    return true;
  });
}

bool RunSteps(const cPeImage& image, std::uint32_t flags, cImageTarget& target, MappedImage& mapped) {
  if ((flags & kMapCopyHeaders) != 0 && !CopyHeaders(image, target, mapped.committed)) return false;
  if (!CopySections(image, target, mapped.committed)) return false;
  if (!ApplyRelocations(image, target, mapped.committed)) return false;
  cImportBinder binder(image, target, mapped.committed);
  if (!image.ForEachImport(binder)) return false;

  mapped.entryPointRva = image.GetHeaderValue(PeHeaderValue::AddressOfEntryPoint);
  if (mapped.entryPointRva != 0 && !image.IsInsideSection(mapped.entryPointRva, 1)) {
    Log(LogLevel::Error, "Module image refused: the entry point 0x%X lies outside every section.",
        mapped.entryPointRva);
    return false;
  }
  mapped.exports.functions = image.GetHeaderValue(PeHeaderValue::ExportFunctions);
  mapped.exports.functionCount = image.GetHeaderValue(PeHeaderValue::ExportFunctionCount);
  mapped.exports.names = image.GetHeaderValue(PeHeaderValue::ExportNames);
  mapped.exports.ordinals = image.GetHeaderValue(PeHeaderValue::ExportOrdinals);
  mapped.exports.nameCount = image.GetHeaderValue(PeHeaderValue::ExportNameCount);
  if (!CheckExportTables(mapped.exports, mapped.committed)) return false;

  ApplyProtections(image, target);
  return true;
}

template <class T>
T ReadMapped(const std::uint8_t* memory, std::uint64_t rva) {
  T value;
  std::memcpy(&value, memory + rva, sizeof(T));
  return value;
}

}  // namespace

SectionProtection ProtectionForCharacteristics(std::uint32_t characteristics) {
  switch (characteristics & (kExecute | kRead | kWrite)) {
    case kRead:
      return SectionProtection::ReadOnly;
    case kExecute | kRead:
      return SectionProtection::ExecuteRead;
    case kRead | kWrite:
      return SectionProtection::ReadWrite;
    case kExecute | kRead | kWrite:
      return SectionProtection::ExecuteReadWrite;
    default:
      return SectionProtection::Unchanged;
  }
}

void cCommittedRanges::Add(std::uint64_t rva, std::uint64_t size) {
  Range added{rva & ~(kPageSize - 1), (rva + size + kPageSize - 1) & ~(kPageSize - 1)};
  std::vector<Range> merged;
  merged.reserve(ranges_.size() + 1);
  for (const Range& range : ranges_) {
    if (range.end < added.begin || range.begin > added.end) {
      merged.push_back(range);
    } else {
      added.begin = std::min(added.begin, range.begin);
      added.end = std::max(added.end, range.end);
    }
  }
  merged.push_back(added);
  std::sort(merged.begin(), merged.end(), [](const Range& a, const Range& b) { return a.begin < b.begin; });
  ranges_ = std::move(merged);
}

bool cCommittedRanges::Contains(std::uint64_t rva, std::uint64_t length) const {
  const std::uint64_t run = RunFrom(rva);
  return run != 0 && length <= run;
}

std::uint64_t cCommittedRanges::RunFrom(std::uint64_t rva) const {
  for (const Range& range : ranges_) {
    if (rva >= range.begin && rva < range.end) return range.end - rva;
  }
  return 0;
}

bool MapPeImage(std::span<const std::uint8_t> bytes, std::uint32_t flags, cImageTarget& target, MappedImage& out) {
  out = MappedImage{};
  const std::unique_ptr<cPeImage> image = cPeImage::Open(bytes);
  if (image == nullptr || !image->Validate()) return false;
  if (!target.Reserve(image->MappedSize())) {
    Log(LogLevel::Error, "Module mapping failed: 0x%llX bytes cannot be reserved.",
        static_cast<unsigned long long>(image->MappedSize()));
    return false;
  }
  MappedImage mapped;
  if (!RunSteps(*image, flags, target, mapped)) {
    target.Release();
    return false;
  }
  out = std::move(mapped);
  return true;
}

std::uint32_t FindExportByPosition(const std::uint8_t* memory, const MappedImage& image, std::uint32_t index) {
  const ExportTable& exports = image.exports;
  if (memory == nullptr || index >= exports.functionCount) return 0;
  const std::uint64_t slot = exports.functions + 4ull * index;
  if (!image.committed.Contains(slot, 4)) return 0;
  const auto rva = ReadMapped<std::uint32_t>(memory, slot);
  // An empty slot is a gap in the ordinals, not an export at the image base.
  if (rva == 0 || !image.committed.Contains(rva, 1)) return 0;
  return rva;
}

std::uint32_t FindExportByName(const std::uint8_t* memory, const MappedImage& image, const char* name) {
  const ExportTable& exports = image.exports;
  if (memory == nullptr || name == nullptr || exports.names == 0) return 0;
  const std::size_t length = std::strlen(name);
  for (std::uint32_t i = 0; i < exports.nameCount; ++i) {
    const std::uint64_t pointer = exports.names + 4ull * i;
    if (!image.committed.Contains(pointer, 4)) return 0;
    const auto nameRva = ReadMapped<std::uint32_t>(memory, pointer);
    // The exported name and its terminator must lie in committed pages.
    if (image.committed.RunFrom(nameRva) <= length || std::memcmp(memory + nameRva, name, length + 1) != 0) continue;
    const std::uint64_t ordinalAt = exports.ordinals + 2ull * i;
    if (!image.committed.Contains(ordinalAt, 2)) return 0;
    return FindExportByPosition(memory, image, ReadMapped<std::uint16_t>(memory, ordinalAt));
  }
  return 0;
}

cMemoryBlockTarget::cMemoryBlockTarget(std::uint64_t loadAddress, std::uint64_t sizeLimit)
    : loadAddress_(loadAddress), sizeLimit_(sizeLimit) {}

bool cMemoryBlockTarget::Reserve(std::uint64_t size) {
  if (size > sizeLimit_) return false;
  block_.assign(size, 0);
  return true;
}

void cMemoryBlockTarget::Release() { block_.clear(); }

bool cMemoryBlockTarget::Commit(std::uint32_t rva, std::uint32_t size) {
  return std::uint64_t{rva} + size <= block_.size();
}

void cMemoryBlockTarget::Protect(std::uint32_t rva, std::uint32_t size, SectionProtection protection) {
  protections_.push_back({rva, size, protection});
}

void* cMemoryBlockTarget::OpenLibrary(const char* name) {
  libraries_.emplace_back(name);
  if (openLibrary) return openLibrary(name);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(libraries_.size()));
}

void* cMemoryBlockTarget::FindProcedure(void* library, const char* name, std::uint16_t ordinal) {
  // Procedures are asked for right after their library was opened.
  const std::string libraryName = libraries_.empty() ? std::string() : libraries_.back();
  imports_.push_back(libraryName + "!" + (name != nullptr ? std::string(name) : "#" + std::to_string(ordinal)));
  if (findProcedure) return findProcedure(library, name, ordinal);
  return reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x7F0000000000ull + 0x10 * imports_.size()));
}

bool MapImageIntoBlock(std::span<const std::uint8_t> bytes, std::uint32_t flags) {
  constexpr std::uint64_t kLoadAddress = 0x7FF712340000ull;
  constexpr std::uint64_t kSizeLimit = 64ull * 1024 * 1024;
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  if (!MapPeImage(bytes, flags, target, mapped)) return false;
  for (std::uint32_t position = 0; position < 8; ++position) FindExportByPosition(target.Memory(), mapped, position);
  FindExportByName(target.Memory(), mapped, "a");
  return true;
}

}  // namespace quarvel::launcher
