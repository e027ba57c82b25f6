#include "launch/trust/module_trailer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_log_capture.h"
#include "launch/trust/sha256.h"

// The native module signature against files signed at build time with the
// development key and with a second key by tests/tools/sign_module.sh, an
// implementation of the trailer independent of this one. Runs natively
// (OpenSSL) and under Wine (bcrypt).
namespace quarvel::launcher {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::LogCapture;

Bytes ReadFixture(const char* name) {
  std::string directory;
  GetExecutableDirectory(directory);
#ifdef _WIN32
  const std::string path = directory + "trailer_fixtures\\" + name;
#else
  const std::string path = directory + "trailer_fixtures/" + name;
#endif
  Bytes bytes;
  ReadFileBytes(path.c_str(), bytes, 1024 * 1024);
  return bytes;
}

class ModuleTrailerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (BuiltInModuleKeys().empty()) GTEST_SKIP() << "this build has no module keys";
    signed_ = ReadFixture("signed.bin");
    otherKey_ = ReadFixture("other_key.bin");
    otherPublicKey_ = ReadFixture("other_key.der");
    ASSERT_GT(signed_.size(), kModuleTrailerSize);
    ASSERT_EQ(otherPublicKey_.size(), kP256PublicKeyInfoSize);
  }

  Bytes signed_;
  Bytes otherKey_;
  Bytes otherPublicKey_;
};

TEST_F(ModuleTrailerTest, TheTrailerIsReadFromTheEnd) {
  ModuleTrailer trailer;
  ASSERT_TRUE(ReadModuleTrailer(signed_, trailer));
  EXPECT_EQ(trailer.signedBytes.size(), signed_.size() - kModuleTrailerSize);
  EXPECT_EQ(trailer.keyId, BuiltInModuleKeys()[0].id);

  // The key id is the same hash of the public key that the signing script
  // took.
  ModuleTrailer other;
  ASSERT_TRUE(ReadModuleTrailer(otherKey_, other));
  ModuleKeyId id;
  ASSERT_TRUE(ComputeModuleKeyId(otherPublicKey_, id));
  EXPECT_EQ(other.keyId, id);
}

TEST_F(ModuleTrailerTest, OnlyTheSignedBytesWithTheirSignatureVerify) {
  const Bytes unsigned_(signed_.begin(), signed_.end() - kModuleTrailerSize);
  Bytes flippedBody = signed_;
  flippedBody[flippedBody.size() / 3] ^= 0x01;
  Bytes flippedSignature = signed_;
  flippedSignature[flippedSignature.size() - kModuleTrailerSize + 5] ^= 0x80;
  Bytes flippedMagic = signed_;
  flippedMagic.back() ^= 0x01;
  Bytes extended = signed_;
  extended.push_back(0);

  struct Case {
    const char* name;
    const Bytes& image;
    ModuleSignatureCheck expected;
  };
  const Case cases[] = {
      {"signed with the build's key", signed_, ModuleSignatureCheck::Valid},
      {"unsigned", unsigned_, ModuleSignatureCheck::Missing},
      {"a byte of the library flipped", flippedBody, ModuleSignatureCheck::Invalid},
      {"a byte of the signature flipped", flippedSignature, ModuleSignatureCheck::Invalid},
      {"the magic damaged", flippedMagic, ModuleSignatureCheck::Missing},
      {"a byte appended after the trailer", extended, ModuleSignatureCheck::Missing},
      {"signed with another key", otherKey_, ModuleSignatureCheck::UnknownKey},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(CheckModuleTrailer(test.image, BuiltInModuleKeys()), test.expected) << test.name;
    // Read a piece at a time, the image gets the same verdict.
    const ModuleImageReader read = [&test](std::uint64_t offset, std::span<std::uint8_t> into) {
      if (offset + into.size() > test.image.size()) return false;
      std::copy_n(test.image.begin() + static_cast<std::ptrdiff_t>(offset), into.size(), into.begin());
      return true;
    };
    EXPECT_EQ(CheckModuleTrailer(test.image.size(), read, BuiltInModuleKeys()), test.expected) << test.name;
    std::string reason;
    EXPECT_EQ(AcceptNativeModule(test.image, BuiltInModuleKeys(), reason),
              test.expected == ModuleSignatureCheck::Valid)
        << test.name;
    EXPECT_EQ(reason.empty(), test.expected == ModuleSignatureCheck::Valid) << test.name << ": " << reason;
  }
}

// A trailer that names a known key but was made with another is refused by
// the signature itself, not by the key id.
TEST_F(ModuleTrailerTest, AKeyIdAloneProvesNothing) {
  Bytes forged = otherKey_;
  const ModuleKeyId known = BuiltInModuleKeys()[0].id;
  std::copy(known.begin(), known.end(), forged.end() - kModuleTrailerSize + kModuleSignatureSize);
  EXPECT_EQ(CheckModuleTrailer(forged, BuiltInModuleKeys()), ModuleSignatureCheck::Invalid);

  // With the other key known under its own id, its signature verifies.
  ModulePublicKey other;
  ASSERT_TRUE(ComputeModuleKeyId(otherPublicKey_, other.id));
  std::copy(otherPublicKey_.begin(), otherPublicKey_.end(), other.publicKeyInfo.begin());
  const ModulePublicKey both[] = {BuiltInModuleKeys()[0], other};
  EXPECT_EQ(CheckModuleTrailer(otherKey_, both), ModuleSignatureCheck::Valid);
  EXPECT_EQ(CheckModuleTrailer(signed_, both), ModuleSignatureCheck::Valid);
}

// The platform's hasher, counting what it is given; or one that refuses.
class CountingHasher final : public cSha256Hasher {
 public:
  CountingHasher(std::size_t& given, bool refuse) : given_(given), refuse_(refuse) {}
  bool Update(std::span<const std::uint8_t> bytes) override {
    given_ += bytes.size();
    return !refuse_ && hash_.Update(bytes);
  }
  bool Finish(Sha256Digest& digest) override { return !refuse_ && hash_.Finish(digest); }

 private:
  cSha256 hash_;
  std::size_t& given_;
  bool refuse_;
};

// A loader may bring its own hasher (under Wine, the host's): the signed
// bytes go to it, all of them, and its refusal fails the check.
TEST_F(ModuleTrailerTest, TheSignedBytesGoToTheHasherGiven) {
  const ModuleImageReader read = [this](std::uint64_t offset, std::span<std::uint8_t> into) {
    std::copy_n(signed_.begin() + static_cast<std::ptrdiff_t>(offset), into.size(), into.begin());
    return true;
  };
  struct Case {
    const char* name;
    bool refuse;
    bool makesHasher;
    ModuleSignatureCheck expected;
  };
  const Case cases[] = {
      {"a working hasher", false, true, ModuleSignatureCheck::Valid},
      {"a refusing hasher", true, true, ModuleSignatureCheck::Failed},
      {"no hasher made", false, false, ModuleSignatureCheck::Failed},
  };
  for (const Case& test : cases) {
    std::size_t given = 0;
    const Sha256HasherFactory hasher = [&]() -> std::unique_ptr<cSha256Hasher> {
      if (!test.makesHasher) return nullptr;
      return std::make_unique<CountingHasher>(given, test.refuse);
    };
    EXPECT_EQ(CheckModuleTrailer(signed_.size(), read, BuiltInModuleKeys(), hasher), test.expected) << test.name;
    if (test.expected == ModuleSignatureCheck::Valid) EXPECT_EQ(given, signed_.size() - kModuleTrailerSize);
  }
}

TEST(ModuleTrailer, WithoutKeysAnyModuleLoadsAndTheFirstOneWarns) {
  ResetUnverifiedModuleWarningForTesting();
  const Bytes unsigned_(200, 0x5A);
  LogCapture log;
  std::string reason;
  EXPECT_TRUE(AcceptNativeModule(unsigned_, {}, reason));
  EXPECT_TRUE(AcceptNativeModule(unsigned_, {}, reason));
  EXPECT_TRUE(reason.empty());
  const std::vector<LogCapture::Line> lines = log.Stop();
  const auto warnings = std::count_if(lines.begin(), lines.end(), [](const LogCapture::Line& line) {
    return line.level == static_cast<unsigned>(LogLevel::Warning) &&
           line.text == "No module signing keys are configured: native modules are loaded unverified.";
  });
  EXPECT_EQ(warnings, 1);
}

TEST(ModuleTrailer, ShortImagesHaveNoTrailer) {
  ModuleTrailer trailer;
  EXPECT_FALSE(ReadModuleTrailer({}, trailer));
  Bytes onlyTrailer(kModuleTrailerSize, 0);
  std::copy(std::begin(kModuleTrailerMagic), std::end(kModuleTrailerMagic), onlyTrailer.end() - 8);
  EXPECT_FALSE(ReadModuleTrailer(onlyTrailer, trailer)) << "a trailer signs at least one byte";
  onlyTrailer.insert(onlyTrailer.begin(), 0x7F);
  EXPECT_TRUE(ReadModuleTrailer(onlyTrailer, trailer));
  EXPECT_EQ(trailer.signedBytes.size(), 1u);
}

}  // namespace
}  // namespace quarvel::launcher
