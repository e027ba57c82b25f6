#include <windows.h>
#include <shlobj.h>
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
  std::string reason;
  EXPECT_FALSE(VerifyModuleSignature(bytes, reason));
  EXPECT_EQ(reason, "the signature is not trusted");
  EXPECT_EQ(CacheRootFiles(), before) << "the temporary file is removed";
}

TEST(Signature, ImageChangedAfterSigningIsRefused) {
  EXPECT_EQ(VerifyFileTrust(Fixture("signed_tampered.dll").c_str()), FileTrust::NotTrusted);
  std::string reason;
  EXPECT_FALSE(VerifyModuleSignature(ReadFixture("signed_tampered.dll"), reason));
}

TEST(Signature, SignatureUnderAnUntrustedRootIsRefused) {
  if (IsRunningUnderWine()) {
    // Measured with Wine 8: crypt32 builds the chain and marks the root
    // CERT_E_UNTRUSTEDROOT, but WinVerifyTrust still returns 0.
    GTEST_SKIP() << "Wine's WinVerifyTrust does not fail on certificate chain errors";
  }
  EXPECT_EQ(VerifyFileTrust(Fixture("signed_untrusted_root.dll").c_str()), FileTrust::NotTrusted);
  std::string reason;
  EXPECT_FALSE(VerifyModuleSignature(ReadFixture("signed_untrusted_root.dll"), reason));
}

TEST_F(TrustedTestRoot, DllSignedByAnAcceptedNameIsAccepted) {
  const std::wstring path = Fixture("signed.dll");
  EXPECT_EQ(VerifyFileTrust(path.c_str()), FileTrust::Trusted);
  wchar_t signer[kSignerNameLength] = {};
  ASSERT_TRUE(GetSignerName(path.c_str(), signer));
  EXPECT_EQ(AsUtf16(signer), AcceptedSigners()[0]);

  const std::set<std::filesystem::path> before = CacheRootFiles();
  std::string reason;
  EXPECT_TRUE(VerifyModuleSignature(ReadFixture("signed.dll"), reason)) << reason;
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
  std::string reason;
  EXPECT_FALSE(VerifyModuleSignature(ReadFixture("signed_rejected_name.dll"), reason));
  EXPECT_EQ(reason, "the signer's name is not accepted");
}

std::string Hex(const PublicKeyHash& hash) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t byte : hash) {
    text += digits[byte >> 4];
    text += digits[byte & 15];
  }
  return text;
}

PublicKeyHash ParseHex(const std::string& text) {
  PublicKeyHash hash{};
  for (std::size_t i = 0; i < hash.size() && 2 * i + 1 < text.size(); ++i) {
    hash[i] = static_cast<std::uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
  }
  return hash;
}

TEST_F(TrustedTestRoot, TheSignerComesFromTheVerificationItself) {
  SignerFacts signer;
  ASSERT_EQ(VerifyFileTrust(Fixture("signed.dll").c_str(), &signer), FileTrust::Trusted);
  EXPECT_EQ(signer.name, AcceptedSigners()[0]);
  EXPECT_TRUE(signer.codeSigning);
  const std::vector<std::uint8_t> pin = ReadFixture("signed_key.sha256");
  EXPECT_EQ(Hex(signer.keyHash), std::string(pin.begin(), pin.begin() + 64));
}

TEST_F(TrustedTestRoot, APinnedKeyMustMatchAsWellAsTheName) {
  const std::vector<std::uint8_t> pinText = ReadFixture("signed_key.sha256");
  const PublicKeyHash pinned = ParseHex(std::string(pinText.begin(), pinText.end()));
  PublicKeyHash stranger = pinned;
  stranger[0] ^= 0xFF;
  const PublicKeyHash matching[] = {stranger, pinned};
  const PublicKeyHash other[] = {stranger};
  std::string reason;
  EXPECT_TRUE(VerifyModuleSignature(ReadFixture("signed.dll"), {AcceptedSigners(), matching}, reason)) << reason;
  EXPECT_FALSE(VerifyModuleSignature(ReadFixture("signed.dll"), {AcceptedSigners(), other}, reason));
  EXPECT_EQ(reason, "the signer's public key is not pinned");
}

// What another process of the player could try while the check runs: the
// temporary file can be neither opened for writing, nor replaced, nor
// deleted, and the check judges the bytes it wrote.
struct PauseRecord {
  bool openedForWriting = true;
  bool replaced = true;
  bool renamedOver = true;
  bool deleted = true;
};
PauseRecord gPause;

void TryToSwapTheFile(const wchar_t* path) {
  const HANDLE writer = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  gPause.openedForWriting = writer != INVALID_HANDLE_VALUE;
  if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
  gPause.replaced = CopyFileW(Fixture("signed.dll").c_str(), path, FALSE) != 0;
  const std::wstring copy = std::wstring(path) + L".signed";
  CopyFileW(Fixture("signed.dll").c_str(), copy.c_str(), FALSE);
  gPause.renamedOver = MoveFileExW(copy.c_str(), path, MOVEFILE_REPLACE_EXISTING) != 0;
  DeleteFileW(copy.c_str());
  gPause.deleted = DeleteFileW(path) != 0;
}

TEST_F(TrustedTestRoot, TheCheckedFileCannotBeSwappedWhileTheCheckRuns) {
  std::vector<std::uint8_t> unsignedImage;
  ASSERT_TRUE(ReadFileBytes((TestDirectory() + "qvl_mapper_test_dll.dll").c_str(), unsignedImage, 64u << 20));
  gPause = {};
  SetSignatureCheckPauseForTesting(&TryToSwapTheFile);
  std::string reason;
  const bool accepted = VerifyModuleSignature(unsignedImage, reason);
  SetSignatureCheckPauseForTesting(nullptr);
  EXPECT_FALSE(accepted) << "the unsigned image in memory is what counts";
  EXPECT_FALSE(gPause.openedForWriting);
  EXPECT_FALSE(gPause.replaced);
  EXPECT_FALSE(gPause.renamedOver);
  EXPECT_FALSE(gPause.deleted);
}

TEST(Signature, TheCheckedFileLivesUnderTheLocalApplicationData) {
  static std::wstring seen;
  seen.clear();
  SetSignatureCheckPauseForTesting([](const wchar_t* path) { seen = path; });
  std::string reason;
  VerifyModuleSignature(ReadFixture("signed_tampered.dll"), reason);
  SetSignatureCheckPauseForTesting(nullptr);
  wchar_t local[MAX_PATH];
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)));
  EXPECT_EQ(seen.rfind(std::wstring(local) + L"\\Quarvel\\", 0), 0u) << WideToUtf8(seen);
  EXPECT_EQ(GetFileAttributesW(seen.c_str()), INVALID_FILE_ATTRIBUTES) << "deleted once closed";
}

}  // namespace
}  // namespace quarvel::launcher
