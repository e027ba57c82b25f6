#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "common/platform.h"
#include "common/text_encoding.h"
#include "launch/trust/signature.h"

// The signature check against copies of the test DLL signed at build time by
// throw-away certificates (signature_test_fixtures.sh). The tests' root is
// trusted for the current user of the private Wine prefix the tests run in.
namespace quarvel::launcher {
namespace {

std::string TestDirectory() {
  std::string directory;
  GetExecutableDirectory(directory);
  return directory;
}

std::wstring Fixture(const char* name) { return Utf8ToWide(TestDirectory() + "signature_fixtures\\" + name); }

std::vector<std::uint8_t> ReadFixture(const char* name) {
  std::vector<std::uint8_t> bytes;
  ReadFileBytes(WideToUtf8(Fixture(name)).c_str(), bytes, 64u * 1024 * 1024);
  return bytes;
}

std::u16string AsUtf16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

std::u16string Lowercase(std::u16string text) {
  for (char16_t& c : text) c = c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  return text;
}

std::set<std::filesystem::path> CacheRootFiles() {
  std::string root;
  std::set<std::filesystem::path> files;
  if (!GetCacheRootDirectory(root)) return files;
  for (const auto& entry : std::filesystem::directory_iterator(Utf8ToWide(root))) files.insert(entry.path());
  return files;
}

// Tests that need the tests' root trusted; it is installed only in the
// tests' own Wine prefix (on Windows, adding a root asks the user).
class TrustedTestRoot : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!IsRunningUnderWine()) return;
    const std::vector<std::uint8_t> root = ReadFixture("test_root.der");
    ASSERT_FALSE(root.empty());
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, root.data(),
                                                 static_cast<DWORD>(root.size()), CERT_STORE_ADD_REPLACE_EXISTING,
                                                 nullptr));
    CertCloseStore(store, 0);
  }

  void SetUp() override {
    if (!IsRunningUnderWine()) GTEST_SKIP() << "the test root is trusted only in the tests' Wine prefix";
  }
};

TEST(Signature, TrustFunctionsLoadFromTheSystemDirectory) { EXPECT_TRUE(LoadTrustFunctions()); }

TEST(Signature, MissingFile) { EXPECT_EQ(VerifyFileTrust(Fixture("no_such_file.dll").c_str()), FileTrust::FileMissing); }

TEST(Signature, UnsignedDllIsRefused) {
  const std::wstring path = Utf8ToWide(TestDirectory() + "qvl_mapper_test_dll.dll");
  EXPECT_EQ(VerifyFileTrust(path.c_str()), FileTrust::NotTrusted);
  wchar_t signer[kSignerNameLength] = {};
  EXPECT_FALSE(GetSignerName(path.c_str(), signer));

  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadFileBytes(WideToUtf8(path).c_str(), bytes, 64u * 1024 * 1024));
  const std::set<std::filesystem::path> before = CacheRootFiles();
  EXPECT_FALSE(VerifyModuleSignature(bytes));
  EXPECT_EQ(CacheRootFiles(), before) << "the temporary file is removed";
}

TEST(Signature, ImageChangedAfterSigningIsRefused) {
  EXPECT_EQ(VerifyFileTrust(Fixture("signed_tampered.dll").c_str()), FileTrust::NotTrusted);
  EXPECT_FALSE(VerifyModuleSignature(ReadFixture("signed_tampered.dll")));
}

TEST(Signature, SignatureUnderAnUntrustedRootIsRefused) {
  if (IsRunningUnderWine()) {
    // Measured with Wine 8: crypt32 builds the chain and marks the root
    // CERT_E_UNTRUSTEDROOT, but WinVerifyTrust still returns 0.
    GTEST_SKIP() << "Wine's WinVerifyTrust does not fail on certificate chain errors";
  }
  EXPECT_EQ(VerifyFileTrust(Fixture("signed_untrusted_root.dll").c_str()), FileTrust::NotTrusted);
  EXPECT_FALSE(VerifyModuleSignature(ReadFixture("signed_untrusted_root.dll")));
}

TEST_F(TrustedTestRoot, DllSignedByAnAcceptedNameIsAccepted) {
  const std::wstring path = Fixture("signed.dll");
  EXPECT_EQ(VerifyFileTrust(path.c_str()), FileTrust::Trusted);
  wchar_t signer[kSignerNameLength] = {};
  ASSERT_TRUE(GetSignerName(path.c_str(), signer));
  EXPECT_EQ(AsUtf16(signer), AcceptedSigners()[0]);

  const std::set<std::filesystem::path> before = CacheRootFiles();
  EXPECT_TRUE(VerifyModuleSignature(ReadFixture("signed.dll")));
  EXPECT_EQ(CacheRootFiles(), before) << "the temporary file is removed";
}

TEST_F(TrustedTestRoot, TrustedSignatureOfANameDifferingInCaseIsRefused) {
  const std::u16string rejected = Lowercase(AcceptedSigners()[0]);
  ASSERT_FALSE(IsAcceptedSigner(rejected.c_str()));
  const std::wstring path = Fixture("signed_rejected_name.dll");
  EXPECT_EQ(VerifyFileTrust(path.c_str()), FileTrust::Trusted);
  wchar_t signer[kSignerNameLength] = {};
  ASSERT_TRUE(GetSignerName(path.c_str(), signer));
  EXPECT_EQ(AsUtf16(signer), rejected);
  EXPECT_FALSE(VerifyModuleSignature(ReadFixture("signed_rejected_name.dll")));
}

}  // namespace
}  // namespace quarvel::launcher
