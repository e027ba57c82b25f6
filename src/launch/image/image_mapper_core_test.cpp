#include "launch/image/image_mapper_core.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/testing/test_log_capture.h"
#include "launch/image/testing/pe_test_image.h"

namespace quarvel::launcher {
namespace {

using test_support::LogCapture;
using test_support::TestDll;
using test_support::TestDllOptions;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::uint64_t kLoadAddress = 0x7FF612340000ull;  // never the preferred base
constexpr std::uint64_t kSizeLimit = 16 * 1024 * 1024;

std::uint64_t Read64(const std::vector<std::uint8_t>& block, std::uint32_t rva) {
  std::uint64_t value;
  std::memcpy(&value, block.data() + rva, sizeof(value));
  return value;
}

std::uint32_t Read32(const std::vector<std::uint8_t>& block, std::uint32_t rva) {
  std::uint32_t value;
  std::memcpy(&value, block.data() + rva, sizeof(value));
  return value;
}

TEST(ImageMapperCore, MapsSectionsRelocationsImportsAndProtections) {
  TestDll dll(TestDllOptions{.importOrdinal = 5});
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  ASSERT_TRUE(MapPeImage(dll.bytes(), 0, target, mapped));

  const std::vector<std::uint8_t>& block = target.Block();
  ASSERT_EQ(block.size(), TestDll::kSizeOfImage);
  // Sections copied, headers not (flag 4 absent).
  EXPECT_EQ(block[TestDll::kText], 0xB8);
  EXPECT_EQ(block[0], 0);
  EXPECT_FALSE(mapped.committed.Contains(0, 1));
  // The pointer in .data follows the image to its new address.
  EXPECT_EQ(Read64(block, TestDll::kData), kLoadAddress + 0x1010);
  // Both imports asked for and written to consecutive slots.
  EXPECT_THAT(target.Imports(), ElementsAre("KERNEL32.dll!GetCurrentProcessId", "KERNEL32.dll!#5"));
  EXPECT_EQ(Read64(block, TestDll::kImportSlots), 0x7F0000000010ull);
  EXPECT_EQ(Read64(block, TestDll::kImportSlots + 8), 0x7F0000000020ull);
  EXPECT_EQ(mapped.entryPointRva, TestDll::kText);

  std::vector<std::pair<std::uint32_t, SectionProtection>> protections;
  for (const auto& protection : target.Protections()) protections.emplace_back(protection.rva, protection.protection);
  EXPECT_THAT(protections, ElementsAre(std::pair{TestDll::kText, SectionProtection::ExecuteRead},
                                       std::pair{TestDll::kData, SectionProtection::ReadWrite},
                                       std::pair{TestDll::kImports, SectionProtection::ReadWrite},
                                       std::pair{TestDll::kExports, SectionProtection::ReadOnly},
                                       std::pair{TestDll::kRelocations, SectionProtection::ReadOnly}));
}

TEST(ImageMapperCore, RelocatesByTheDifferenceToThePreferredBase) {
  struct Case {
    const char* name;
    TestDllOptions options;
    std::uint64_t loadAddress;
    std::uint64_t expected;  // the relocated pointer at the start of .data
  };
  const Case cases[] = {
      {"64-bit at its preferred base", {}, 0x180000000ull, 0x180001010ull},
      {"64-bit moved up", {}, kLoadAddress, kLoadAddress + 0x1010},
      {"64-bit moved down", {.imageBase = kLoadAddress}, 0x10000000ull, 0x10001010ull},
      {"32-bit moved", {.is64 = false, .imageBase = 0x10000000}, 0x20000000ull, 0x20001010ull},
  };
  for (const Case& test : cases) {
    TestDll dll(test.options);
    cMemoryBlockTarget target(test.loadAddress, kSizeLimit);
    MappedImage mapped;
    ASSERT_TRUE(MapPeImage(dll.bytes(), 0, target, mapped)) << test.name;
    const std::uint64_t pointer =
        test.options.is64 ? Read64(target.Block(), TestDll::kData) : Read32(target.Block(), TestDll::kData);
    EXPECT_EQ(pointer, test.expected) << test.name;
  }
}

TEST(ImageMapperCore, CopiesHeadersOnlyWhenAsked) {
  TestDll dll;
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  ASSERT_TRUE(MapPeImage(dll.bytes(), kMapCopyHeaders, target, mapped));
  EXPECT_EQ(std::memcmp(target.Block().data(), dll.bytes().data(), 0x400), 0);
  EXPECT_TRUE(mapped.committed.Contains(0, 0x400));
}

TEST(ImageMapperCore, PositionLookupIgnoresTheOrdinalBase) {
  TestDll dll;
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  ASSERT_TRUE(MapPeImage(dll.bytes(), 0, target, mapped));
  const std::uint8_t* memory = target.Memory();
  // The ordinal base is 7: position 0 is ordinal 7, position 4 ordinal 11.
  for (std::uint32_t position = 0; position < 5; ++position) {
    EXPECT_EQ(FindExportByPosition(memory, mapped, position), TestDll::kExportRvas[position]) << position;
  }
  EXPECT_EQ(FindExportByPosition(memory, mapped, 5), 0u);
  EXPECT_EQ(FindExportByPosition(memory, mapped, 7), 0u);
  EXPECT_EQ(FindExportByPosition(memory, mapped, 0xFFFFFFFFu), 0u);
}

TEST(ImageMapperCore, NameLookupFindsExactNamesOnly) {
  TestDll dll;
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  ASSERT_TRUE(MapPeImage(dll.bytes(), 0, target, mapped));
  const std::uint8_t* memory = target.Memory();
  EXPECT_EQ(FindExportByName(memory, mapped, "First"), 0x1010u);
  EXPECT_EQ(FindExportByName(memory, mapped, "Fifth"), 0x1028u);
  for (const char* name : {"first", "Firs", "Firstly", "", "Missing"}) {
    EXPECT_EQ(FindExportByName(memory, mapped, name), 0u) << name;
  }
  EXPECT_EQ(FindExportByName(memory, mapped, nullptr), 0u);
}

TEST(ImageMapperCore, NameWhoseOrdinalIsPastTheTableIsNotFound) {
  TestDll dll;
  dll.Put16At(TestDll::FileOffset(TestDll::kExportNames + 10), 9);  // "Fifth" -> position 9 of 5
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  ASSERT_TRUE(MapPeImage(dll.bytes(), 0, target, mapped));
  EXPECT_EQ(FindExportByName(target.Memory(), mapped, "Fifth"), 0u);
}

TEST(ImageMapperCore, ImageWithoutExportsMapsButFindsNothing) {
  TestDll dll;
  dll.Put32At(dll.Directory(0), 0);
  dll.Put32At(dll.Directory(0) + 4, 0);
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  ASSERT_TRUE(MapPeImage(dll.bytes(), 0, target, mapped));
  EXPECT_EQ(FindExportByPosition(target.Memory(), mapped, 0), 0u);
  EXPECT_EQ(FindExportByName(target.Memory(), mapped, "First"), 0u);
}

TEST(ImageMapperCore, ImageWithoutEntryPointMaps) {
  TestDll dll;
  dll.Put32At(TestDll::kNt + 40, 0);
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  ASSERT_TRUE(MapPeImage(dll.bytes(), 0, target, mapped));
  EXPECT_EQ(mapped.entryPointRva, 0u);
}

TEST(ImageMapperCore, ProtectionFollowsExecuteReadWriteBits) {
  const std::pair<std::uint32_t, SectionProtection> cases[] = {
      {0x40000040, SectionProtection::ReadOnly},
      {0x60000020, SectionProtection::ExecuteRead},
      {0xC0000040, SectionProtection::ReadWrite},
      {0xE0000020, SectionProtection::ExecuteReadWrite},
      {0x20000020, SectionProtection::Unchanged},  // execute-only stays read-write
      {0x80000000, SectionProtection::Unchanged},  // write-only
      {0xA0000000, SectionProtection::Unchanged},  // execute and write without read
      {0x00000040, SectionProtection::Unchanged},
      {0x42000040, SectionProtection::ReadOnly},  // other bits do not matter
  };
  for (const auto& [characteristics, protection] : cases) {
    EXPECT_EQ(ProtectionForCharacteristics(characteristics), protection) << std::hex << characteristics;
  }
}

TEST(ImageMapperCore, RefusesMalformedImagesWithOneLogLine) {
  struct Case {
    const char* name;
    std::function<void(TestDll&)> breakIt;
    const char* logged;
    TestDllOptions options = {};
  };
  const std::size_t relocationBlock = TestDll::FileOffset(TestDll::kRelocations);
  const Case cases[] = {
      {"no MZ", [](TestDll& dll) { dll.bytes()[1] = 'X'; }, "no MZ header"},
      {"empty", [](TestDll& dll) { dll.bytes().clear(); }, "no MZ header"},
      {"cut inside the DOS header", [](TestDll& dll) { dll.bytes().resize(0x3E); }, "no MZ header"},
      {"wrong machine", [](TestDll& dll) { dll.Put16At(TestDll::kNt + 4, 0xAA64); }, "unsupported machine 0xAA64"},
      {"no PE signature", [](TestDll& dll) { dll.bytes()[TestDll::kNt + 1] = 'X'; }, "no PE signature"},
      {"e_lfanew far past the end", [](TestDll& dll) { dll.Put32At(0x3C, 0xFFFFFFF0u); }, "lie outside the image"},
      {"e_lfanew just before the end", [](TestDll& dll) { dll.Put32At(0x3C, 0xE00 - 8); }, "lie outside the image"},
      {"headers cut short", [](TestDll& dll) { dll.bytes().resize(TestDll::kNt + 100); }, "lie outside the image"},
      {"64-bit machine with 32-bit magic", [](TestDll& dll) { dll.Put16At(dll.Optional(), 0x10B); },
       "does not match machine"},
      {"32-bit machine with 64-bit magic", [](TestDll& dll) { dll.Put16At(dll.Optional(), 0x20B); },
       "does not match machine", {.is64 = false, .imageBase = 0x10000000}},
      {"non-standard optional header size", [](TestDll& dll) { dll.Put16At(TestDll::kNt + 20, 0xF8); },
       "is not the standard 240"},
      {"zero image size", [](TestDll& dll) { dll.Put32At(TestDll::kNt + 80, 0); }, "out of range"},
      {"headers larger than the image", [](TestDll& dll) { dll.Put32At(TestDll::kNt + 84, 0x7000); }, "out of range"},
      {"section table past the end", [](TestDll& dll) { dll.Put16At(TestDll::kNt + 6, 0x100); },
       "table of 256 sections"},
      {"section data past the end of the bytes",
       [](TestDll& dll) { dll.Put32At(dll.SectionHeader(4) + 16, 0x400); }, "section 4 lies outside"},
      {"section data offset past the end", [](TestDll& dll) { dll.Put32At(dll.SectionHeader(1) + 20, 0xFFFFFF00u); },
       "section 1 lies outside"},
      {"section past the image size", [](TestDll& dll) { dll.Put32At(dll.SectionHeader(4) + 12, 0x6000); },
       "section 4 lies outside"},
      {"section address wrapping around", [](TestDll& dll) { dll.Put32At(dll.SectionHeader(2) + 12, 0xFFFFF000u); },
       "section 2 lies outside"},
      {"raw data larger than the committed pages",
       [](TestDll& dll) { dll.Put32At(dll.SectionHeader(0) + 16, 0x1200); }, "section 0 lies outside"},
      {"relocation directory outside the sections", [](TestDll& dll) { dll.Put32At(dll.Directory(5), 0x9000); },
       "relocation directory"},
      {"relocation block smaller than 8", [&](TestDll& dll) { dll.Put32At(relocationBlock + 4, 4); }, "has size 4"},
      {"relocation block of size 0", [&](TestDll& dll) { dll.Put32At(relocationBlock + 4, 0); }, "has size 0"},
      {"relocation block larger than the directory", [&](TestDll& dll) { dll.Put32At(relocationBlock + 4, 16); },
       "has size 16"},
      {"relocation directory ending inside a block header",
       [&](TestDll& dll) { dll.Put32At(relocationBlock + 4, 8); }, "cut short"},
      {"relocation target outside every section", [&](TestDll& dll) { dll.Put32At(relocationBlock, 0x9000); },
       "relocation target 0x9000"},
      {"relocation target in the unmapped headers", [&](TestDll& dll) { dll.Put32At(relocationBlock, 0); },
       "relocation target 0x0"},
      {"64-bit relocation running past its section",
       [&](TestDll& dll) { dll.Put16At(relocationBlock + 8, static_cast<std::uint16_t>(10 << 12 | 0x0FC)); },
       "relocation target 0x20FC"},
      {"32-bit relocation with a delta over 4 GiB",
       [&](TestDll& dll) { dll.Put16At(relocationBlock + 8, static_cast<std::uint16_t>(3 << 12)); },
       "cannot move the image that far"},
      {"import directory outside the sections", [](TestDll& dll) { dll.Put32At(dll.Directory(1), 0x9000); },
       "import directory"},
      {"import descriptors without a terminator",
       [](TestDll& dll) {
         // Descriptors naming a library without procedures, to the end of the section.
         for (std::uint32_t at = 0; at + 20 <= 0x200; at += 20) {
           std::memset(dll.bytes().data() + TestDll::FileOffset(TestDll::kImports + at), 0, 20);
           dll.PutRva32(TestDll::kImports + at + 12, TestDll::kExports + 0x80);
           dll.PutRva32(TestDll::kImports + at + 16, TestDll::kExports + 0xF0);
         }
       },
       "import descriptor 25"},
      {"import library name outside", [](TestDll& dll) { dll.PutRva32(TestDll::kImports + 12, 0x8000); },
       "name of import 0"},
      {"import library name without a terminator",
       [](TestDll& dll) {
         dll.PutRva32(TestDll::kImports + 12, TestDll::kImports + 0x1F8);
         for (std::uint32_t at = 0x1F8; at < 0x200; ++at) dll.bytes()[TestDll::FileOffset(TestDll::kImports + at)] = 'A';
       },
       "name of import 0"},
      {"import thunks outside", [](TestDll& dll) { dll.PutRva32(TestDll::kImports, 0x9000); }, "import table of"},
      {"import name outside", [](TestDll& dll) { dll.PutRva32(TestDll::kImports + 0x100, 0x9000); },
       "an import name of"},
      {"import slot outside every section", [](TestDll& dll) { dll.PutRva32(TestDll::kImports + 16, 0x9000); },
       "import slot"},
      {"import slot in the unmapped headers", [](TestDll& dll) { dll.PutRva32(TestDll::kImports + 16, 0x100); },
       "import slot"},
      {"missing import", [](TestDll&) {}, "KERNEL32.dll!NoSuchProcedure cannot be resolved",
       {.import = "NoSuchProcedure"}},
      {"missing import by ordinal", [](TestDll&) {}, "KERNEL32.dll!#777 cannot be resolved", {.importOrdinal = 777}},
      {"library that cannot be loaded", [](TestDll&) {}, "library missing.dll cannot be loaded",
       {.library = "missing.dll"}},
      {"entry point outside every section", [](TestDll& dll) { dll.Put32At(TestDll::kNt + 40, 0x5F00); },
       "entry point 0x5F00"},
      {"export address table outside", [](TestDll& dll) { dll.PutRva32(TestDll::kExports + 28, 0x9000); },
       "export tables"},
      {"export count running past the section",
       [](TestDll& dll) { dll.PutRva32(TestDll::kExports + 20, 0x40000000); }, "export tables"},
      {"export name table outside", [](TestDll& dll) { dll.PutRva32(TestDll::kExports + 32, 0x9000); },
       "export tables"},
  };
  for (const Case& test : cases) {
    TestDll dll(test.options);
    test.breakIt(dll);
    cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
    target.findProcedure = [](void*, const char* name, std::uint16_t ordinal) -> void* {
      const bool missing = name != nullptr ? std::string(name) == "NoSuchProcedure" : ordinal == 777;
      return missing ? nullptr : reinterpret_cast<void*>(0x1234);
    };
    target.openLibrary = [](const char* name) -> void* {
      return std::string(name) == "missing.dll" ? nullptr : reinterpret_cast<void*>(1);
    };
    LogCapture log;
    MappedImage mapped;
    EXPECT_FALSE(MapPeImage(dll.bytes(), kMapCopyHeaders, target, mapped)) << test.name;
    EXPECT_TRUE(target.Block().empty()) << test.name << ": the reserved block is released";
    const std::vector<LogCapture::Line> lines = log.Stop();
    ASSERT_EQ(lines.size(), 1u) << test.name;
    EXPECT_EQ(lines[0].level, 1u) << test.name;
    EXPECT_THAT(lines[0].text, HasSubstr(test.logged)) << test.name;
  }
}

TEST(ImageMapperCore, RefusesImagesLargerThanTheTargetTakes) {
  TestDll dll;
  dll.Put32At(TestDll::kNt + 80, 0x7FFFF000);
  cMemoryBlockTarget target(kLoadAddress, kSizeLimit);
  MappedImage mapped;
  EXPECT_FALSE(MapPeImage(dll.bytes(), 0, target, mapped));
}

// Every prefix and many random corruptions of a valid image: the mapper must
// refuse or map, never read or write outside its buffers (checked by the
// sanitizer build).
TEST(ImageMapperCore, SurvivesTruncatedAndCorruptedImages) {
  TestDll dll(TestDllOptions{.importOrdinal = 5});
  const std::vector<std::uint8_t> valid = dll.bytes();
  for (std::size_t size = 0; size < valid.size(); size += 7) {
    MapImageIntoBlock(std::span(valid.data(), size), kMapCopyHeaders);
  }
  std::mt19937 random(20240611);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> bytes = valid;
    const int changes = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < changes; ++i) {
      // Mostly in the headers and tables, where the offsets are.
      const std::size_t at = random() % 2 == 0 ? random() % 0x400 : random() % bytes.size();
      bytes[at] = static_cast<std::uint8_t>(random() % 4 == 0 ? 0xFF : random());
    }
    MapImageIntoBlock(bytes, round % 2 == 0 ? kMapCopyHeaders : 0);
  }
  EXPECT_TRUE(MapImageIntoBlock(valid, kMapCopyHeaders));
}

TEST(CommittedRanges, MergesAdjacentPagesAndChecksWholeRanges) {
  cCommittedRanges ranges;
  ranges.Add(0x1000, 0x10);   // page 0x1000
  ranges.Add(0x2800, 0x900);  // pages 0x2000-0x3FFF
  ranges.Add(0x5000, 0x1000);
  EXPECT_TRUE(ranges.Contains(0x1FF8, 8));
  EXPECT_TRUE(ranges.Contains(0x1000, 0x3000));  // 0x1000-0x3FFF merged
  EXPECT_FALSE(ranges.Contains(0x3FF8, 16));
  EXPECT_FALSE(ranges.Contains(0x4000, 1));
  EXPECT_FALSE(ranges.Contains(0x0FFF, 1));
  EXPECT_EQ(ranges.RunFrom(0x3000), 0x1000u);
  EXPECT_EQ(ranges.RunFrom(0x4800), 0u);
}

}  // namespace
}  // namespace quarvel::launcher
