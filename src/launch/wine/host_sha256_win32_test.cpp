#include "launch/wine/host_sha256.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/testing/test_log_capture.h"
#include "launch/wine/wine_helper_buffer.h"

// The host's libcrypto as the Wine loader hashes modules with it, in the Wine
// process the tests run in, against the standard's vectors and bcrypt.
namespace quarvel::launcher {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test_support::LogCapture;

class HostSha256Test : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "there is no Linux host outside Wine";
    ASSERT_TRUE(PlaceWineHelperBuffer());
    host_ = ChooseModuleSha256(kHostCryptoLibraries).hasher;
    ASSERT_TRUE(host_) << "this host has no libcrypto";
  }

  Sha256HasherFactory host_;
};

std::string Hex(const Sha256Digest& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Bytes that differ at every position and from one length to the next.
Bytes Pattern(std::size_t size) {
  Bytes bytes(size);
  std::uint32_t state = 0x9e3779b9u ^ static_cast<std::uint32_t>(size);
  for (std::uint8_t& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

// The digest of `bytes` given to `hash` in pieces of `piece` bytes; empty
// when a step fails.
std::string Digest(cSha256Hasher& hash, const Bytes& bytes, std::size_t piece) {
  for (std::size_t offset = 0; offset < bytes.size(); offset += piece) {
    const std::size_t length = std::min(piece, bytes.size() - offset);
    if (!hash.Update(std::span(bytes).subspan(offset, length))) return {};
  }
  Sha256Digest digest{};
  return hash.Finish(digest) ? Hex(digest) : std::string();
}

TEST_F(HostSha256Test, TheStandardsVectorsComeOut) {
  struct Case {
    const char* name;
    Bytes bytes;
    std::size_t piece;
    const char* digest;
  };
  const Case cases[] = {
      {"empty", {}, 1, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", Text("abc"), 1, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"two blocks", Text("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"), 7,
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"a million a", Bytes(1000000, 'a'), 4093, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Case& test : cases) {
    const std::unique_ptr<cSha256Hasher> hash = host_();
    EXPECT_EQ(Digest(*hash, test.bytes, test.piece), test.digest) << test.name;
  }
}

// The lengths around the 64-byte block and its 55-byte padding limit, given
// in pieces that end inside blocks, at their ends, and far apart.
TEST_F(HostSha256Test, DigestsMatchBcryptAcrossPieceBoundaries) {
  const std::size_t sizes[] = {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 3 * 65536 + 17, 9 * 1024 * 1024 + 3};
  const std::size_t pieces[] = {1, 55, 64, 65, 65536, 1 << 30};
  for (const std::size_t size : sizes) {
    const Bytes bytes = Pattern(size);
    for (const std::size_t piece : pieces) {
      if (piece == 1 && size > 4096) continue;
      const std::unique_ptr<cSha256Hasher> host = host_();
      cSha256 bcrypt;
      const std::string expected = Digest(bcrypt, bytes, piece);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(Digest(*host, bytes, piece), expected) << size << " bytes in pieces of " << piece;
    }
  }
}

TEST_F(HostSha256Test, AFinishedHasherIsSpent) {
  const std::unique_ptr<cSha256Hasher> hash = host_();
  Sha256Digest digest{};
  ASSERT_TRUE(hash->Finish(digest));
  EXPECT_FALSE(hash->Update(Text("abc")));
  EXPECT_FALSE(hash->Finish(digest));
}

// The first library that opens and has the functions is taken; a host
// without one leaves the hashing to bcrypt. Either way one line says so.
TEST_F(HostSha256Test, TheChoiceFallsBackToBcryptAndSaysWhich) {
  struct Case {
    const char* name;
    std::vector<const char*> libraries;
    const char* chosen;
    const char* line;
  };
  const Case cases[] = {
      {"the host's libcrypto", {"libqvl-no-such-crypto.so.9", "libcrypto.so.3"}, "libcrypto.so.3",
       "Native modules are hashed with the host's libcrypto.so.3."},
      {"no such library", {"libqvl-no-such-crypto.so.9"}, "bcrypt",
       "Native modules are hashed with bcrypt: the host has no usable libcrypto."},
      {"a library without SHA-256", {"libc.so.6"}, "bcrypt",
       "Native modules are hashed with bcrypt: the host has no usable libcrypto."},
      {"no library at all", {}, "bcrypt", "Native modules are hashed with bcrypt: the host has no usable libcrypto."},
  };
  for (const Case& test : cases) {
    LogCapture log;
    const ModuleSha256Choice choice = ChooseModuleSha256(test.libraries);
    EXPECT_EQ(choice.name, test.chosen) << test.name;
    EXPECT_EQ(static_cast<bool>(choice.hasher), choice.name != "bcrypt") << test.name;
    EXPECT_EQ(log.Stop(), (std::vector<LogCapture::Line>{{static_cast<unsigned>(LogLevel::Info), test.line}}))
        << test.name;
  }
}

}  // namespace
}  // namespace quarvel::launcher
