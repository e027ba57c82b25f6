#include "launch/image/elf_symbols.h"

#include <string_view>

#include "launch/image/pe_byte_reader.h"

namespace quarvel::launcher {
namespace {

constexpr std::uint8_t kElfClass64 = 2;
constexpr std::uint16_t kTypeSharedObject = 3;
constexpr std::uint16_t kMachineX86_64 = 62;
constexpr std::uint16_t kProgramHeaderSize = 56;
constexpr std::uint32_t kProgramDynamic = 2;

constexpr std::int64_t kDynamicNull = 0;
constexpr std::int64_t kDynamicHash = 4;
constexpr std::int64_t kDynamicStringTable = 5;
constexpr std::int64_t kDynamicSymbolTable = 6;
constexpr std::int64_t kDynamicGnuHash = 0x6FFFFEF5;
constexpr std::uint64_t kDynamicEntrySize = 16;

constexpr std::uint64_t kSymbolSize = 24;
constexpr std::uint8_t kSymbolTypeIndirect = 10;

struct Tables {
  std::uint64_t strings = 0;
  std::uint64_t symbols = 0;
  std::uint64_t hash = 0;
  bool gnu = false;
};

class cElfLookup {
 public:
  cElfLookup(std::span<const std::uint8_t> image, const char* name)
      : reader_(image), base_(reinterpret_cast<std::uintptr_t>(image.data())), name_(name) {}

  const void* Find() const {
    Tables tables;
    if (!ReadTables(tables)) return nullptr;
    const std::uint64_t value = tables.gnu ? FindGnu(tables) : FindSysv(tables);
    if (value == 0 || value >= reader_.Size()) return nullptr;
    return reader_.Data() + value;
  }

 private:
  // The host's loader has relocated these to absolute addresses; a value
  // below the load address is taken as relative.
  std::uint64_t ToOffset(std::uint64_t value) const { return value >= base_ ? value - base_ : value; }

  bool ReadTables(Tables& tables) const {
    static constexpr std::uint8_t kMagic[] = {0x7F, 'E', 'L', 'F'};
    for (std::uint64_t i = 0; i < sizeof(kMagic); ++i) {
      std::uint8_t byte = 0;
      if (!reader_.Read(i, byte) || byte != kMagic[i]) return false;
    }
    std::uint8_t elfClass = 0;
    std::uint16_t type = 0, machine = 0, headerSize = 0, headerCount = 0;
    std::uint64_t headers = 0;
    if (!reader_.Read(4, elfClass) || !reader_.Read(16, type) || !reader_.Read(18, machine) ||
        !reader_.Read(32, headers) || !reader_.Read(54, headerSize) || !reader_.Read(56, headerCount)) {
      return false;
    }
    if (elfClass != kElfClass64 || type != kTypeSharedObject || machine != kMachineX86_64 ||
        headerSize != kProgramHeaderSize) {
      return false;
    }
    std::uint64_t dynamic = 0, dynamicSize = 0;
    bool found = false;
    for (std::uint64_t i = 0; i < headerCount && !found; ++i) {
      const std::uint64_t header = headers + i * kProgramHeaderSize;
      std::uint32_t headerType = 0;
      if (headers > reader_.Size() || !reader_.Read(header, headerType)) return false;
      found = headerType == kProgramDynamic && reader_.Read(header + 16, dynamic) && reader_.Read(header + 40, dynamicSize);
    }
    if (!found) return false;

    bool haveStrings = false, haveSymbols = false, haveHash = false;
    for (std::uint64_t i = 0; i < dynamicSize / kDynamicEntrySize; ++i) {
      std::int64_t tag = 0;
      std::uint64_t value = 0;
      const std::uint64_t entry = dynamic + i * kDynamicEntrySize;
      if (dynamic > reader_.Size() || !reader_.Read(entry, tag) || !reader_.Read(entry + 8, value)) return false;
      if (tag == kDynamicNull) break;
      if (tag == kDynamicStringTable) {
        tables.strings = ToOffset(value);
        haveStrings = true;
      } else if (tag == kDynamicSymbolTable) {
        tables.symbols = ToOffset(value);
        haveSymbols = true;
      } else if (tag == kDynamicHash || tag == kDynamicGnuHash) {
        tables.hash = ToOffset(value);
        tables.gnu = tag == kDynamicGnuHash;
        haveHash = true;
      }
    }
    return haveStrings && haveSymbols && haveHash;
  }

  // The symbol's value when entry `index` is the defined, directly callable
  // symbol we look for; 0 otherwise.
  std::uint64_t Match(const Tables& tables, std::uint64_t index) const {
    if (tables.symbols > reader_.Size() || index > (reader_.Size() - tables.symbols) / kSymbolSize) return 0;
    const std::uint64_t symbol = tables.symbols + index * kSymbolSize;
    std::uint32_t nameOffset = 0;
    std::uint8_t info = 0;
    std::uint16_t section = 0;
    std::uint64_t value = 0;
    if (!reader_.Read(symbol, nameOffset) || !reader_.Read(symbol + 4, info) || !reader_.Read(symbol + 6, section) ||
        !reader_.Read(symbol + 8, value)) {
      return 0;
    }
    std::string_view symbolName;
    if (tables.strings > reader_.Size() || !reader_.String(tables.strings + nameOffset, symbolName) ||
        symbolName != name_) {
      return 0;
    }
    if (section == 0 || (info & 0xF) == kSymbolTypeIndirect) return 0;
    return value;
  }

  std::uint64_t FindGnu(const Tables& tables) const {
    std::uint32_t bucketCount = 0, symbolOffset = 0, bloomSize = 0;
    if (!reader_.Read(tables.hash, bucketCount) || !reader_.Read(tables.hash + 4, symbolOffset) ||
        !reader_.Read(tables.hash + 8, bloomSize) || bucketCount == 0) {
      return 0;
    }
    const std::uint32_t hash = ElfGnuHash(name_);
    const std::uint64_t buckets = tables.hash + 16 + 8ull * bloomSize;
    const std::uint64_t chains = buckets + 4ull * bucketCount;
    std::uint32_t index = 0;
    if (!reader_.Read(buckets + 4ull * (hash % bucketCount), index) || index < symbolOffset) return 0;
    // Each step reads one word further on, so the walk ends at the latest at
    // the end of the image.
    for (std::uint64_t at = index;; ++at) {
      std::uint32_t chainHash = 0;
      if (!reader_.Read(chains + 4 * (at - symbolOffset), chainHash)) return 0;
      if ((chainHash | 1) == (hash | 1)) {
        if (const std::uint64_t value = Match(tables, at)) return value;
      }
      if ((chainHash & 1) != 0) return 0;
    }
  }

  std::uint64_t FindSysv(const Tables& tables) const {
    std::uint32_t bucketCount = 0, chainCount = 0;
    if (!reader_.Read(tables.hash, bucketCount) || !reader_.Read(tables.hash + 4, chainCount) || bucketCount == 0) {
      return 0;
    }
    const std::uint64_t buckets = tables.hash + 8;
    const std::uint64_t chains = buckets + 4ull * bucketCount;
    // The chain count bounds the walk below, so it must be one the image
    // holds: a made-up count would let a loop run for billions of steps.
    if (!reader_.Has(chains, 4ull * chainCount)) return 0;
    std::uint32_t index = 0;
    if (!reader_.Read(buckets + 4ull * (ElfSysvHash(name_) % bucketCount), index)) return 0;
    // A chain visits each symbol at most once; a longer walk is a loop.
    for (std::uint32_t steps = 0; index != 0 && steps < chainCount; ++steps) {
      if (index >= chainCount) return 0;
      if (const std::uint64_t value = Match(tables, index)) return value;
      if (!reader_.Read(chains + 4ull * index, index)) return 0;
    }
    return 0;
  }

  cByteReader reader_;
  std::uint64_t base_;
  const char* name_;
};

}  // namespace

std::uint32_t ElfGnuHash(const char* name) {
  std::uint32_t hash = 5381;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c != 0; ++c) hash = hash * 33 + *c;
  return hash;
}

std::uint32_t ElfSysvHash(const char* name) {
  std::uint32_t hash = 0;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name); *c != 0; ++c) {
    hash = (hash << 4) + *c;
    const std::uint32_t high = hash & 0xF0000000u;
    if (high != 0) hash ^= high >> 24;
    hash &= ~high;
  }
  return hash;
}

const void* FindElfSymbol(std::span<const std::uint8_t> image, const char* name) {
  if (name == nullptr || image.data() == nullptr) return nullptr;
  return cElfLookup(image, name).Find();
}

}  // namespace quarvel::launcher
