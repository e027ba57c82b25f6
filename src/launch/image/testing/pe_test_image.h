#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "launch/image/testing/test_images.h"

// Test helper: a small DLL image laid out by hand, valid in every respect
// the mapper checks, so that a test can break exactly one thing.
//
//   RVA     file   section  content
//   0x1000  0x400  .text    entry point (returns 1); exports at 0x1010,
//                           0x1018, 0x1020, 0x1028 (each returns 10 + position)
//   0x2000  0x600  .data    a pointer to 0x1010, fixed by a base relocation
//   0x3000  0x800  .idata   one library, a named import (and optionally one
//                           by ordinal)
//   0x4000  0xA00  .edata   ordinal base 7; positions 0, 1, 2, 4 filled, 3
//                           empty; names "First" (position 0), "Fifth" (4)
//   0x5000  0xC00  .reloc   one block for page 0x2000
namespace quarvel::launcher::test_support {

struct TestDllOptions {
  bool is64 = true;
  std::uint64_t imageBase = 0x180000000ull;
  std::string library = "KERNEL32.dll";
  std::string import = "GetCurrentProcessId";
  std::uint16_t importOrdinal = 0;  // 0: no import by ordinal
};

class TestDll {
 public:
  static constexpr std::size_t kNt = 0x80;
  static constexpr std::uint32_t kText = 0x1000;
  static constexpr std::uint32_t kData = 0x2000;
  static constexpr std::uint32_t kImports = 0x3000;
  static constexpr std::uint32_t kExports = 0x4000;
  static constexpr std::uint32_t kRelocations = 0x5000;
  static constexpr std::uint32_t kImportSlots = kImports + 0x140;  // FirstThunk
  static constexpr std::uint32_t kExportFunctions = kExports + 0x28;
  static constexpr std::uint32_t kExportNames = kExports + 0x3C;
  static constexpr std::uint32_t kSizeOfImage = 0x6000;
  static constexpr int kSectionCount = 5;
  static constexpr std::uint32_t kExportRvas[] = {0x1010, 0x1018, 0x1020, 0, 0x1028};

  explicit TestDll(const TestDllOptions& options = {}) : options_(options), bytes_(0xE00, 0) { Build(); }

  std::vector<std::uint8_t>& bytes() { return bytes_; }
  const TestDllOptions& options() const { return options_; }

  // File offsets of header fields.
  std::size_t Optional() const { return kNt + 24; }
  std::size_t Directory(int index) const { return kNt + (options_.is64 ? 136 : 120) + 8 * index; }
  std::size_t SectionHeader(int index) const { return kNt + (options_.is64 ? 264 : 248) + 40 * index; }
  // File offset of an RVA in one of the sections.
  static std::size_t FileOffset(std::uint32_t rva) { return 0x400 + (rva / 0x1000 - 1) * 0x200 + rva % 0x1000; }

  void Put16At(std::size_t at, std::uint16_t value) { Put16(bytes_, at, value); }
  void Put32At(std::size_t at, std::uint32_t value) { Put32(bytes_, at, value); }
  void PutRva32(std::uint32_t rva, std::uint32_t value) { Put32(bytes_, FileOffset(rva), value); }
  void PutText(std::uint32_t rva, const std::string& text) {
    std::memcpy(bytes_.data() + FileOffset(rva), text.c_str(), text.size() + 1);
  }

 private:
  void Put64At(std::size_t at, std::uint64_t value) {
    for (int i = 0; i < 8; ++i) bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
  void PutSlot(std::uint32_t rva, std::uint64_t value) {
    if (options_.is64) {
      Put64At(FileOffset(rva), value);
    } else {
      PutRva32(rva, static_cast<std::uint32_t>(value));
    }
  }
  void PutReturn(std::uint32_t rva, std::uint8_t value) {
    const std::uint8_t code[] = {0xB8, value, 0, 0, 0, 0xC3};  // mov eax, value; ret
    std::memcpy(bytes_.data() + FileOffset(rva), code, sizeof(code));
  }

  void Build() {
    const bool is64 = options_.is64;
    bytes_[0] = 'M';
    bytes_[1] = 'Z';
    Put32At(0x3C, kNt);
    bytes_[kNt] = 'P';
    bytes_[kNt + 1] = 'E';
    Put16At(kNt + 4, is64 ? kPeMachineAmd64 : kPeMachineI386);
    Put16At(kNt + 6, kSectionCount);
    Put16At(kNt + 20, is64 ? 240 : 224);
    Put16At(kNt + 22, 0x2022);  // executable, large-address aware, DLL
    Put16At(Optional(), is64 ? kPe32Plus : kPe32);
    Put32At(kNt + 40, kText);  // AddressOfEntryPoint
    if (is64) {
      Put64At(kNt + 48, options_.imageBase);
    } else {
      Put32At(kNt + 52, static_cast<std::uint32_t>(options_.imageBase));
    }
    Put32At(kNt + 56, 0x1000);  // SectionAlignment
    Put32At(kNt + 60, 0x200);   // FileAlignment
    Put32At(kNt + 80, kSizeOfImage);
    Put32At(kNt + 84, 0x400);  // SizeOfHeaders
    Put32At(kNt + (is64 ? 132 : 116), 16);

    struct Section {
      const char* name;
      std::uint32_t rva;
      std::uint32_t virtualSize;
      std::uint32_t characteristics;
    };
    const Section sections[kSectionCount] = {
        {".text", kText, 0x40, 0x60000020},     {".data", kData, 0x100, 0xC0000040},
        {".idata", kImports, 0x200, 0xC0000040}, {".edata", kExports, 0x100, 0x40000040},
        {".reloc", kRelocations, 0x0C, 0x42000040},
    };
    for (int i = 0; i < kSectionCount; ++i) {
      const std::size_t header = SectionHeader(i);
      std::memcpy(bytes_.data() + header, sections[i].name, std::strlen(sections[i].name));
      Put32At(header + 8, sections[i].virtualSize);
      Put32At(header + 12, sections[i].rva);
      Put32At(header + 16, 0x200);
      Put32At(header + 20, static_cast<std::uint32_t>(FileOffset(sections[i].rva)));
      Put32At(header + 36, sections[i].characteristics);
    }

    PutReturn(kText, 1);
    for (std::uint8_t position = 0; position < 5; ++position) {
      if (kExportRvas[position] != 0) PutReturn(kExportRvas[position], static_cast<std::uint8_t>(10 + position));
    }
    PutSlot(kData, options_.imageBase + 0x1010);

    // Imports: descriptor, library name, hint/name, lookup table, slots.
    Put32At(Directory(1), kImports);
    Put32At(Directory(1) + 4, 40);
    PutRva32(kImports, kImports + 0x100);        // OriginalFirstThunk
    PutRva32(kImports + 12, kImports + 0x80);    // Name
    PutRva32(kImports + 16, kImportSlots);       // FirstThunk
    PutText(kImports + 0x80, options_.library);  // at most 15 characters
    PutText(kImports + 0x92, options_.import);   // after a 2-byte hint
    const std::uint64_t ordinalFlag = is64 ? 1ull << 63 : 1ull << 31;
    const std::uint32_t slot = is64 ? 8 : 4;
    for (std::uint32_t table : {kImports + 0x100u, kImportSlots}) {
      PutSlot(table, kImports + 0x90);
      if (options_.importOrdinal != 0) PutSlot(table + slot, ordinalFlag | options_.importOrdinal);
    }

    // Exports.
    Put32At(Directory(0), kExports);
    Put32At(Directory(0) + 4, 0xB0);
    PutRva32(kExports + 12, kExports + 0x80);  // Name
    PutRva32(kExports + 16, 7);                // Base
    PutRva32(kExports + 20, 5);                // NumberOfFunctions
    PutRva32(kExports + 24, 2);                // NumberOfNames
    PutRva32(kExports + 28, kExportFunctions);
    PutRva32(kExports + 32, kExportNames);
    PutRva32(kExports + 36, kExportNames + 8);  // AddressOfNameOrdinals
    for (std::uint32_t i = 0; i < 5; ++i) PutRva32(kExportFunctions + 4 * i, kExportRvas[i]);
    PutRva32(kExportNames, kExports + 0x90);
    PutRva32(kExportNames + 4, kExports + 0xA0);
    Put16(bytes_, FileOffset(kExportNames + 8), 0);
    Put16(bytes_, FileOffset(kExportNames + 10), 4);
    PutText(kExports + 0x80, "test.dll");
    PutText(kExports + 0x90, "First");
    PutText(kExports + 0xA0, "Fifth");

    // One relocation block: the pointer at the start of .data, then padding.
    Put32At(Directory(5), kRelocations);
    Put32At(Directory(5) + 4, 12);
    PutRva32(kRelocations, kData);
    PutRva32(kRelocations + 4, 12);
    Put16(bytes_, FileOffset(kRelocations + 8), static_cast<std::uint16_t>((is64 ? 10 : 3) << 12));
  }

  TestDllOptions options_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace quarvel::launcher::test_support
