#include "launch/image/pe_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launch/image/testing/pe_test_image.h"

namespace quarvel::launcher {
namespace {

using test_support::TestDll;
using test_support::TestDllOptions;
using ::testing::ElementsAre;

class ImportRecorder : public cPeImportVisitor {
 public:
  bool OnLibrary(const char* name) override {
    seen.push_back(std::string("library ") + name);
    return true;
  }
  bool OnProcedure(const char* name, std::uint16_t ordinal, std::uint32_t slotRva) override {
    seen.push_back((name != nullptr ? std::string(name) : "#" + std::to_string(ordinal)) + " @" +
                   std::to_string(slotRva));
    return true;
  }
  std::vector<std::string> seen;
};

TEST(PeImage, ChoosesTheLayoutByMachine) {
  for (const bool is64 : {true, false}) {
    TestDll dll(TestDllOptions{.is64 = is64, .imageBase = 0x10000000});
    const auto image = cPeImage::Open(dll.bytes());
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->Is64(), is64);
    EXPECT_EQ(image->GetImageBase(), 0x10000000u);
    EXPECT_EQ(image->SlotSize(), is64 ? 8u : 4u);
    EXPECT_TRUE(image->Validate());
  }
}

TEST(PeImage, HeaderValuesByKind) {
  TestDll dll;
  const auto image = cPeImage::Open(dll.bytes());
  ASSERT_TRUE(image != nullptr && image->Validate());
  const std::pair<PeHeaderValue, std::uint32_t> cases[] = {
      {PeHeaderValue::AddressOfEntryPoint, TestDll::kText},
      {PeHeaderValue::SizeOfImage, TestDll::kSizeOfImage},
      {PeHeaderValue::ExportFunctions, TestDll::kExportFunctions},
      {PeHeaderValue::ExportNames, TestDll::kExportNames},
      {PeHeaderValue::ExportOrdinals, TestDll::kExportNames + 8},
      {PeHeaderValue::ExportFunctionCount, 5},
      {PeHeaderValue::ExportNameCount, 2},
      {PeHeaderValue::SizeOfHeaders, 0x400},
      {static_cast<PeHeaderValue>(8), 0},
      {static_cast<PeHeaderValue>(-1), 0},
  };
  for (const auto& [kind, value] : cases) EXPECT_EQ(image->GetHeaderValue(kind), value) << static_cast<int>(kind);
}

TEST(PeImage, ExportValuesAreZeroWithoutAnExportDirectory) {
  TestDll dll;
  dll.Put32At(dll.Directory(0) + 4, 0);
  const auto image = cPeImage::Open(dll.bytes());
  ASSERT_TRUE(image != nullptr && image->Validate());
  for (int kind = 2; kind <= 6; ++kind) EXPECT_EQ(image->GetHeaderValue(static_cast<PeHeaderValue>(kind)), 0u) << kind;
}

TEST(PeImage, DirectoriesPastTheirCountAreAbsent) {
  TestDll dll;
  dll.Put32At(TestDll::kNt + 132, 5);  // NumberOfRvaAndSizes: no relocation directory (index 5)
  const auto image = cPeImage::Open(dll.bytes());
  ASSERT_TRUE(image != nullptr && image->Validate());
  int visited = 0;
  EXPECT_TRUE(image->ForEachRelocation([&](std::uint64_t, std::uint16_t) { return ++visited, true; }));
  EXPECT_EQ(visited, 0);
}

TEST(PeImage, RvaToPointerStaysInsideTheSectionData) {
  TestDll dll;
  // .edata: 0x100 bytes of virtual size over 0x200 bytes of raw data.
  const auto image = cPeImage::Open(dll.bytes());
  ASSERT_TRUE(image != nullptr && image->Validate());
  EXPECT_EQ(image->RvaToPointer(TestDll::kExports), dll.bytes().data() + 0xA00);
  EXPECT_EQ(image->RvaToPointer(TestDll::kExports + 0xFC, 4), dll.bytes().data() + 0xAFC);
  EXPECT_EQ(image->RvaToPointer(TestDll::kExports + 0xFC, 8), nullptr);  // past the virtual size
  EXPECT_EQ(image->RvaToPointer(TestDll::kExports + 0x100), nullptr);
  EXPECT_EQ(image->RvaToPointer(0x0FFF), nullptr);
  EXPECT_EQ(image->RvaToPointer(0x6000), nullptr);
  EXPECT_EQ(image->RvaToPointer(0xFFFFFFFFFFFFFFF0ull, 0x20), nullptr);
  EXPECT_STREQ(image->RvaToString(TestDll::kExports + 0x90), "First");
  EXPECT_EQ(image->RvaToString(TestDll::kExports + 0x100), nullptr);
}

TEST(PeImage, RvaToPointerRefusesTheTailWithoutRawData) {
  // A section whose virtual size exceeds its raw data: the tail has no bytes.
  TestDll dll;
  dll.Put32At(dll.SectionHeader(1) + 16, 0x20);  // .data: 0x20 raw bytes of 0x100
  const auto image = cPeImage::Open(dll.bytes());
  ASSERT_TRUE(image != nullptr && image->Validate());
  EXPECT_NE(image->RvaToPointer(TestDll::kData + 0x18, 8), nullptr);
  EXPECT_EQ(image->RvaToPointer(TestDll::kData + 0x1C, 8), nullptr);
  EXPECT_TRUE(image->IsInsideSection(TestDll::kData + 0xF8, 8));
}

TEST(PeImage, WalksImportsOfBothLayouts) {
  for (const bool is64 : {true, false}) {
    TestDll dll(TestDllOptions{.is64 = is64, .imageBase = 0x10000000, .importOrdinal = 42});
    const auto image = cPeImage::Open(dll.bytes());
    ASSERT_TRUE(image != nullptr && image->Validate());
    ImportRecorder recorder;
    EXPECT_TRUE(image->ForEachImport(recorder));
    const std::string second = "#42 @" + std::to_string(TestDll::kImportSlots + (is64 ? 8 : 4));
    EXPECT_THAT(recorder.seen, ElementsAre("library KERNEL32.dll",
                                           "GetCurrentProcessId @" + std::to_string(TestDll::kImportSlots), second))
        << (is64 ? "64-bit" : "32-bit");
  }
}

TEST(PeImage, ImportsFallBackToFirstThunkWithoutLookupTable) {
  TestDll dll;
  dll.PutRva32(TestDll::kImports, 0);  // no OriginalFirstThunk
  const auto image = cPeImage::Open(dll.bytes());
  ASSERT_TRUE(image != nullptr && image->Validate());
  ImportRecorder recorder;
  EXPECT_TRUE(image->ForEachImport(recorder));
  EXPECT_THAT(recorder.seen,
              ElementsAre("library KERNEL32.dll", "GetCurrentProcessId @" + std::to_string(TestDll::kImportSlots)));
}

TEST(PeImage, RelocationWalkVisitsEveryEntryWithItsType) {
  TestDll dll;
  std::vector<std::pair<std::uint64_t, std::uint16_t>> seen;
  const auto image = cPeImage::Open(dll.bytes());
  ASSERT_TRUE(image != nullptr && image->Validate());
  EXPECT_TRUE(image->ForEachRelocation([&](std::uint64_t rva, std::uint16_t type) {
    seen.emplace_back(rva, type);
    return true;
  }));
  EXPECT_THAT(seen, ElementsAre(std::pair<std::uint64_t, std::uint16_t>{TestDll::kData, kRelocationDir64},
                                std::pair<std::uint64_t, std::uint16_t>{TestDll::kData, 0}));
}

}  // namespace
}  // namespace quarvel::launcher
