#include <windows.h>
#include <winhttp.h>

#include "common/text_encoding.h"
#include "net/proxy_discovery.h"

namespace quarvel {
namespace {

using GetIeProxyConfigFunction = BOOL(WINAPI*)(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG*);
using OpenFunction = HINTERNET(WINAPI*)(LPCWSTR, DWORD, LPCWSTR, LPCWSTR, DWORD);
using GetProxyForUrlFunction = BOOL(WINAPI*)(HINTERNET, LPCWSTR, WINHTTP_AUTOPROXY_OPTIONS*, WINHTTP_PROXY_INFO*);
using CloseHandleFunction = BOOL(WINAPI*)(HINTERNET);

// WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY: older headers lack it.
constexpr DWORD kAccessTypeAutomaticProxy = 4;

std::string ToUtf8(const wchar_t* text) { return text == nullptr ? std::string() : WideToUtf8(text); }

void FreeString(LPWSTR text) {
  if (text != nullptr) GlobalFree(text);
}

void* Lookup(void* module, void* known, const char* name) {
  if (known != nullptr) return known;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

// Asks WinHTTP for the proxies of `url` by automatic detection and, when the
// user configured one, the proxy script.
void AddAutomaticCandidates(void* open, void* getProxyForUrl, void* closeHandle, const std::string& url,
                            const WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config,
                            std::vector<ProxyCandidate>& candidates) {
  if (open == nullptr) return;
  const auto openSession = reinterpret_cast<OpenFunction>(open);
  HINTERNET session = openSession(nullptr, kAccessTypeAutomaticProxy, nullptr, nullptr, 0);
  if (session == nullptr) session = openSession(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0);
  if (session == nullptr) return;

  WINHTTP_AUTOPROXY_OPTIONS options{};
  options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
  options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  options.fAutoLogonIfChallenged = TRUE;
  if (config != nullptr) {
    if (!config->fAutoDetect) {
      options.dwFlags = 0;
      options.dwAutoDetectFlags = 0;
    }
    if (config->lpszAutoConfigUrl != nullptr) {
      options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
      options.lpszAutoConfigUrl = config->lpszAutoConfigUrl;
    }
  }

  WINHTTP_PROXY_INFO info{};
  const std::wstring wideUrl = Utf8ToWide(url);
  if (getProxyForUrl != nullptr &&
      reinterpret_cast<GetProxyForUrlFunction>(getProxyForUrl)(session, wideUrl.c_str(), &options, &info)) {
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NO_PROXY && info.lpszProxy != nullptr) {
      AddAutomaticProxyCandidates(ToUtf8(info.lpszProxy), ToUtf8(info.lpszProxyBypass), candidates);
    }
    FreeString(info.lpszProxy);
    FreeString(info.lpszProxyBypass);
  }
  if (closeHandle != nullptr) reinterpret_cast<CloseHandleFunction>(closeHandle)(session);
}

}  // namespace

cProxyDiscovery::~cProxyDiscovery() {
  if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
}

bool cProxyDiscovery::Discover(const std::string& url, std::vector<ProxyCandidate>& candidates) {
  candidates.clear();
  // From the system directory only: a winhttp.dll dropped into the game's
  // folder must never be loaded in its place.
  if (module_ == nullptr) module_ = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module_ == nullptr) return false;
  getIeProxyConfigForCurrentUser_ =
      Lookup(module_, getIeProxyConfigForCurrentUser_, "WinHttpGetIEProxyConfigForCurrentUser");
  open_ = Lookup(module_, open_, "WinHttpOpen");
  getProxyForUrl_ = Lookup(module_, getProxyForUrl_, "WinHttpGetProxyForUrl");
  closeHandle_ = Lookup(module_, closeHandle_, "WinHttpCloseHandle");

  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (getIeProxyConfigForCurrentUser_ != nullptr &&
      reinterpret_cast<GetIeProxyConfigFunction>(getIeProxyConfigForCurrentUser_)(&config) == TRUE) {
    AddManualProxyCandidates(url, ToUtf8(config.lpszProxy), ToUtf8(config.lpszProxyBypass), candidates);
    AddAutomaticCandidates(open_, getProxyForUrl_, closeHandle_, url, &config, candidates);
    FreeString(config.lpszAutoConfigUrl);
    FreeString(config.lpszProxy);
    FreeString(config.lpszProxyBypass);
  } else {
    AddAutomaticCandidates(open_, getProxyForUrl_, closeHandle_, url, nullptr, candidates);
  }
  return !candidates.empty();
}

}  // namespace quarvel
