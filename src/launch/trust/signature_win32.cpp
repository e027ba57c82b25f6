#include <windows.h>
#include <shlobj.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "common/logger.h"
#include "common/platform.h"
#include "common/random.h"
#include "common/strings.h"
#include "common/text_encoding.h"
#include "launch/trust/sha256.h"
#include "launch/trust/signature.h"

namespace quarvel::launcher {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

// The trust structures as WinVerifyTrust reads them on x64, declared here so
// that their size does not depend on the SDK headers' target version.
struct TrustFileInfo {
  DWORD cbStruct;
  LPCWSTR pcwszFilePath;
  HANDLE hFile;
  GUID* pgKnownSubject;
};
static_assert(sizeof(TrustFileInfo) == 32);

struct TrustData {
  DWORD cbStruct;
  LPVOID pPolicyCallbackData;
  LPVOID pSIPClientData;
  DWORD dwUIChoice;
  DWORD fdwRevocationChecks;
  DWORD dwUnionChoice;
  TrustFileInfo* pFile;
  DWORD dwStateAction;
  HANDLE hWVTStateData;
  WCHAR* pwszURLReference;
  DWORD dwProvFlags;
  DWORD dwUIContext;
  void* pSignatureSettings;
};
static_assert(sizeof(TrustData) == 88);

constexpr DWORD kUiNone = 2;
constexpr DWORD kRevokeNone = 0;
constexpr DWORD kChoiceFile = 1;
constexpr DWORD kStateActionVerify = 1;
constexpr DWORD kStateActionClose = 2;
// WTD_REVOCATION_CHECK_NONE | WTD_SAFER_FLAG | WTD_CACHE_ONLY_URL_RETRIEVAL
constexpr DWORD kProviderFlags = 0x1110;
// WINTRUST_ACTION_GENERIC_VERIFY_V2
GUID kGenericVerifyV2 = {0x00AAC56B, 0xCD44, 0x11D0, {0x8C, 0xC2, 0x00, 0xC0, 0x4F, 0xC2, 0x95, 0xEE}};

using WinVerifyTrustFunction = LONG(WINAPI*)(HWND, GUID*, LPVOID);

struct TrustFunctions {
  WinVerifyTrustFunction winVerifyTrust;
  decltype(&::WTHelperProvDataFromStateData) provDataFromStateData;
  decltype(&::WTHelperGetProvSignerFromChain) provSignerFromChain;
  decltype(&::CertGetNameStringW) certGetNameStringW;
  decltype(&::CertGetEnhancedKeyUsage) certGetEnhancedKeyUsage;
  decltype(&::CryptEncodeObject) cryptEncodeObject;
};

std::mutex trustLock;
bool trustLoaded = false;  // guarded by trustLock; set once, never cleared
TrustFunctions trust{};
std::atomic<SignatureCheckPause> checkPause{nullptr};

template <class Function>
bool Resolve(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(library, name)));
  return function != nullptr;
}

// A library of the system directory, by full path so no other directory is
// searched. Libraries stay loaded.
HMODULE LoadSystemLibrary(const wchar_t* name) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(directory, length);
  if (path.back() != L'\\' && length + 1 < MAX_PATH) path += L'\\';
  return LoadLibraryW((path + name).c_str());
}

bool ResolveTrustFunctions(TrustFunctions& functions) {
  const HMODULE wintrust = LoadSystemLibrary(L"wintrust.dll");
  const HMODULE crypt32 = LoadSystemLibrary(L"crypt32.dll");
  if (wintrust == nullptr || crypt32 == nullptr) return false;
  return Resolve(wintrust, "WinVerifyTrust", functions.winVerifyTrust) &&
         Resolve(wintrust, "WTHelperProvDataFromStateData", functions.provDataFromStateData) &&
         Resolve(wintrust, "WTHelperGetProvSignerFromChain", functions.provSignerFromChain) &&
         Resolve(crypt32, "CertGetNameStringW", functions.certGetNameStringW) &&
         Resolve(crypt32, "CertGetEnhancedKeyUsage", functions.certGetEnhancedKeyUsage) &&
         Resolve(crypt32, "CryptEncodeObject", functions.cryptEncodeObject);
}

std::u16string ReadCertificateName(PCCERT_CONTEXT certificate) {
  const DWORD length = trust.certGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, nullptr, 0);
  if (length == 0) return {};
  std::wstring name(length, L'\0');
  if (trust.certGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name.data(), length) == 0) {
    return {};
  }
  name.resize(wcsnlen(name.c_str(), length));
  return std::u16string(name.begin(), name.end());
}

bool ReadPublicKeyHash(PCCERT_CONTEXT certificate, PublicKeyHash& hash) {
  DWORD size = 0;
  CERT_PUBLIC_KEY_INFO* key = &certificate->pCertInfo->SubjectPublicKeyInfo;
  if (!trust.cryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, nullptr, &size) || size == 0) {
    return false;
  }
  std::vector<std::uint8_t> encoded(size);
  if (!trust.cryptEncodeObject(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, key, encoded.data(), &size)) return false;
  encoded.resize(size);
  return ComputeSha256(encoded, hash);
}

// Only a certificate whose enhanced key usage names code signing; one
// without the extension is valid for every use, which is not enough here.
bool AllowsCodeSigning(PCCERT_CONTEXT certificate) {
  DWORD size = 0;
  if (!trust.certGetEnhancedKeyUsage(certificate, 0, nullptr, &size) || size == 0) return false;
  std::vector<std::uint8_t> buffer(size);
  auto* usage = reinterpret_cast<CERT_ENHKEY_USAGE*>(buffer.data());
  if (!trust.certGetEnhancedKeyUsage(certificate, 0, usage, &size)) return false;
  for (DWORD i = 0; i < usage->cUsageIdentifier; ++i) {
    if (std::string(usage->rgpszUsageIdentifier[i]) == szOID_PKIX_KP_CODE_SIGNING) return true;
  }
  return false;
}

// The signer of a verification whose state is still open.
bool ReadSigner(HANDLE state, SignerFacts& signer) {
  CRYPT_PROVIDER_DATA* provider = trust.provDataFromStateData(state);
  if (provider == nullptr) return false;
  CRYPT_PROVIDER_SGNR* signerInfo = trust.provSignerFromChain(provider, 0, FALSE, 0);
  if (signerInfo == nullptr || signerInfo->csCertChain == 0 || signerInfo->pasCertChain == nullptr) return false;
  PCCERT_CONTEXT certificate = signerInfo->pasCertChain[0].pCert;
  if (certificate == nullptr) return false;
  signer.name = ReadCertificateName(certificate);
  signer.codeSigning = AllowsCodeSigning(certificate);
  return !signer.name.empty() && ReadPublicKeyHash(certificate, signer.keyHash);
}

// Verifies the open file `file` (`path` names it for the trust provider,
// which reads through the handle) and, when trusted and `signer` is asked
// for, reads the signer before the verification's state is released.
FileTrust VerifyOpenFile(const wchar_t* path, HANDLE file, SignerFacts* signer) {
  TrustFileInfo info{sizeof(TrustFileInfo), path, file, nullptr};
  TrustData data{};
  data.cbStruct = sizeof(TrustData);
  data.dwUIChoice = kUiNone;
  data.fdwRevocationChecks = kRevokeNone;
  data.dwUnionChoice = kChoiceFile;
  data.pFile = &info;
  data.dwStateAction = kStateActionVerify;
  data.dwProvFlags = kProviderFlags;
  const HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG status = trust.winVerifyTrust(noWindow, &kGenericVerifyV2, &data);
  bool signerRead = true;
  if (status == 0 && signer != nullptr) signerRead = ReadSigner(data.hWVTStateData, *signer);
  data.dwStateAction = kStateActionClose;
  trust.winVerifyTrust(noWindow, &kGenericVerifyV2, &data);
  if (status != 0) {
    Log(LogLevel::Warning, "Module signature is not trusted: 0x%08lX.", static_cast<unsigned long>(status));
    return FileTrust::NotTrusted;
  }
  if (!signerRead) {
    Log(LogLevel::Warning, "The module's signer cannot be read.");
    return FileTrust::NotTrusted;
  }
  return FileTrust::Trusted;
}

// "<local application data>\Quarvel\": local, so never on a network share
// that roaming profiles may redirect to.
bool GetLocalWorkDirectory(std::wstring& directory) {
  wchar_t folder[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                              folder))) {
    return false;
  }
  directory = std::wstring(folder) + L"\\Quarvel\\";
  return CreateDirectoryW(directory.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// A new file holding the image, open for reading from its start. Others may
// only read it while it is open; it goes away when the handle is closed.
HANDLE WriteCheckedFile(const std::wstring& path, std::span<const std::uint8_t> image) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  DWORD written = 0;
  LARGE_INTEGER start{};
  const bool complete = image.size() <= MAXDWORD &&
                        WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr) &&
                        written == image.size() && SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
  if (!complete) {
    CloseHandle(file);
    return nullptr;
  }
  return file;
}

bool Refuse(std::string& reason, const char* why) {
  reason = why;
  Log(LogLevel::Error, "Module signature check failed: %s.", why);
  return false;
}

}  // namespace

bool LoadTrustFunctions() {
  std::lock_guard lock(trustLock);
  if (trustLoaded) return true;
  TrustFunctions functions{};
  if (!ResolveTrustFunctions(functions)) return false;
  trust = functions;
  trustLoaded = true;
  return true;
}

FileTrust VerifyFileTrust(const wchar_t* path, SignerFacts* signer) {
  if (!LoadTrustFunctions()) return FileTrust::TrustUnavailable;
  if (path == nullptr) return FileTrust::FileMissing;
  const HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return FileTrust::FileMissing;
  const FileTrust result = VerifyOpenFile(path, file, signer);
  CloseHandle(file);
  return result;
}

bool GetSignerName(const wchar_t* path, wchar_t* name) {
  if (path == nullptr || name == nullptr) return false;
  SignerFacts signer;
  if (VerifyFileTrust(path, &signer) != FileTrust::Trusted || signer.name.empty()) return false;
  const std::wstring wide(signer.name.begin(), signer.name.end());
  CopyWideTruncated(name, wide.c_str(), kSignerNameLength);
  return true;
}

bool VerifyModuleSignature(std::span<const std::uint8_t> image, std::string& reason) {
  return VerifyModuleSignature(image, BuildSignerPolicy(), reason);
}

bool VerifyModuleSignature(std::span<const std::uint8_t> image, const SignerPolicy& policy, std::string& reason) {
  reason.clear();
  if (!LoadTrustFunctions()) return Refuse(reason, "the trust functions are unavailable");
  std::wstring directory;
  if (!GetLocalWorkDirectory(directory)) return Refuse(reason, "no folder for the temporary file");
  char guid[37];
  GenerateGuidString(guid);
  const std::wstring path = directory + Utf8ToWide(guid);
  const HANDLE file = WriteCheckedFile(path, image);
  if (file == nullptr) return Refuse(reason, "the temporary file cannot be written");
  if (const SignatureCheckPause pause = checkPause.load()) pause(path.c_str());

  SignerFacts signer;
  const FileTrust trustResult = VerifyOpenFile(path.c_str(), file, &signer);
  CloseHandle(file);
  if (trustResult != FileTrust::Trusted) return Refuse(reason, "the signature is not trusted");
  const std::string judgement = JudgeSigner(signer, policy);
  if (!judgement.empty()) {
    Log(LogLevel::Error, "Module signer '%s' refused: %s.",
        WideToUtf8(std::wstring(signer.name.begin(), signer.name.end())).c_str(), judgement.c_str());
    reason = judgement;
    return false;
  }
  return true;
}

void SetSignatureCheckPauseForTesting(SignatureCheckPause pause) { checkPause.store(pause); }

}  // namespace quarvel::launcher
