#include <dlfcn.h>
#include <link.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "launch/image/elf_symbols.h"

// The lookup against the C library this test process really runs with.
namespace quarvel::launcher {
namespace {

struct LoadedLibrary {
  std::string path;
  std::span<const std::uint8_t> image;  // from the load address to the end of the last segment
};

// libc's path and its loaded image, found through the loader's own list.
LoadedLibrary FindLoadedLibc() {
  LoadedLibrary found;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
        if (name.find("libc.so") == std::string::npos) return 0;
        std::uint64_t end = 0;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& header = info->dlpi_phdr[i];
          if (header.p_type == PT_LOAD && header.p_vaddr + header.p_memsz > end) end = header.p_vaddr + header.p_memsz;
        }
        auto* result = static_cast<LoadedLibrary*>(data);
        result->path = name;
        result->image = std::span(reinterpret_cast<const std::uint8_t*>(info->dlpi_addr), end);
        return 1;
      },
      &found);
  return found;
}

TEST(ElfSymbolsInTheRealLibc, FindsWhatTheDynamicLoaderFinds) {
  const LoadedLibrary libc = FindLoadedLibc();
  ASSERT_FALSE(libc.image.empty());
  void* handle = dlopen(libc.path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  for (const char* name : {"dlopen", "dlsym", "getpid", "fopen", "open", "pthread_create"}) {
    const void* expected = dlsym(handle, name);
    ASSERT_NE(expected, nullptr) << name;
    EXPECT_EQ(FindElfSymbol(libc.image, name), expected) << name;
  }
  // glibc 2.34 and later export neither; the loader falls back to dlsym and dlopen.
  EXPECT_EQ(FindElfSymbol(libc.image, "__libc_dlsym"), nullptr);
  EXPECT_EQ(FindElfSymbol(libc.image, "__libc_dlopen_mode"), nullptr);
  EXPECT_EQ(FindElfSymbol(libc.image, "qvl_no_such_symbol"), nullptr);
  // An indirect function's symbol value is its resolver, not the function.
  EXPECT_EQ(FindElfSymbol(libc.image, "strlen"), nullptr);
  dlclose(handle);
}

// The library file as bytes: its tables hold relative addresses. glibc lays
// its segments out at file offsets equal to their addresses, so the file
// reads like the loaded image. With the GNU hash entry retagged, the SysV
// table is the one used.
TEST(ElfSymbolsInTheRealLibc, FindsSymbolsInTheFileThroughTheSysvTable) {
  const LoadedLibrary libc = FindLoadedLibc();
  std::ifstream file(libc.path, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(bytes.size(), 64u);
  const auto* header = reinterpret_cast<const ElfW(Ehdr)*>(bytes.data());
  const ElfW(Phdr)* dynamic = nullptr;
  for (int i = 0; i < header->e_phnum; ++i) {
    const auto* program = reinterpret_cast<const ElfW(Phdr)*>(bytes.data() + header->e_phoff) + i;
    if (program->p_type == PT_DYNAMIC) dynamic = program;
  }
  ASSERT_NE(dynamic, nullptr);
  if (dynamic->p_offset != dynamic->p_vaddr) GTEST_SKIP() << "this libc's file layout differs from its memory layout";

  const auto expectedOffset = [&](const char* name) {
    return static_cast<const std::uint8_t*>(FindElfSymbol(libc.image, name)) - libc.image.data();
  };
  const auto* found = static_cast<const std::uint8_t*>(FindElfSymbol(bytes, "dlsym"));
  ASSERT_NE(found, nullptr) << "through the GNU table";
  EXPECT_EQ(found - bytes.data(), expectedOffset("dlsym"));

  bool retagged = false;
  bool haveSysv = false;
  for (auto* entry = reinterpret_cast<ElfW(Dyn)*>(bytes.data() + dynamic->p_offset); entry->d_tag != DT_NULL; ++entry) {
    haveSysv = haveSysv || entry->d_tag == DT_HASH;
    if (entry->d_tag == DT_GNU_HASH) {
      entry->d_tag = DT_DEBUG;
      retagged = true;
    }
  }
  ASSERT_TRUE(retagged);
  if (!haveSysv) GTEST_SKIP() << "this libc has no SysV hash table";
  for (const char* name : {"dlopen", "dlsym", "getpid"}) {
    found = static_cast<const std::uint8_t*>(FindElfSymbol(bytes, name));
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(found - bytes.data(), expectedOffset(name)) << name;
  }
  EXPECT_EQ(FindElfSymbol(bytes, "__libc_dlsym"), nullptr);
}

}  // namespace
}  // namespace quarvel::launcher
