#include "net/http_client.h"

#include <climits>

namespace quarvel {
namespace {
constexpr long kLowSpeedLimitBytesPerSecond = 30;
}  // namespace

bool cHttpClient::Initialize() {
  initialized_ = transfer_.Initialize();
  return initialized_;
}

void cHttpClient::Uninitialize() { initialized_ = false; }

bool cHttpClient::Reset() {
  if (!initialized_) return false;
  requestHeaders_.clear();
  return transfer_.Reset();
}

bool cHttpClient::SetHeader(const char* name, const char* value) {
  if (!initialized_ || name == nullptr || value == nullptr) return false;
  requestHeaders_[name] = value;
  return true;
}

void cHttpClient::SetConnectTimeout(std::int32_t milliseconds) {
  if (initialized_) connectTimeoutMs_ = milliseconds;
}

void cHttpClient::SetLowSpeedTimeout(std::int32_t milliseconds) {
  if (initialized_) lowSpeedTimeSeconds_ = milliseconds / 1000;
}

void cHttpClient::SetReceiveTimeout(std::int32_t milliseconds) { SetLowSpeedTimeout(milliseconds); }

bool cHttpClient::PrepareRequest() {
  if (!transfer_.Reset()) return false;
  if (maxResponseSize_) transfer_.SetMaxBodySize(*maxResponseSize_);
  for (const auto& [name, value] : requestHeaders_) {
    transfer_.AddHeader((name + ": " + value).c_str());
  }
  if (connectTimeoutMs_) transfer_.SetConnectTimeout(*connectTimeoutMs_);
  if (lowSpeedTimeSeconds_) {
    transfer_.SetOption(CURLOPT_LOW_SPEED_LIMIT, kLowSpeedLimitBytesPerSecond);
    transfer_.SetOption(CURLOPT_LOW_SPEED_TIME, *lowSpeedTimeSeconds_);
  }
  return true;
}

void cHttpClient::SetMaxResponseSize(std::uint64_t bytes) {
  if (initialized_) maxResponseSize_ = bytes;
}

bool cHttpClient::Get(const char* url, long port) {
  if (!initialized_ || url == nullptr || !PrepareRequest()) return false;
  transfer_.SetOption(CURLOPT_HTTPGET, 1);
  transfer_.SetOption(CURLOPT_PORT, port);
  return transfer_.Perform(url, lastCode_, 0);
}

bool cHttpClient::Post(const char* url, long port, const void* body, std::size_t size, std::int32_t timeoutMs) {
  if (!initialized_ || url == nullptr || size > LONG_MAX || !PrepareRequest()) return false;
  transfer_.SetOption(CURLOPT_POST, 1);
  transfer_.SetOption(CURLOPT_PORT, port);
  if (body != nullptr && size != 0) {
    // The size first: COPYPOSTFIELDS copies that many bytes.
    transfer_.SetOption(CURLOPT_POSTFIELDSIZE, static_cast<long>(size));
    transfer_.SetOption(CURLOPT_COPYPOSTFIELDS, body);
  }
  return transfer_.Perform(url, lastCode_, timeoutMs);
}

long cHttpClient::GetResponse(const std::uint8_t*& body, std::size_t& size) {
  body = nullptr;
  size = 0;
  if (!initialized_ || transfer_.GetHandle() == nullptr) return 0;
  const std::vector<std::uint8_t>& received = transfer_.GetResponseBody();
  if (!received.empty()) {
    body = received.data();
    size = received.size();
  }
  long status = 0;
  if (curl_easy_getinfo(transfer_.GetHandle(), CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) status = 0;
  return status;
}

std::string cHttpClient::GetResponseHeader(const char* name) {
  std::string value;
  if (!initialized_ || name == nullptr) return value;
  transfer_.GetResponseHeader(name, value);
  return value;
}

}  // namespace quarvel
