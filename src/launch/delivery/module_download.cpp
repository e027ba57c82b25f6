#include "launch/delivery/module_download.h"

#include <regex>
#include <string_view>

#include "common/strings.h"

namespace quarvel::launcher {
namespace {

// libcurl's result codes that the classification names.
constexpr int kTransferOk = 0;
constexpr int kCouldNotResolveProxy = 5;
constexpr int kCouldNotResolveHost = 6;
constexpr int kAbortedByCallback = 42;

constexpr std::size_t kOverrideKeyLength = 4;

}  // namespace

std::string ModuleUrlTemplate(const std::string& host) {
  return "https://" + host + "/modules/{{productid}}/{{deploymentid}}/{{system}}";
}

std::string FillModuleUrl(const std::string& url, const std::string& productId, const std::string& deploymentId,
                          const std::string& systemName) {
  static const std::regex kProductId(R"(\{\{productid\}\})");
  static const std::regex kDeploymentId(R"(\{\{deploymentid\}\})");
  static const std::regex kSystem(R"(\{\{system\}\})");
  std::string filled = std::regex_replace(url, kProductId, productId);
  filled = std::regex_replace(filled, kDeploymentId, deploymentId);
  return std::regex_replace(filled, kSystem, systemName);
}

bool IsAllowedCdnUrl(const std::string& url, const std::string& host) {
  if (host.empty()) return false;
  const std::string prefix = "https://" + host + "/";
  return url.compare(0, prefix.size(), prefix) == 0;
}

std::string ParseCdnOverride(const std::string& text) {
  // Editors on Windows often save UTF-8 with a byte-order mark.
  static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  std::size_t start = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    // The file is a text file: a CR LF line ends as it would on Windows.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() <= kOverrideKeyLength) continue;
    if (EqualsIgnoreCaseAscii(line.substr(0, kOverrideKeyLength).c_str(), "cdn=")) {
      return line.substr(kOverrideKeyLength);
    }
  }
  return {};
}

std::string CdnOverridePath(const std::string& gameBinaryPath) { return gameBinaryPath + ".qvl"; }

std::string ExtractBuildId(const std::string& url) {
  static const std::string kMarker = "/builds/";
  const std::size_t marker = url.find(kMarker);
  if (marker == std::string::npos) return "N/A";
  const std::size_t start = marker + kMarker.size();
  const std::size_t end = url.find('/', start);
  if (end == std::string::npos) return "N/A";
  return url.substr(start, end - start);
}

DownloadFailure ClassifyDownloadFailure(int transferResult, long httpCode, const cLocalization& catalogue) {
  const std::string result = std::to_string(transferResult);
  switch (transferResult) {
    case kTransferOk:
      return {QVL_LoaderCdnTransferFailed, false,
              catalogue.GetString("launcher_error.error_http_response", "HTTP Response Code: {0} Curl Code: {1}",
                                  {std::to_string(httpCode), result})};
    case kCouldNotResolveProxy:
      return {QVL_LoaderCdnUnreachable, false,
              catalogue.GetString("launcher_error.error_dns_resolve_failed", "DNS resolve to proxy failed!")};
    case kCouldNotResolveHost:
      return {QVL_LoaderCdnUnreachable, false,
              catalogue.GetString("launcher_error.error_dns",
                                  "DNS resolve to the Content Distribution Network failed!")};
    case kAbortedByCallback:
      return {QVL_LoaderCdnTransferFailed, true,
              catalogue.GetString("launcher_error.error_cancelled", "Operation cancelled by user")};
    default:
      return {QVL_LoaderCdnTransferFailed, false,
              catalogue.GetString("launcher_error.error_dns_connection_failed",
                                  "Connection to the Content Distribution Network failed! Curl Code: {0}!",
                                  {result})};
  }
}

}  // namespace quarvel::launcher
