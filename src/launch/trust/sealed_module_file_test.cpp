#include "launch/trust/sealed_module_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/testing/test_binaries.h"

// Writing a module into the file it is loaded from, against a file in
// memory that records what is done to it and can misbehave on request.
namespace quarvel::launcher {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::ReadBinary;
using test_support::TestBinaryDirectory;

// What can go wrong with the file.
struct Fault {
  bool createFails = false;
  bool writeFails = false;
  bool sealFails = false;
  // Another writer changes a byte just before the seal takes hold.
  bool changedBeforeSeal = false;
  // Reads stop this many bytes before the end, as if the file were shorter.
  std::size_t missingAtEnd = 0;
};

class FakeModuleFile : public cModuleFile {
 public:
  explicit FakeModuleFile(Fault fault = {}) : fault_(fault) {}

  bool Create(std::uint64_t size) override {
    steps.push_back("create");
    bytes.assign(size, 0);
    return !fault_.createFails;
  }
  bool WriteAt(std::uint64_t offset, std::span<const std::uint8_t> piece) override {
    steps.push_back(sealed ? "write after seal" : "write");
    if (fault_.writeFails || sealed || offset + piece.size() > bytes.size()) return false;
    writeOffsets.push_back(offset);
    std::copy(piece.begin(), piece.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
  }
  bool Seal() override {
    steps.push_back("seal");
    if (fault_.changedBeforeSeal) bytes[bytes.size() / 2] ^= 0x01;
    sealed = !fault_.sealFails;
    return sealed;
  }
  bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> into) override {
    if (steps.back() != "read") steps.push_back(sealed ? "read" : "read before seal");
    const std::uint64_t readable = bytes.size() - fault_.missingAtEnd;
    if (offset + into.size() > readable) return false;
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), into.size(), into.begin());
    return true;
  }

  std::vector<std::string> steps;  // consecutive reads count once
  std::vector<std::uint64_t> writeOffsets;
  Bytes bytes;
  bool sealed = false;

 private:
  Fault fault_;
};

// The image as pieces from its end, like an unscrambled payload comes.
ModulePieceSource PiecesOf(const Bytes& image) {
  return [&image, remaining = image.size()](std::span<std::uint8_t> piece) mutable {
    if (piece.size() > remaining) return false;
    remaining -= piece.size();
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(remaining), piece.size(), piece.begin());
    return true;
  };
}

class SealedModuleFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (BuiltInModuleKeys().empty()) GTEST_SKIP() << "this build has no module keys";
    signed_ = ReadBinary(TestBinaryDirectory() + "trailer_fixtures/signed.bin");
    ASSERT_GT(signed_.size(), kModuleTrailerSize);
    // Larger than one write piece, so that the pieces and their order count.
    large_ = signed_;
    const Bytes body(signed_.begin(), signed_.end() - kModuleTrailerSize);
    while (large_.size() < 200 * 1024) large_.insert(large_.begin(), body.begin(), body.end());
  }

  Bytes signed_;
  Bytes large_;
};

TEST_F(SealedModuleFileTest, TheSignatureIsCheckedOverTheSealedFile) {
  FakeModuleFile file;
  std::string reason;
  ASSERT_EQ(PrepareModuleFile(file, signed_.size(), PiecesOf(signed_), BuiltInModuleKeys(), reason),
            ModuleFileResult::Ready)
      << reason;
  EXPECT_EQ(file.bytes, signed_);
  EXPECT_EQ(file.steps, (std::vector<std::string>{"create", "write", "seal", "read"}));
}

TEST_F(SealedModuleFileTest, PiecesAreWrittenFromTheEndOnce) {
  // Unsigned here: what matters is the file's content. (The large image is
  // not signed as a whole.)
  FakeModuleFile file;
  std::string reason;
  EXPECT_EQ(PrepareModuleFile(file, large_.size(), PiecesOf(large_), BuiltInModuleKeys(), reason),
            ModuleFileResult::Refused);
  EXPECT_EQ(file.bytes, large_);
  ASSERT_GT(file.writeOffsets.size(), 1u);
  EXPECT_TRUE(std::is_sorted(file.writeOffsets.rbegin(), file.writeOffsets.rend()));
  EXPECT_EQ(file.writeOffsets.back(), 0u);
  EXPECT_EQ(std::count(file.steps.begin(), file.steps.end(), "seal"), 1);
  EXPECT_EQ(file.steps.back(), "read");
}

TEST_F(SealedModuleFileTest, WhatTheFileHoldsIsWhatCounts) {
  struct Case {
    const char* name;
    Fault fault;
    ModuleFileResult expected;
    const char* reason;
  };
  const Case cases[] = {
      {"a byte changed in the file before the seal", {.changedBeforeSeal = true}, ModuleFileResult::Refused,
       "the module signature does not match the module"},
      {"the file reads back one byte short", {.missingAtEnd = 1}, ModuleFileResult::Refused,
       "the module signature cannot be checked"},
      {"the file cannot be made", {.createFails = true}, ModuleFileResult::Failed, ""},
      {"a write fails", {.writeFails = true}, ModuleFileResult::Failed, ""},
      {"the seal fails", {.sealFails = true}, ModuleFileResult::Failed, ""},
  };
  for (const Case& test : cases) {
    FakeModuleFile file(test.fault);
    std::string reason;
    EXPECT_EQ(PrepareModuleFile(file, signed_.size(), PiecesOf(signed_), BuiltInModuleKeys(), reason),
              test.expected)
        << test.name;
    EXPECT_EQ(reason, test.reason) << test.name;
    // Nothing is read before the seal holds, nor written after.
    for (const std::string& step : file.steps) {
      EXPECT_NE(step, "read before seal") << test.name;
      EXPECT_NE(step, "write after seal") << test.name;
    }
    if (test.expected == ModuleFileResult::Failed) {
      EXPECT_EQ(std::count(file.steps.begin(), file.steps.end(), "read"), 0) << test.name;
    }
  }
}

TEST_F(SealedModuleFileTest, AnImageThatEndsEarlyIsNeitherSealedNorChecked) {
  const Bytes shorter(signed_.begin() + 1, signed_.end());
  FakeModuleFile file;
  std::string reason;
  EXPECT_EQ(PrepareModuleFile(file, signed_.size(), PiecesOf(shorter), BuiltInModuleKeys(), reason),
            ModuleFileResult::Failed);
  EXPECT_EQ(std::count(file.steps.begin(), file.steps.end(), "seal"), 0);
  EXPECT_EQ(std::count(file.steps.begin(), file.steps.end(), "read"), 0);
}

TEST(SealedModuleFile, WithoutKeysTheFileIsStillWrittenAndSealed) {
  const Bytes image(1000, 0x5A);
  FakeModuleFile file;
  std::string reason;
  EXPECT_EQ(PrepareModuleFile(file, image.size(), PiecesOf(image), {}, reason), ModuleFileResult::Ready);
  EXPECT_EQ(file.bytes, image);
  EXPECT_TRUE(file.sealed);
}

}  // namespace
}  // namespace quarvel::launcher
