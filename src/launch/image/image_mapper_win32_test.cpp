#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/platform.h"
#include "launch/image/image_mapper.h"
#include "launch/image/testing/pe_test_image.h"

namespace quarvel::launcher {
namespace {

using test_support::TestDll;
using test_support::TestDllOptions;

std::vector<std::uint8_t> ReadBesideTests(const char* name) {
  std::string directory;
  GetExecutableDirectory(directory);
  std::vector<std::uint8_t> bytes;
  ReadFileBytes((directory + name).c_str(), bytes, 64u * 1024 * 1024);
  return bytes;
}

DWORD ProtectionAt(const void* address) {
  MEMORY_BASIC_INFORMATION information{};
  VirtualQuery(address, &information, sizeof(information));
  return information.State == MEM_COMMIT ? information.Protect : 0;
}

template <class Function>
Function As(void* address) {
  return reinterpret_cast<Function>(address);
}

TEST(ImageMapperWin32, MapsARealDllFromMemoryAwayFromItsPreferredBase) {
  const std::vector<std::uint8_t> bytes = ReadBesideTests("qvl_mapper_test_dll.dll");
  ASSERT_FALSE(bytes.empty());
  const auto image = cPeImage::Open(bytes);
  ASSERT_NE(image, nullptr);
  const auto preferred = image->GetImageBase();
  // Hold the preferred base so the mapper has to relocate.
  void* blocker = VirtualAlloc(reinterpret_cast<void*>(preferred), image->MappedSize(), MEM_RESERVE, PAGE_NOACCESS);

  cImageMapper mapper;
  ASSERT_TRUE(mapper.Load(bytes, kMapCallEntryOnLoad | kMapCallEntryOnUnload));
  EXPECT_NE(reinterpret_cast<std::uintptr_t>(mapper.ImageBase()), preferred);
  EXPECT_EQ(GetModuleHandleA("qvl_mapper_test_dll.dll"), nullptr) << "mapped by us, not by the system loader";

  // Positions ignore the ordinal base (7); position 3 is a gap.
  EXPECT_EQ(As<int (*)()>(mapper.GetProcAddress(ExportPosition{0}))(), 1) << "attached once";
  const auto word = As<const char* (*)(int)>(mapper.GetProcAddress(ExportPosition{1}));
  ASSERT_NE(word, nullptr);
  EXPECT_STREQ(word(0), "alpha");
  EXPECT_STREQ(word(2), "gamma");
  EXPECT_EQ(As<DWORD (*)()>(mapper.GetProcAddress(ExportPosition{2}))(), GetCurrentProcessId());
  EXPECT_EQ(mapper.GetProcAddress(ExportPosition{3}), nullptr);
  EXPECT_EQ(mapper.GetProcAddress(ExportPosition{4}), mapper.GetProcAddress("QvlTestSetDetachFlag"));
  EXPECT_EQ(mapper.GetProcAddress(ExportPosition{5}), mapper.GetProcAddress("QvlTestFormat"));
  EXPECT_EQ(mapper.GetProcAddress(ExportPosition{6}), nullptr);
  EXPECT_EQ(mapper.GetProcAddress("QvlTestMissing"), nullptr);

  const auto format = As<int (*)(char*, int, int)>(mapper.GetProcAddress("QvlTestFormat"));
  ASSERT_NE(format, nullptr);
  char text[32] = {};
  format(text, sizeof(text), 42);
  EXPECT_STREQ(text, "value=42");

  int detached = 0;
  As<void (*)(int*)>(mapper.GetProcAddress(ExportPosition{4}))(&detached);
  EXPECT_TRUE(mapper.Unload());
  EXPECT_EQ(detached, 1);
  EXPECT_EQ(mapper.ImageBase(), nullptr);
  if (blocker != nullptr) VirtualFree(blocker, 0, MEM_RELEASE);
}

TEST(ImageMapperWin32, SetsProtectionsAndLeavesTheHeadersReserved) {
  TestDll dll;
  cImageMapper mapper;
  ASSERT_TRUE(mapper.Load(dll.bytes(), kMapCallEntryOnLoad));
  const auto* base = static_cast<const std::uint8_t*>(mapper.ImageBase());
  EXPECT_EQ(ProtectionAt(base), 0u) << "headers not committed";
  EXPECT_EQ(ProtectionAt(base + TestDll::kText), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(ProtectionAt(base + TestDll::kData), static_cast<DWORD>(PAGE_READWRITE));
  EXPECT_EQ(ProtectionAt(base + TestDll::kExports), static_cast<DWORD>(PAGE_READONLY));

  std::uint64_t pointer;
  std::memcpy(&pointer, base + TestDll::kData, sizeof(pointer));
  EXPECT_EQ(pointer, reinterpret_cast<std::uintptr_t>(base) + 0x1010);
  void* slot;
  std::memcpy(&slot, base + TestDll::kImportSlots, sizeof(slot));
  EXPECT_EQ(slot, reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetCurrentProcessId")));
  EXPECT_EQ(As<int (*)()>(mapper.GetProcAddress(ExportPosition{4}))(), 14);
  EXPECT_EQ(As<int (*)()>(mapper.GetProcAddress("First"))(), 10);
}

TEST(ImageMapperWin32, CopiesTheHeadersWithFlag4) {
  TestDll dll;
  cImageMapper mapper;
  ASSERT_TRUE(mapper.Load(dll.bytes(), kMapCopyHeaders));
  EXPECT_EQ(std::memcmp(mapper.ImageBase(), dll.bytes().data(), 0x400), 0);
}

TEST(ImageMapperWin32, RefusesAndLeavesNothingMapped) {
  struct Case {
    const char* name;
    TestDllOptions options;
    std::uint16_t machine;
  };
  const Case cases[] = {
      {"missing import", {.import = "QvlNoSuchProcedure"}, 0x8664},
      {"library that does not exist", {.library = "qvl_missing.dll"}, 0x8664},
      {"wrong machine", {}, 0xAA64},
  };
  for (const Case& test : cases) {
    TestDll dll(test.options);
    dll.Put16At(TestDll::kNt + 4, test.machine);
    cImageMapper mapper;
    EXPECT_FALSE(mapper.Load(dll.bytes(), kMapCallEntryOnLoad)) << test.name;
    EXPECT_EQ(mapper.ImageBase(), nullptr) << test.name;
  }
}

TEST(ImageMapperWin32, EntryPointRefusingToAttachFailsTheLoad) {
  TestDll dll;
  dll.bytes()[TestDll::FileOffset(TestDll::kText) + 1] = 0;  // the entry point returns 0
  cImageMapper mapper;
  EXPECT_FALSE(mapper.Load(dll.bytes(), kMapCallEntryOnLoad));
  EXPECT_NE(mapper.ImageBase(), nullptr) << "stays mapped until unloaded";
  EXPECT_TRUE(mapper.Unload());
  EXPECT_EQ(mapper.ImageBase(), nullptr);
}

TEST(ImageMapperWin32, LoadsOneImageAtATime) {
  TestDll dll;
  cImageMapper mapper;
  ASSERT_TRUE(mapper.Load(dll.bytes(), 0));
  void* first = mapper.ImageBase();
  EXPECT_FALSE(mapper.Load(dll.bytes(), 0));
  EXPECT_EQ(mapper.ImageBase(), first);
}

}  // namespace
}  // namespace quarvel::launcher
