#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

#include "net/deployment.h"
#include "net/proxy_candidates.h"
#include "net/proxy_discovery.h"
#include "net/trust_policy.h"

namespace quarvel {

// Receives each log line of a transfer (terminated text).
using HttpLogCallback = void (*)(const char* line);

// One libcurl easy handle with the options every transfer has: HTTP(S) only,
// no signals, peer and host name always verified, against the CAs its trust
// policy names (the deployment's choice unless told otherwise), no
// revocation lookups. Collects the response headers and body. Perform tries the URL directly and, when that fails, once
// through each proxy that the user's settings name. One thread at a time.
class cHttpTransfer {
 public:
  // A null callback means the transfer logs nothing.
  explicit cHttpTransfer(HttpLogCallback logCallback = nullptr,
                         TrustPolicy trustPolicy = deployment::DefaultTrustPolicy());
  virtual ~cHttpTransfer();
  cHttpTransfer(const cHttpTransfer&) = delete;
  cHttpTransfer& operator=(const cHttpTransfer&) = delete;

  // Creates the handle when there is none and sets the base options. Fails
  // when the run-time libcurl differs from the one the program was built
  // with, or an option is refused (no handle remains then).
  bool Initialize();
  // Back to the base options: every option set since is gone, the response
  // is cleared. Returns Initialize's result.
  bool Reset();

  // curl_easy_setopt with a value of the option's type; integers are passed
  // as long or, for CURLOPTTYPE_OFF_T options, as curl_off_t. False (and a
  // log line) when there is no handle or libcurl refuses.
  template <typename T>
  bool SetOption(CURLoption option, T value);
  // The connect timeout; Perform derives the proxy attempts' timeouts from it.
  bool SetConnectTimeout(std::int32_t milliseconds);
  // Refuses a response body longer than `bytes`: a larger Content-Length
  // ends the transfer at the header, libcurl is told the limit
  // (CURLOPT_MAXFILESIZE_LARGE), and a body that grows past it (chunked, or
  // longer than declared) ends it in the write callback. The attempt fails
  // (CURLE_FILESIZE_EXCEEDED or CURLE_WRITE_ERROR), no proxy is tried and no
  // body is kept. Reset lifts the limit.
  bool SetMaxBodySize(std::uint64_t bytes);
  // True when the last Perform ended because the body was too large.
  bool BodyTooLarge() const { return bodyTooLarge_; }

  // Appends "Name: value" to the request headers.
  bool AddHeader(const char* line);

  // GET or whatever the options say; `timeoutMs` limits each attempt as a
  // whole (0: no limit). True when the last attempt's code is CURLE_OK; an
  // HTTP error status is no failure here.
  bool Perform(const std::string& url, CURLcode& code, std::int32_t timeoutMs);

  // Looks the name up case-insensitively; true for a non-empty value.
  bool GetResponseHeader(const std::string& name, std::string& value) const;
  const std::map<std::string, std::string>& GetResponseHeaders() const { return responseHeaders_; }
  const std::vector<std::uint8_t>& GetResponseBody() const { return responseBody_; }
  // Moves the body out, leaving it empty: a large download is not copied.
  std::vector<std::uint8_t> TakeResponseBody();

  CURL* GetHandle() const { return handle_; }
  std::int32_t GetConnectTimeout() const { return connectTimeout_; }
  bool UsedProxy() const { return usedProxy_; }
  bool IsProxyDiscoveryLoaded() const { return proxyDiscovery_.IsLibraryLoaded(); }

  // libcurl's default connect timeout, in force after Initialize.
  static constexpr std::int32_t kDefaultConnectTimeoutMs = 300000;
  // The connect timeout of the first proxy attempt; later ones get half.
  static std::int32_t FirstProxyConnectTimeout(std::int32_t connectTimeoutMs);

 protected:
  // The proxies to try after a failed direct attempt, in order.
  virtual bool DiscoverProxies(const std::string& url, std::vector<ProxyCandidate>& candidates);

 private:
  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* context);
  static std::size_t OnWrite(char* data, std::size_t size, std::size_t count, void* context);
  static std::size_t OnRead(char* data, std::size_t size, std::size_t count, void* context);

  bool SetBaseOptions();
  bool SetTrustedCas();
  bool CheckOption(CURLoption option, CURLcode result);
  bool ClearCaLocation(CURLoption option);
  bool SetConnectTimeoutOption(std::int32_t milliseconds);
  CURLcode Attempt();
  void ClearResponse();
  void LogLine(const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

  HttpLogCallback logCallback_;
  TrustPolicy trustPolicy_;
  CURL* handle_ = nullptr;
  char errorBuffer_[CURL_ERROR_SIZE] = {};
  curl_slist* requestHeaders_ = nullptr;
  std::map<std::string, std::string> responseHeaders_;
  std::vector<std::uint8_t> responseBody_;
  std::int32_t connectTimeout_ = kDefaultConnectTimeoutMs;
  std::uint64_t maxBodySize_ = UINT64_MAX;
  bool bodyTooLarge_ = false;
  bool usedProxy_ = false;
  cProxyDiscovery proxyDiscovery_;
};

template <typename T>
bool cHttpTransfer::SetOption(CURLoption option, T value) {
  if (handle_ == nullptr) return false;
  // The parentheses keep curl's type-checking macro out: it cannot see
  // through a template.
  if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
    if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB) {
      return CheckOption(option, (curl_easy_setopt)(handle_, option, static_cast<curl_off_t>(value)));
    }
    return CheckOption(option, (curl_easy_setopt)(handle_, option, static_cast<long>(value)));
  } else {
    return CheckOption(option, (curl_easy_setopt)(handle_, option, value));
  }
}

}  // namespace quarvel
