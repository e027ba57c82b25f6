#include <windows.h>
#include <wincrypt.h>

#include <mutex>
#include <string>

#include "common/logger.h"
#include "common/platform.h"
#include "common/random.h"
#include "common/strings.h"
#include "common/text_encoding.h"
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
  decltype(&::CryptDecodeObject) cryptDecodeObject;
  decltype(&::CryptQueryObject) cryptQueryObject;
  decltype(&::CryptMsgGetParam) cryptMsgGetParam;
  decltype(&::CertEnumCertificatesInStore) certEnumCertificatesInStore;
  decltype(&::CertFindCertificateInStore) certFindCertificateInStore;
  decltype(&::CertGetNameStringW) certGetNameStringW;
  decltype(&::CertFreeCertificateContext) certFreeCertificateContext;
  decltype(&::CertOpenSystemStoreW) certOpenSystemStoreW;
  decltype(&::CertCloseStore) certCloseStore;
  decltype(&::CryptMsgClose) cryptMsgClose;
};

std::mutex trustLock;
bool trustLoaded = false;  // guarded by trustLock; set once, never cleared
TrustFunctions trust{};

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
         Resolve(crypt32, "CryptDecodeObject", functions.cryptDecodeObject) &&
         Resolve(crypt32, "CryptQueryObject", functions.cryptQueryObject) &&
         Resolve(crypt32, "CryptMsgGetParam", functions.cryptMsgGetParam) &&
         Resolve(crypt32, "CertEnumCertificatesInStore", functions.certEnumCertificatesInStore) &&
         Resolve(crypt32, "CertFindCertificateInStore", functions.certFindCertificateInStore) &&
         Resolve(crypt32, "CertGetNameStringW", functions.certGetNameStringW) &&
         Resolve(crypt32, "CertFreeCertificateContext", functions.certFreeCertificateContext) &&
         Resolve(crypt32, "CertOpenSystemStoreW", functions.certOpenSystemStoreW) &&
         Resolve(crypt32, "CertCloseStore", functions.certCloseStore) &&
         Resolve(crypt32, "CryptMsgClose", functions.cryptMsgClose);
}

// The signer's certificate name; empty when it cannot be read.
std::wstring ReadSignerName(const wchar_t* path) {
  HCERTSTORE store = nullptr;
  HCRYPTMSG message = nullptr;
  PCMSG_SIGNER_INFO signer = nullptr;
  PCCERT_CONTEXT certificate = nullptr;
  wchar_t* name = nullptr;
  std::wstring result;

  DWORD size = 0;
  if (trust.cryptQueryObject(CERT_QUERY_OBJECT_FILE, path, CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                             CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message,
                             nullptr) &&
      trust.cryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) && size != 0 &&
      (signer = static_cast<PCMSG_SIGNER_INFO>(LocalAlloc(LPTR, size))) != nullptr &&
      trust.cryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, signer, &size)) {
    CERT_INFO wanted{};
    wanted.Issuer = signer->Issuer;
    wanted.SerialNumber = signer->SerialNumber;
    certificate = trust.certFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0,
                                                   CERT_FIND_SUBJECT_CERT, &wanted, nullptr);
  }
  const DWORD length = certificate != nullptr ? trust.certGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0,
                                                                         nullptr, nullptr, 0)
                                              : 0;
  if (length != 0 && (name = static_cast<wchar_t*>(LocalAlloc(LPTR, length * sizeof(wchar_t)))) != nullptr &&
      trust.certGetNameStringW(certificate, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, length) != 0) {
    name[length - 1] = L'\0';
    result = name;
  }

  if (name != nullptr) LocalFree(name);
  if (signer != nullptr) LocalFree(signer);
  if (certificate != nullptr) trust.certFreeCertificateContext(certificate);
  if (store != nullptr) trust.certCloseStore(store, 0);
  if (message != nullptr) trust.cryptMsgClose(message);
  return result;
}

bool FileExists(const wchar_t* path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(path, &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// The whole image into a new file; false (nothing left behind) on failure.
bool WriteTemporaryFile(const std::wstring& path, std::span<const std::uint8_t> image) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool complete = image.size() <= MAXDWORD &&
                        WriteFile(file, image.data(), static_cast<DWORD>(image.size()), &written, nullptr) &&
                        written == image.size();
  CloseHandle(file);
  if (!complete) DeleteFileW(path.c_str());
  return complete;
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

FileTrust VerifyFileTrust(const wchar_t* path) {
  if (!LoadTrustFunctions()) return FileTrust::TrustUnavailable;
  if (path == nullptr || !FileExists(path)) return FileTrust::FileMissing;

  TrustFileInfo file{sizeof(TrustFileInfo), path, nullptr, nullptr};
  TrustData data{};
  data.cbStruct = sizeof(TrustData);
  data.dwUIChoice = kUiNone;
  data.fdwRevocationChecks = kRevokeNone;
  data.dwUnionChoice = kChoiceFile;
  data.pFile = &file;
  data.dwStateAction = kStateActionVerify;
  data.dwProvFlags = kProviderFlags;
  const HWND noWindow = static_cast<HWND>(INVALID_HANDLE_VALUE);
  const LONG status = trust.winVerifyTrust(noWindow, &kGenericVerifyV2, &data);
  data.dwStateAction = kStateActionClose;
  trust.winVerifyTrust(noWindow, &kGenericVerifyV2, &data);
  if (status != 0) {
    Log(LogLevel::Warning, "Module signature is not trusted: 0x%08lX.", static_cast<unsigned long>(status));
    return FileTrust::NotTrusted;
  }
  return FileTrust::Trusted;
}

bool GetSignerName(const wchar_t* path, wchar_t* name) {
  if (path == nullptr || name == nullptr || !LoadTrustFunctions()) return false;
  const std::wstring signer = ReadSignerName(path);
  if (signer.empty()) return false;
  CopyWideTruncated(name, signer.c_str(), kSignerNameLength);
  return true;
}

bool VerifyModuleSignature(std::span<const std::uint8_t> image) {
  std::string root;
  if (!GetCacheRootDirectory(root)) {
    Log(LogLevel::Warning, "Module signature check skipped: no cache directory.");
    return true;
  }
  char guid[37];
  GenerateGuidString(guid);
  const std::wstring path = Utf8ToWide(root + guid);
  if (!WriteTemporaryFile(path, image)) {
    Log(LogLevel::Warning, "Module signature check skipped: the temporary file cannot be written.");
    return true;
  }

  bool accepted = true;
  switch (VerifyFileTrust(path.c_str())) {
    case FileTrust::Trusted: {
      wchar_t signer[kSignerNameLength] = {};
      accepted = GetSignerName(path.c_str(), signer) && IsAcceptedSigner(reinterpret_cast<const char16_t*>(signer));
      if (!accepted) Log(LogLevel::Error, "Module signer is not accepted: '%s'.", WideToUtf8(signer).c_str());
      break;
    }
    case FileTrust::NotTrusted:
      accepted = false;
      break;
    case FileTrust::TrustUnavailable:
      Log(LogLevel::Warning, "Module signature check skipped: the trust functions are unavailable.");
      break;
    case FileTrust::FileMissing:
      Log(LogLevel::Warning, "Module signature check skipped: the temporary file vanished.");
      break;
  }
  DeleteFileW(path.c_str());
  return accepted;
}

}  // namespace quarvel::launcher
