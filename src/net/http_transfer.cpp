#include "net/http_transfer.h"

#include <cstdarg>
#include <cstdio>
#include <new>

#include "net/deployment.h"
#include "net/http_header_line.h"
#include "net/libcurl_start.h"
#include "net/system_trust_store.h"

namespace quarvel {
namespace {

constexpr std::size_t kLogLineSize = 768;
// A Content-Length above this is not reserved up front: a lying server must
// not make us commit gigabytes before the first byte arrives.
constexpr std::uint64_t kMaximumReservedBody = 256ull * 1024 * 1024;

}  // namespace

cHttpTransfer::cHttpTransfer(HttpLogCallback logCallback, TrustPolicy trustPolicy)
    : logCallback_(logCallback), trustPolicy_(trustPolicy) {
  responseBody_.reserve(1024);
}

cHttpTransfer::~cHttpTransfer() {
  if (requestHeaders_ != nullptr) curl_slist_free_all(requestHeaders_);
  if (handle_ != nullptr) curl_easy_cleanup(handle_);
}

std::int32_t cHttpTransfer::FirstProxyConnectTimeout(std::int32_t connectTimeoutMs) {
  return connectTimeoutMs < 25005 ? 5000 : connectTimeoutMs / 5;
}

bool cHttpTransfer::Initialize() {
  if (!PrepareLibcurl()) return false;
  if (handle_ == nullptr) handle_ = curl_easy_init();
  if (handle_ == nullptr) return false;
  connectTimeout_ = kDefaultConnectTimeoutMs;
  if (SetBaseOptions()) return true;
  curl_easy_cleanup(handle_);
  handle_ = nullptr;
  return false;
}

bool cHttpTransfer::SetBaseOptions() {
  return SetOption(CURLOPT_NOSIGNAL, 1) &&
         SetOption(CURLOPT_PROTOCOLS_STR, "http,https") &&
         SetOption(CURLOPT_HEADERDATA, this) && SetOption(CURLOPT_HEADERFUNCTION, &OnHeader) &&
         SetOption(CURLOPT_WRITEDATA, this) && SetOption(CURLOPT_WRITEFUNCTION, &OnWrite) &&
         SetOption(CURLOPT_ERRORBUFFER, errorBuffer_) &&
         SetOption(CURLOPT_SSL_OPTIONS, CURLSSLOPT_NO_REVOKE) &&
         SetOption(CURLOPT_READFUNCTION, &OnRead) &&
         SetOption(CURLOPT_SSL_VERIFYPEER, 1) && SetOption(CURLOPT_SSL_VERIFYHOST, 2) &&
         SetOption(CURLOPT_PROXY_SSL_VERIFYPEER, 1) && SetOption(CURLOPT_PROXY_SSL_VERIFYHOST, 2) &&
         SetTrustedCas();
}

// Servers and HTTPS proxies are verified against one source of roots only:
// no CA file or directory libcurl was configured with adds to it.
bool cHttpTransfer::SetTrustedCas() {
  if (!ClearCaLocation(CURLOPT_CAINFO) || !ClearCaLocation(CURLOPT_CAPATH) ||
      !ClearCaLocation(CURLOPT_PROXY_CAINFO) || !ClearCaLocation(CURLOPT_PROXY_CAPATH)) {
    return false;
  }
  const TrustSource source = TrustSourceFor(trustPolicy_, CurrentTrustPlatform());
  if (source != TrustSource::EmbeddedBundle) {
    return CheckOption(CURLOPT_SSL_CTX_FUNCTION, TrustSystemStore(handle_));
  }
  const std::span<const unsigned char> bundle = deployment::TrustedCaBundle();
  curl_blob trusted{const_cast<unsigned char*>(bundle.data()), bundle.size(), CURL_BLOB_COPY};
  return SetOption(CURLOPT_CAINFO_BLOB, &trusted) && SetOption(CURLOPT_PROXY_CAINFO_BLOB, &trusted);
}

bool cHttpTransfer::Reset() {
  if (requestHeaders_ != nullptr) {
    curl_slist_free_all(requestHeaders_);
    requestHeaders_ = nullptr;
  }
  if (handle_ != nullptr) curl_easy_reset(handle_);
  ClearResponse();
  maxBodySize_ = UINT64_MAX;
  return Initialize();
}

bool cHttpTransfer::CheckOption(CURLoption option, CURLcode result) {
  if (result == CURLE_OK) return true;
  LogLine("curl_easy_setopt failed! Option: %i ErrCode: %i ErrStr: %s.", static_cast<int>(option),
          static_cast<int>(result), curl_easy_strerror(result));
  return false;
}

bool cHttpTransfer::ClearCaLocation(CURLoption option) {
  // A TLS backend without that kind of location (Schannel has no CA
  // directory) has nothing to clear.
  const CURLcode result = curl_easy_setopt(handle_, option, static_cast<const char*>(nullptr));
  return result == CURLE_NOT_BUILT_IN || CheckOption(option, result);
}

bool cHttpTransfer::SetConnectTimeoutOption(std::int32_t milliseconds) {
  if (!SetOption(CURLOPT_CONNECTTIMEOUT_MS, milliseconds)) return false;
  connectTimeout_ = milliseconds;
  return true;
}

bool cHttpTransfer::SetConnectTimeout(std::int32_t milliseconds) { return SetConnectTimeoutOption(milliseconds); }

bool cHttpTransfer::SetMaxBodySize(std::uint64_t bytes) {
  if (bytes > static_cast<std::uint64_t>(INT64_MAX)) return false;
  if (!SetOption(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(bytes))) return false;
  maxBodySize_ = bytes;
  return true;
}

bool cHttpTransfer::AddHeader(const char* line) {
  if (handle_ == nullptr || line == nullptr) return false;
  curl_slist* list = curl_slist_append(requestHeaders_, line);
  if (list == nullptr) return false;
  requestHeaders_ = list;
  return SetOption(CURLOPT_HTTPHEADER, requestHeaders_);
}

bool cHttpTransfer::Perform(const std::string& url, CURLcode& code, std::int32_t timeoutMs) {
  code = CURLE_FAILED_INIT;
  ClearResponse();
  usedProxy_ = false;
  bodyTooLarge_ = false;
  if (handle_ == nullptr) return false;

  SetOption(CURLOPT_TIMEOUT_MS, timeoutMs);
  LogLine("Connecting to URL: %s", url.c_str());
  SetOption(CURLOPT_URL, url.c_str());
  code = Attempt();
  if (code == CURLE_OK) return true;
  if (code == CURLE_FILESIZE_EXCEEDED) bodyTooLarge_ = true;
  // The same answer through a proxy would be as large.
  if (bodyTooLarge_) {
    ClearResponse();
    return false;
  }

  ClearResponse();
  std::vector<ProxyCandidate> candidates;
  if (!DiscoverProxies(url, candidates)) return false;

  usedProxy_ = true;
  const std::int32_t saved = connectTimeout_;
  const std::int32_t first = FirstProxyConnectTimeout(saved);
  SetConnectTimeoutOption(first);
  for (const ProxyCandidate& candidate : candidates) {
    // What a failed attempt received (headers, part of a body) must not
    // become part of the next attempt's response.
    ClearResponse();
    if (!candidate.noProxy.empty()) {
      LogLine("Setting NOPROXY URLs: %s", candidate.noProxy.c_str());
      SetOption(CURLOPT_NOPROXY, candidate.noProxy.c_str());
    }
    LogLine("Trying proxy: %s", candidate.proxy.c_str());
    SetOption(CURLOPT_PROXY, candidate.proxy.c_str());
    code = Attempt();
    if (code == CURLE_OK) break;
    if (code == CURLE_FILESIZE_EXCEEDED) bodyTooLarge_ = true;
    if (bodyTooLarge_) {
      ClearResponse();
      break;
    }
    SetConnectTimeoutOption(first / 2);
  }
  SetConnectTimeoutOption(saved);
  return code == CURLE_OK;
}

CURLcode cHttpTransfer::Attempt() {
  const CURLcode code = curl_easy_perform(handle_);
  const char* ip = nullptr;
  if (curl_easy_getinfo(handle_, CURLINFO_PRIMARY_IP, &ip) != CURLE_OK || ip == nullptr || *ip == '\0') {
    ip = "Unavailable";
  }
  long status = 0;
  if (code != CURLE_OK || curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
  LogLine("Connect result: %s (%i) Response Code: %i Destination IP: %s", curl_easy_strerror(code),
          static_cast<int>(code), static_cast<int>(status), ip);
  return code;
}

bool cHttpTransfer::DiscoverProxies(const std::string& url, std::vector<ProxyCandidate>& candidates) {
  return proxyDiscovery_.Discover(url, candidates);
}

bool cHttpTransfer::GetResponseHeader(const std::string& name, std::string& value) const {
  const auto found = responseHeaders_.find(ToLowerAscii(name));
  if (found == responseHeaders_.end() || found->second.empty()) return false;
  value = found->second;
  return true;
}

std::vector<std::uint8_t> cHttpTransfer::TakeResponseBody() {
  std::vector<std::uint8_t> body;
  body.swap(responseBody_);
  return body;
}

void cHttpTransfer::ClearResponse() {
  responseHeaders_.clear();
  responseBody_.clear();
}

std::size_t cHttpTransfer::OnHeader(char* data, std::size_t size, std::size_t count, void* context) {
  const std::size_t length = size * count;
  auto* transfer = static_cast<cHttpTransfer*>(context);
  if (transfer == nullptr || length == 0) return length;
  try {
    std::string name, value;
    if (!ParseHeaderLine(data, length, name, value)) return length;
    if (name == "content-length") {
      std::uint64_t expected = 0;
      if (ParseContentLength(value, expected) && expected > transfer->maxBodySize_) {
        transfer->LogLine("Response body of %llu bytes refused: the limit is %llu bytes.",
                          static_cast<unsigned long long>(expected),
                          static_cast<unsigned long long>(transfer->maxBodySize_));
        transfer->bodyTooLarge_ = true;
        return 0;  // libcurl ends the transfer with a write error
      }
      if (ParseContentLength(value, expected) && expected <= kMaximumReservedBody) {
        transfer->responseBody_.reserve(expected);
      }
    }
    transfer->responseHeaders_[name] = std::move(value);
    return length;
  } catch (const std::bad_alloc&) {
    return 0;  // libcurl ends the transfer with a write error
  }
}

std::size_t cHttpTransfer::OnWrite(char* data, std::size_t size, std::size_t count, void* context) {
  const std::size_t length = size * count;
  auto* transfer = static_cast<cHttpTransfer*>(context);
  if (transfer == nullptr) return 0;
  if (length > transfer->maxBodySize_ - transfer->responseBody_.size()) {
    transfer->LogLine("Response body refused: it grows past the limit of %llu bytes.",
                      static_cast<unsigned long long>(transfer->maxBodySize_));
    transfer->bodyTooLarge_ = true;
    return 0;
  }
  try {
    transfer->responseBody_.insert(transfer->responseBody_.end(), data, data + length);
    return length;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::size_t cHttpTransfer::OnRead(char*, std::size_t, std::size_t, void*) { return 0; }

void cHttpTransfer::LogLine(const char* format, ...) {
  if (logCallback_ == nullptr) return;
  char line[kLogLineSize];
  va_list args;
  va_start(args, format);
  const int written = std::vsnprintf(line, sizeof(line), format, args);
  va_end(args);
  if (written < 0) line[0] = '\0';
  logCallback_(line);
}

}  // namespace quarvel
