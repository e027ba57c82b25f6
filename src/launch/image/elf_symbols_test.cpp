#include "launch/image/elf_symbols.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace quarvel::launcher {
namespace {

enum class Hash { Gnu, Sysv };

// A small x86-64 shared object as it lies in memory: header, one PT_DYNAMIC
// program header, the dynamic array, string and symbol tables and one hash
// table. Symbols: 1 "undef" (undefined), 2 "alpha" at 0x800, 3 "beta" at
// 0x810, 4 "gamma" (IFUNC) at 0x820.
class ElfImage {
 public:
  static constexpr std::size_t kDynamic = 0x100;
  static constexpr std::size_t kStrings = 0x200;
  static constexpr std::size_t kSymbols = 0x300;
  static constexpr std::size_t kHash = 0x400;

  ElfImage(Hash hash, bool absolute) : bytes_(0x900, 0), absolute_(absolute) {
    const std::uint8_t ident[] = {0x7F, 'E', 'L', 'F', 2, 1, 1};
    std::memcpy(bytes_.data(), ident, sizeof(ident));
    Put<std::uint16_t>(16, 3);   // ET_DYN
    Put<std::uint16_t>(18, 62);  // x86-64
    Put<std::uint64_t>(32, 64);  // e_phoff
    Put<std::uint16_t>(54, 56);
    Put<std::uint16_t>(56, 1);
    Put<std::uint32_t>(64, 2);  // PT_DYNAMIC
    Put<std::uint64_t>(64 + 16, kDynamic);
    Put<std::uint64_t>(64 + 40, 4 * 16);

    SetDynamic(0, 5, kStrings);
    SetDynamic(1, 6, kSymbols);
    SetDynamic(2, hash == Hash::Gnu ? 0x6FFFFEF5 : 4, kHash);

    const char strings[] = "\0undef\0alpha\0beta\0gamma";
    std::memcpy(bytes_.data() + kStrings, strings, sizeof(strings));
    AddSymbol(1, 1, 0x12, 0, 0);        // undefined function
    AddSymbol(2, 7, 0x12, 12, 0x800);   // alpha: global function
    AddSymbol(3, 13, 0x12, 12, 0x810);  // beta
    AddSymbol(4, 18, 0x1A, 12, 0x820);  // gamma: global IFUNC

    const char* names[] = {"undef", "alpha", "beta", "gamma"};
    if (hash == Hash::Gnu) {
      // One bucket holding symbols 1 to 4; one bloom word (not consulted).
      Put<std::uint32_t>(kHash, 1);
      Put<std::uint32_t>(kHash + 4, 1);
      Put<std::uint32_t>(kHash + 8, 1);
      Put<std::uint32_t>(kHash + 12, 6);
      Put<std::uint32_t>(kHash + 24, 1);
      for (int i = 0; i < 4; ++i) {
        const std::uint32_t last = i == 3 ? 1 : 0;
        Put<std::uint32_t>(kHash + 28 + 4 * i, (ElfGnuHash(names[i]) & ~1u) | last);
      }
    } else {
      // One bucket: 4 -> 3 -> 2 -> 1 -> end.
      Put<std::uint32_t>(kHash, 1);
      Put<std::uint32_t>(kHash + 4, 5);
      Put<std::uint32_t>(kHash + 8, 4);
      for (std::uint32_t i = 2; i <= 4; ++i) Put<std::uint32_t>(kHash + 12 + 4 * i, i - 1);
    }
  }

  template <class T>
  void Put(std::size_t at, T value) {
    std::memcpy(bytes_.data() + at, &value, sizeof(T));
  }
  // A table address as the loader leaves it: absolute, or relative.
  void SetDynamic(int index, std::int64_t tag, std::uint64_t offset) {
    Put<std::int64_t>(kDynamic + 16 * index, tag);
    Put<std::uint64_t>(kDynamic + 16 * index + 8, absolute_ ? Base() + offset : offset);
  }
  std::uint64_t Base() const { return reinterpret_cast<std::uintptr_t>(bytes_.data()); }
  std::vector<std::uint8_t>& bytes() { return bytes_; }

  const void* Find(const char* name) const { return FindElfSymbol(bytes_, name); }
  const void* At(std::size_t offset) const { return bytes_.data() + offset; }

 private:
  void AddSymbol(int index, std::uint32_t name, std::uint8_t info, std::uint16_t section, std::uint64_t value) {
    const std::size_t at = kSymbols + 24 * index;
    Put<std::uint32_t>(at, name);
    Put<std::uint8_t>(at + 4, info);
    Put<std::uint16_t>(at + 6, section);
    Put<std::uint64_t>(at + 8, value);
  }

  std::vector<std::uint8_t> bytes_;
  bool absolute_;
};

TEST(ElfHash, KnownValues) {
  EXPECT_EQ(ElfGnuHash(""), 5381u);
  EXPECT_EQ(ElfGnuHash("printf"), 0x156B2BB8u);
  EXPECT_EQ(ElfSysvHash(""), 0u);
  EXPECT_EQ(ElfSysvHash("printf"), 0x077905A6u);
  EXPECT_EQ(ElfSysvHash("freelocale"), 0x0C335095u);  // long enough to fold the top bits
}

TEST(ElfSymbols, FindsDefinedSymbolsThroughEitherHashTable) {
  for (const Hash hash : {Hash::Gnu, Hash::Sysv}) {
    for (const bool absolute : {true, false}) {
      const std::string name =
          std::string(hash == Hash::Gnu ? "GNU" : "SysV") + (absolute ? ", absolute" : ", relative");
      const ElfImage image(hash, absolute);
      EXPECT_EQ(image.Find("alpha"), image.At(0x800)) << name;
      EXPECT_EQ(image.Find("beta"), image.At(0x810)) << name;
      EXPECT_EQ(image.Find("undef"), nullptr) << name << ": undefined";
      EXPECT_EQ(image.Find("gamma"), nullptr) << name << ": IFUNC";
      EXPECT_EQ(image.Find("alph"), nullptr) << name;
      EXPECT_EQ(image.Find("alphabet"), nullptr) << name;
      EXPECT_EQ(image.Find(""), nullptr) << name;
      EXPECT_EQ(image.Find(nullptr), nullptr) << name;
    }
  }
}

TEST(ElfSymbols, TheLastHashEntryDecides) {
  // A working SysV table, then a GNU table with no buckets: the GNU one is used.
  ElfImage gnuLast(Hash::Sysv, true);
  gnuLast.SetDynamic(3, 0x6FFFFEF5, 0x600);  // all zero: bucket count 0
  EXPECT_EQ(gnuLast.Find("alpha"), nullptr);
  // And the other way round.
  ElfImage sysvLast(Hash::Sysv, true);
  sysvLast.SetDynamic(2, 0x6FFFFEF5, 0x600);
  sysvLast.SetDynamic(3, 4, ElfImage::kHash);
  EXPECT_EQ(sysvLast.Find("alpha"), sysvLast.At(0x800));
}

TEST(ElfSymbols, RefusesWhatIsNotASharedX8664ObjectOrHasBrokenTables) {
  struct Case {
    const char* name;
    Hash hash;
    std::function<void(ElfImage&)> breakIt;
  };
  const Case cases[] = {
      {"bad magic", Hash::Gnu, [](ElfImage& image) { image.bytes()[1] = 'X'; }},
      {"32-bit class", Hash::Gnu, [](ElfImage& image) { image.bytes()[4] = 1; }},
      {"executable", Hash::Gnu, [](ElfImage& image) { image.Put<std::uint16_t>(16, 2); }},
      {"aarch64", Hash::Gnu, [](ElfImage& image) { image.Put<std::uint16_t>(18, 183); }},
      {"odd program header size", Hash::Gnu, [](ElfImage& image) { image.Put<std::uint16_t>(54, 64); }},
      {"program headers past the end", Hash::Gnu,
       [](ElfImage& image) { image.Put<std::uint64_t>(32, 0xFFFFFFFFFFFFFFF0ull); }},
      {"no PT_DYNAMIC", Hash::Gnu, [](ElfImage& image) { image.Put<std::uint32_t>(64, 1); }},
      {"dynamic array past the end", Hash::Gnu, [](ElfImage& image) { image.Put<std::uint64_t>(64 + 16, 0x8F8); }},
      {"no symbol table", Hash::Gnu, [](ElfImage& image) { image.Put<std::int64_t>(ElfImage::kDynamic + 16, 21); }},
      {"no string table", Hash::Sysv, [](ElfImage& image) { image.Put<std::int64_t>(ElfImage::kDynamic, 21); }},
      {"no hash table", Hash::Sysv, [](ElfImage& image) { image.Put<std::int64_t>(ElfImage::kDynamic + 32, 21); }},
      {"string table past the end", Hash::Gnu, [](ElfImage& image) { image.SetDynamic(0, 5, 0x10000); }},
      {"symbol table past the end", Hash::Gnu, [](ElfImage& image) { image.SetDynamic(1, 6, 0x8F0); }},
      {"hash table past the end", Hash::Sysv, [](ElfImage& image) { image.SetDynamic(2, 4, 0x8FE); }},
      {"GNU: no buckets", Hash::Gnu, [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash, 0); }},
      {"GNU: bloom past the end", Hash::Gnu,
       [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash + 8, 0x10000000); }},
      {"GNU: bucket below the symbol offset", Hash::Gnu,
       [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash + 4, 3); }},
      {"GNU: chain without an end", Hash::Gnu,
       [](ElfImage& image) {
         for (std::size_t at = ElfImage::kHash + 28; at < 0x900; at += 4) image.Put<std::uint32_t>(at, 0x2);
       }},
      {"GNU: symbol index past the table", Hash::Gnu,
       [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash + 24, 0x7FFFFFFF); }},
      {"SysV: no buckets", Hash::Sysv, [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash, 0); }},
      {"SysV: chain loop", Hash::Sysv,
       [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash + 12 + 4 * 4, 4); }},
      {"SysV: index past the chain", Hash::Sysv,
       [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash + 8, 9); }},
      {"SysV: chain count past the end", Hash::Sysv,
       [](ElfImage& image) {
         image.Put<std::uint32_t>(ElfImage::kHash + 4, 0xFFFFFFFF);
         image.Put<std::uint32_t>(ElfImage::kHash + 8, 0x40000000);
       }},
      // Found by fuzzing: a loop in a chain that claims 0x17000000 entries
      // was walked that many times.
      {"SysV: chain table past the end", Hash::Sysv,
       [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kHash + 4, 0x17000000); }},
      {"symbol name past the end", Hash::Sysv,
       [](ElfImage& image) { image.Put<std::uint32_t>(ElfImage::kSymbols + 24 * 2, 0xFFFFFF00); }},
      {"symbol value past the image", Hash::Sysv,
       [](ElfImage& image) { image.Put<std::uint64_t>(ElfImage::kSymbols + 24 * 2 + 8, 0x900); }},
  };
  for (const Case& test : cases) {
    ElfImage image(test.hash, true);
    test.breakIt(image);
    EXPECT_EQ(image.Find("alpha"), nullptr) << test.name;
  }
}

TEST(ElfSymbols, NeverReadsPastACutImage) {
  // The sanitizer build checks the reads; the full image still finds alpha.
  for (const Hash hash : {Hash::Gnu, Hash::Sysv}) {
    ElfImage image(hash, false);
    for (std::size_t size = 0; size < image.bytes().size(); ++size) {
      const std::vector<std::uint8_t> cut(image.bytes().begin(), image.bytes().begin() + static_cast<long>(size));
      const void* found = FindElfSymbol(cut, "alpha");
      EXPECT_TRUE(found == nullptr || found == cut.data() + 0x800) << size;
    }
    EXPECT_EQ(image.Find("alpha"), image.At(0x800));
  }
}

}  // namespace
}  // namespace quarvel::launcher
