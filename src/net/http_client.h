#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "net/http_transfer.h"

namespace quarvel {

// A request-level client over one cHttpTransfer (which it does not let log).
// Headers, connect timeout and low-speed time are remembered and applied to
// every request. While not initialized every operation does nothing and
// answers false, 0 or empty.
class cHttpClient {
 public:
  cHttpClient() = default;
  virtual ~cHttpClient() = default;
  cHttpClient(const cHttpClient&) = delete;
  cHttpClient& operator=(const cHttpClient&) = delete;

  virtual bool Initialize();
  virtual void Uninitialize();
  // Forgets the request headers and resets the transfer.
  virtual bool Reset();
  // GET `url` with CURLOPT_PORT = `port`, no overall time limit.
  virtual bool Get(const char* url, long port);
  // POST `size` bytes of `body` (copied by libcurl; none when null or 0).
  virtual bool Post(const char* url, long port, const void* body, std::size_t size, std::int32_t timeoutMs);
  // Both must be non-null; a header of the same name is replaced. Headers
  // go out in name order.
  virtual bool SetHeader(const char* name, const char* value);
  // The HTTP status (0 when unavailable); `body` is null for an empty body.
  virtual long GetResponse(const std::uint8_t*& body, std::size_t& size);
  virtual void SetConnectTimeout(std::int32_t milliseconds);
  // Aborts a request whose rate stays below 30 bytes/s for milliseconds /
  // 1000 whole seconds.
  virtual void SetLowSpeedTimeout(std::int32_t milliseconds);
  virtual void SetReceiveTimeout(std::int32_t milliseconds);
  // A longer response body fails the request (cHttpTransfer::SetMaxBodySize);
  // no limit until set.
  virtual void SetMaxResponseSize(std::uint64_t bytes);
  // Empty when absent; the name is looked up case-insensitively.
  virtual std::string GetResponseHeader(const char* name);

  // The libcurl code of the last request.
  CURLcode GetLastCode() const { return lastCode_; }

 private:
  bool PrepareRequest();

  cHttpTransfer transfer_;
  bool initialized_ = false;
  std::map<std::string, std::string> requestHeaders_;
  std::optional<std::int32_t> connectTimeoutMs_;
  std::optional<long> lowSpeedTimeSeconds_;
  std::optional<std::uint64_t> maxResponseSize_;
  CURLcode lastCode_ = CURLE_FAILED_INIT;
};

}  // namespace quarvel
