#include "launch/image/elf_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "launch/image/elf_symbols.h"

namespace quarvel::launcher {
namespace {

// A little-endian ELF64 header with program headers at 64 and one PT_LOAD
// per segment given.
struct SegmentSpec {
  std::uint64_t offset;
  std::uint64_t address;
  std::uint64_t fileSize;
  std::uint64_t memorySize;
};

template <class T>
void Put(std::vector<std::uint8_t>& bytes, std::size_t at, T value) {
  std::memcpy(bytes.data() + at, &value, sizeof(T));
}

std::vector<std::uint8_t> MakeElf(const std::vector<SegmentSpec>& segments, std::size_t size = 0x400) {
  std::vector<std::uint8_t> bytes(size, 0);
  const std::uint8_t identification[] = {0x7F, 'E', 'L', 'F', kElfClass64, kElfLittleEndian, 1};
  std::memcpy(bytes.data(), identification, sizeof(identification));
  Put<std::uint16_t>(bytes, 16, kElfTypeSharedObject);
  Put<std::uint16_t>(bytes, 18, kElfMachineX86_64);
  Put<std::uint64_t>(bytes, 32, 64);
  Put<std::uint16_t>(bytes, 54, 56);
  Put<std::uint16_t>(bytes, 56, static_cast<std::uint16_t>(segments.size()));
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const std::size_t at = 64 + 56 * i;
    Put<std::uint32_t>(bytes, at, 1);
    Put(bytes, at + 8, segments[i].offset);
    Put(bytes, at + 16, segments[i].address);
    Put(bytes, at + 32, segments[i].fileSize);
    Put(bytes, at + 40, segments[i].memorySize);
  }
  return bytes;
}

TEST(ElfFile, ReadsTheHeaderOfEitherByteOrder) {
  ElfFileHeader header;
  std::vector<std::uint8_t> bytes = MakeElf({});
  ASSERT_TRUE(ReadElfFileHeader(bytes, header));
  EXPECT_EQ(header.elfClass, kElfClass64);
  EXPECT_EQ(header.type, kElfTypeSharedObject);
  EXPECT_EQ(header.machine, kElfMachineX86_64);
  bytes[5] = 2;  // big-endian: the same fields read byte-swapped
  std::swap(bytes[16], bytes[17]);
  std::swap(bytes[18], bytes[19]);
  ASSERT_TRUE(ReadElfFileHeader(bytes, header));
  EXPECT_EQ(header.type, kElfTypeSharedObject);
  EXPECT_EQ(header.machine, kElfMachineX86_64);
  EXPECT_FALSE(ReadElfFileHeader(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 19), header));
  EXPECT_FALSE(ReadElfFileHeader(std::vector<std::uint8_t>(64, 'M'), header));
}

TEST(ElfFile, LaysSegmentsOutAtTheirAddresses) {
  std::vector<std::uint8_t> file = MakeElf({{0, 0, 0x200, 0x200}, {0x200, 0x1200, 0x100, 0x300}});
  file[0x200] = 0xAB;
  file[0x2FF] = 0xCD;
  std::vector<std::uint8_t> image;
  std::string error;
  ASSERT_TRUE(LayOutElfImage(file, 1 << 20, image, error)) << error;
  ASSERT_EQ(image.size(), 0x1500u);
  EXPECT_EQ(image[0], 0x7F);
  EXPECT_EQ(image[0x1200], 0xAB);
  EXPECT_EQ(image[0x12FF], 0xCD);
  EXPECT_EQ(image[0x1300], 0) << "the tail beyond the file part is zero";
  EXPECT_EQ(image[0x300], 0) << "the gap between segments is zero";
}

TEST(ElfFile, RefusesLayoutsThatReachOutside) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> file;
    const char* error;
  };
  std::vector<std::uint8_t> elf32 = MakeElf({{0, 0, 0x100, 0x100}});
  elf32[4] = kElfClass32;
  std::vector<std::uint8_t> headersCut = MakeElf({{0, 0, 0x70, 0x70}, {0, 0, 0x70, 0x70}});
  headersCut.resize(64 + 56 + 8);  // the second program header is cut
  const Case cases[] = {
      {"a 32-bit file", elf32, "not a little-endian ELF64 file"},
      {"program headers past the end", headersCut, "the program headers lie outside the file"},
      {"a segment past the end of the file", MakeElf({{0x300, 0, 0x200, 0x200}}), "loadable segment 0"},
      {"a file part larger than the memory part", MakeElf({{0, 0, 0x200, 0x100}}), "loadable segment 0"},
      {"a segment beyond the size limit", MakeElf({{0, 0x7FFFFFFFFFFFull, 0x10, 0x10}}), "loadable segment 0"},
      {"no loadable segment", MakeElf({}), "the file has no loadable segment"},
  };
  for (const Case& test : cases) {
    std::vector<std::uint8_t> image;
    std::string error;
    EXPECT_FALSE(LayOutElfImage(test.file, 1 << 20, image, error)) << test.name;
    EXPECT_NE(error.find(test.error), std::string::npos) << test.name << ": " << error;
    EXPECT_TRUE(image.empty()) << test.name;
  }
}

}  // namespace
}  // namespace quarvel::launcher
