#include "module_signing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/testing/test_scratch_directory.h"
#include "launch/delivery/scramble.h"
#include "module_files.h"
#include "qvl_cdn.h"

// qvl-cdn sign and the trailer report against the build's test keys
// (cmake/ModuleSigning.cmake), judged by the bootstrapper's own check.
namespace quarvel::cdn_tool {
namespace {

using launcher::test_support::ScratchDirectory;
using Bytes = std::vector<std::uint8_t>;

#ifdef QVL_TEST_MODULE_KEY_DIR
std::string KeyFile(const char* name) {
#ifdef _WIN32
  return std::string("Z:") + QVL_TEST_MODULE_KEY_DIR + "/" + name;
#else
  return std::string(QVL_TEST_MODULE_KEY_DIR) + "/" + name;
#endif
}

class ModuleSigningTest : public ::testing::Test {
 protected:
  Bytes Library() const {
    Bytes bytes(5000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    return bytes;
  }

  ScratchDirectory scratch_;
};

TEST_F(ModuleSigningTest, TheReportNamesTheKeyThatVerifies) {
  const Bytes plain = Library();
  bool verified = true;
  EXPECT_EQ(DescribeModuleSignature(plain, {KeyFile("signing.pub.pem")}, verified), "Signature: none (no trailer)\n");
  EXPECT_FALSE(verified);

  launcher::ModulePublicKey key;
  std::string error;
  ASSERT_TRUE(ReadModulePublicKey(KeyFile("signing.pub.pem"), key, error)) << error;
  EXPECT_EQ(key.id, launcher::BuiltInModuleKeys()[0].id);
  EXPECT_EQ(key.publicKeyInfo, launcher::BuiltInModuleKeys()[0].publicKeyInfo);
  EXPECT_FALSE(ReadModulePublicKey(KeyFile("signing.pem"), key, error)) << "a private key is no public key";
}

#ifndef _WIN32
TEST_F(ModuleSigningTest, SignedModulesVerifyWithTheBootstrappersCheckAndSurvivePublishing) {
  const std::string file = scratch_.Write("libmodule.so", std::string(5000, 'x'));
  std::ostringstream out, err;
  ASSERT_EQ(RunQvlCdn({"sign", "--key", KeyFile("signing.pem"), file}, out, err), kExitOk) << err.str();
  Bytes signedBytes;
  std::string error;
  ASSERT_TRUE(ReadModuleFile(file, signedBytes, error));
  ASSERT_EQ(signedBytes.size(), 5000 + launcher::kModuleTrailerSize);
  EXPECT_EQ(launcher::CheckModuleTrailer(signedBytes, launcher::BuiltInModuleKeys()),
            launcher::ModuleSignatureCheck::Valid);

  bool verified = false;
  const std::string report =
      DescribeModuleSignature(signedBytes, {KeyFile("other.pub.pem"), KeyFile("signing.pub.pem")}, verified);
  EXPECT_TRUE(verified) << report;
  EXPECT_NE(report.find("other.pub.pem: the module is signed by an unknown key"), std::string::npos) << report;
  EXPECT_NE(report.find("verifies with " + KeyFile("signing.pub.pem")), std::string::npos) << report;

  // Signing again, with another key, replaces the trailer.
  ASSERT_EQ(RunQvlCdn({"sign", "--key", KeyFile("other.pem"), file}, out, err), kExitOk) << err.str();
  Bytes resigned;
  ASSERT_TRUE(ReadModuleFile(file, resigned, error));
  EXPECT_EQ(resigned.size(), signedBytes.size());
  EXPECT_EQ(launcher::CheckModuleTrailer(resigned, launcher::BuiltInModuleKeys()),
            launcher::ModuleSignatureCheck::UnknownKey);

  // publish keeps every byte, the trailer included.
  ASSERT_EQ(RunQvlCdn({"sign", "--key", KeyFile("signing.pem"), file}, out, err), kExitOk) << err.str();
  ASSERT_TRUE(ReadModuleFile(file, signedBytes, error));
  std::string published;
  ASSERT_TRUE(PublishModule(file, "prod-1", "dep-1", "linux64", (scratch_.path() / "root").string(), published,
                            error))
      << error;
  Bytes served;
  ASSERT_TRUE(ReadModuleFile(published, served, error));
  launcher::UnscrambleModule(served);
  EXPECT_EQ(served, signedBytes);
}

TEST_F(ModuleSigningTest, SigningRefusesWhatItCannotUse) {
  const std::string file = scratch_.Write("libmodule.so", "module bytes");
  std::ostringstream out, err;
  EXPECT_EQ(RunQvlCdn({"sign", "--key", KeyFile("signing.pub.pem"), file}, out, err), kExitFailed);
  EXPECT_NE(err.str().find("is no readable ECDSA P-256 private key"), std::string::npos) << err.str();
  EXPECT_EQ(RunQvlCdn({"sign", file}, out, err), kExitUsage);
  EXPECT_EQ(RunQvlCdn({"sign", "--key", KeyFile("signing.pem")}, out, err), kExitUsage);
  Bytes unchanged;
  std::string error;
  ASSERT_TRUE(ReadModuleFile(file, unchanged, error));
  EXPECT_EQ(std::string(unchanged.begin(), unchanged.end()), "module bytes");
}
#endif
#endif  // QVL_TEST_MODULE_KEY_DIR

}  // namespace
}  // namespace quarvel::cdn_tool
