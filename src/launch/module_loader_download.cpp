// The loader's thread body: the module download from the CDN, with the cache
// standing in when the CDN cannot be used.
#include "launch/module_loader.h"

#include <curl/curl.h>

#include <atomic>
#include <utility>

#include "common/logger.h"
#include "launch/delivery/module_cache_files.h"
#include "launch/delivery/module_download.h"
#include "launch/delivery/scramble.h"
#include "launch/launch_catalogue.h"
#include "net/deployment.h"
#include "net/http_transfer.h"

namespace quarvel::launcher {
namespace {

constexpr const char* kRequestHeaders[] = {
    "Accept: application/octet-stream",
    "Accept-Encoding: identity",
    "Cache-Control: max-age=0",
    "User-Agent: Quarvel-Client/1.0",
};
constexpr std::int32_t kConnectTimeoutMs = 30000;
// A transfer slower than this many bytes per second for this long is given up.
constexpr long kLowSpeedLimit = 5120;
constexpr long kLowSpeedTimeSeconds = 60;
// A body this small is the backend's way of saying the service is off.
constexpr std::size_t kDisabledServiceBodySize = 4096;
// The module is large, and under Wine every receive from the socket is a
// round trip to the wineserver: libcurl's default 16 KiB buffer makes
// thousands of them for a large module, this size (libcurl's largest) a
// few hundred.
constexpr long kModuleReceiveBufferBytes = 512 * 1024;

std::atomic<InformationBox> informationBox{nullptr};

void LogConnectionLine(const char* line) { Log(LogLevel::Info, "[Connection] %s", line); }

int OnTransferProgress(void* context, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
  auto* loader = static_cast<cModuleLoader*>(context);
  return loader->ReportProgress(static_cast<std::uint64_t>(received), static_cast<std::uint64_t>(expected)) ? 1
                                                                                                            : 0;
}

void ShowInformation(const char* title, const std::string& text) {
  if (const InformationBox box = informationBox.load()) box(title, text.c_str());
}

}  // namespace

void SetInformationBox(InformationBox box) { informationBox.store(box); }

std::string cModuleLoader::ReadCdnOverride() {
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(CdnOverridePath(gameBinaryPath_), bytes)) return {};
  return ParseCdnOverride(std::string(bytes.begin(), bytes.end()));
}

void cModuleLoader::Run() {
  const std::string urlTemplate = ModuleUrlTemplate(CdnHost());
  cdnOverrideUrl_ = ReadCdnOverride();
  bool cancelled = false;
  if (cdnOverrideUrl_.empty()) {
    DownloadModule(urlTemplate, true, cancelled);
    return;
  }

  Log(LogLevel::Info, "CDN path overridden by local config file.");
  ShowInformation("Quarvel Launch Info",
                  "Downloading undeployed anti-cheat module, build id: " + ExtractBuildId(cdnOverrideUrl_) + ".");
  if (!DownloadModule(cdnOverrideUrl_, false, cancelled) && !cancelled) {
    const std::string text = AppendDetail(
        catalogue_.GetString("launcher_error.error_connection_failed", "Connection failed: "), cdnOverrideUrl_);
    Report(QVL_LoaderOverrideFailed, text.c_str());
  }
  // A module from an override is never cached.
  moduleCache_.payload.clear();
  moduleCache_.payloadEtag.clear();
}

bool cModuleLoader::DownloadModule(const std::string& url, bool reportErrors, bool& cancelled) {
  cancelled = false;
  cHttpTransfer transfer(LogConnectionLine);
  CURLcode result = CURLE_FAILED_INIT;
  long httpCode = 0;
  bool backendDisabled = false;
  // A transfer that cannot even be set up is a failed transfer like any
  // other: left silent, the player would wait at 0 % for good.
  if (!InitializeTransfer(transfer)) {
    Log(LogLevel::Error, "Failed to initialize curl!");
    return ReportDownloadFailure(result, httpCode, reportErrors, backendDisabled, cancelled);
  }
  for (const char* header : kRequestHeaders) transfer.AddHeader(header);

  // Only an override can lie elsewhere. It is refused without a connection,
  // and Run reports it: a launch nobody hears of again would wait forever.
  if (!IsAllowedCdnUrl(url, CdnHost())) {
    Log(LogLevel::Info, "%s",
        catalogue_.GetString("launcher_error.error_disallowed_cdn_path", "Unexpected error. (Incorrect CDN url)")
            .c_str());
    return false;
  }
  if (moduleCache_.valid) transfer.AddHeader(("If-None-Match: " + moduleCache_.cachedEtag).c_str());

  transfer.SetOption(CURLOPT_DNS_SHUFFLE_ADDRESSES, 1L);
  transfer.SetOption(CURLOPT_DNS_CACHE_TIMEOUT, 0L);
  transfer.SetConnectTimeout(kConnectTimeoutMs);
  transfer.SetOption(CURLOPT_LOW_SPEED_LIMIT, kLowSpeedLimit);
  transfer.SetOption(CURLOPT_LOW_SPEED_TIME, kLowSpeedTimeSeconds);
  transfer.SetOption(CURLOPT_HTTPGET, 1L);
  transfer.SetOption(CURLOPT_BUFFERSIZE, kModuleReceiveBufferBytes);
  // A larger answer fails like a broken transfer: nothing of it is kept.
  transfer.SetMaxBodySize(deployment::MaxModuleSize());
  transfer.SetOption(CURLOPT_NOPROGRESS, 0L);
  transfer.SetOption(CURLOPT_XFERINFODATA, static_cast<void*>(this));
  transfer.SetOption(CURLOPT_XFERINFOFUNCTION, &OnTransferProgress);

  if (transfer.Perform(FillModuleUrl(url, productId_, deploymentId_, systemName_), result, 0)) {
    curl_easy_getinfo(transfer.GetHandle(), CURLINFO_RESPONSE_CODE, &httpCode);
    if (httpCode == 304) {
      Log(LogLevel::Info, "No update needed.");
      ReportProgress(1, 1);
      if (LoadCachedModule()) return true;
    } else if (httpCode == 200 && transfer.GetResponseBody().size() > kDisabledServiceBodySize) {
      ReportProgress(1, 1);
      std::string etag;
      if (!transfer.GetResponseHeader("ETag", etag)) etag = "N/A";
      moduleCache_.payload = transfer.TakeResponseBody();
      moduleCache_.payloadEtag = std::move(etag);
      HandOverPayload();
      return true;
    } else if (httpCode == 200) {
      Log(LogLevel::Info, "Anti-cheat service disabled on backend.");
      backendDisabled = true;
    }
  }

  return ReportDownloadFailure(result, httpCode, reportErrors, backendDisabled, cancelled);
}

bool cModuleLoader::InitializeTransfer(cHttpTransfer& transfer) { return transfer.Initialize(); }

bool cModuleLoader::ReportDownloadFailure(int transferResult, long httpCode, bool reportErrors, bool backendDisabled,
                                          bool& cancelled) {
  const DownloadFailure failure = ClassifyDownloadFailure(transferResult, httpCode, catalogue_);
  Log(LogLevel::Info, "%s", failure.text.c_str());
  if (failure.cancelled) {
    cancelled = true;
    return false;
  }
  if (!reportErrors) return false;
  if (!backendDisabled && LoadCachedModule()) return false;
  Report(failure.code, failure.text.c_str());
  return false;
}

bool cModuleLoader::LoadCachedModule() {
  if (!moduleCache_.valid) return false;
  std::vector<std::uint8_t> bytes;
  if (!ReadWholeFile(moduleCache_.path, bytes) || bytes.empty()) return false;
  // The copy is consumed; Shutdown writes it back once it started the game.
  moduleCache_.Delete();
  moduleCache_.valid = false;
  moduleCache_.payload = std::move(bytes);
  moduleCache_.payloadEtag = moduleCache_.cachedEtag;
  HandOverPayload();
  return true;
}

void cModuleLoader::HandOverPayload() { LoadPayload(moduleCache_.payload); }

void cModuleLoader::LoadPayload(std::span<const std::uint8_t> payload) {
  // Copied and unscrambled in one pass: the kept payload stays scrambled.
  std::vector<std::uint8_t> image(payload.size());
  UnscrambleModule(payload, image);
  LoadModule(image);
}

}  // namespace quarvel::launcher
