#include "analytics/analytics_tavik.h"

#include <mutex>

#include "analytics/analytics_body.h"
#include "analytics/operating_system.h"
#include "common/random.h"
#include "net/deployment.h"
#include "net/http_client.h"

namespace quarvel {
namespace {

constexpr std::int32_t kConnectTimeoutMs = 2500;
constexpr std::uint64_t kMaxResponseSize = 8 * 1024;
constexpr std::int32_t kLowSpeedTimeoutMs = 2000;
constexpr long kDefaultPort = 443;

constexpr const char* kSdkEventsPath =
    "/telemetry/data/flowpost/api/v1/public/data?AppVersion=1.0.0&AppEnvironment=Production"
    "&UploadType=sdkevents&AppID=TavikSDK.AntiCheatExt.Launcher&SessionId=";
constexpr const char* kEventStreamPath =
    "/flowpost/api/v1/public/data?AppVersion=1.0.0&AppEnvironment=Production"
    "&UploadType=eteventstream&AppID=quarvel&SessionId=";

// Written on the main thread once the settings are read, then only read by
// the worker; the lock makes an early batch safe all the same.
struct ProcessIdentity {
  std::mutex lock;
  Analytics::Identity identity;
  std::string sessionId;
};

ProcessIdentity& TheIdentity() {
  static ProcessIdentity identity;
  return identity;
}

Analytics::Identity CurrentIdentity() {
  ProcessIdentity& process = TheIdentity();
  std::lock_guard guard(process.lock);
  return process.identity;
}

struct Batch {
  AnalyticsTavik::Destinations destination;
  std::vector<Analytics::EventDescriptor> events;
  std::shared_ptr<cManualResetEvent> taken;
};

const char* HostOf(AnalyticsTavik::Destinations destination) {
  return destination == AnalyticsTavik::Destinations::SdkEvents ? deployment::TelemetrySdkEventsHost()
                                                                : deployment::TelemetryEventStreamHost();
}

bool Includes(AnalyticsTavik::Destinations destination, AnalyticsTavik::Destinations single) {
  return destination == single || destination == AnalyticsTavik::Destinations::Both;
}

}  // namespace

bool AnalyticsTavik::BatchHandle::WaitUntilTaken(std::chrono::milliseconds limit) const {
  return taken_ != nullptr && taken_->Wait(limit);
}

void AnalyticsTavik::SetIdentity(const std::string& productId, const std::string& sandboxId,
                                 const std::string& deploymentId) {
  ProcessIdentity& process = TheIdentity();
  std::lock_guard guard(process.lock);
  process.identity = {productId, sandboxId, deploymentId};
  if (!process.sessionId.empty()) return;
  char guid[37];
  GenerateGuidString(guid, sizeof(guid));
  process.sessionId = guid;
}

std::string AnalyticsTavik::SessionId() {
  ProcessIdentity& process = TheIdentity();
  std::lock_guard guard(process.lock);
  return process.sessionId;
}

AnalyticsTavik::BatchHandle AnalyticsTavik::LogEventsAsync(cBackgroundWorker& worker, Destinations destination,
                                                           const std::vector<Analytics::EventDescriptor>& events) {
  auto batch = std::make_shared<Batch>(Batch{destination, events, std::make_shared<cManualResetEvent>()});
  BatchHandle handle(batch->taken);
  cBackgroundWorker::Job job;
  job.function = [](void* context) {
    auto* batch = static_cast<Batch*>(context);
    batch->taken->Set();
    SendEvents(batch->destination, batch->events);
    return false;
  };
  job.sharedContext = std::move(batch);
  job.priority = 1;
  worker.Post(job, true, 0, 0);
  return handle;
}

bool AnalyticsTavik::SendEvents(Destinations destination, const std::vector<Analytics::EventDescriptor>& events) {
  std::string body;
  if (!Analytics::BuildEventsBody(CurrentIdentity(), Analytics::DescribeOperatingSystem(), events, body)) {
    return false;
  }
  bool result = true;
  if (Includes(destination, Destinations::SdkEvents)) {
    result = PostToDestination(Destinations::SdkEvents, body);
  }
  if (Includes(destination, Destinations::EventStream)) {
    result = PostToDestination(Destinations::EventStream, body) && result;
  }
  return result;
}

std::string AnalyticsTavik::EndpointUrl(Destinations destination) {
  if (destination == Destinations::Both) return {};
  const char* path = destination == Destinations::SdkEvents ? kSdkEventsPath : kEventStreamPath;
  return std::string("https://") + HostOf(destination) + path + SessionId();
}

bool AnalyticsTavik::PostToDestination(Destinations destination, const std::string& body) {
  const std::string url = EndpointUrl(destination);
  if (url.empty()) return false;

  cHttpClient client;
  client.Initialize();
  client.SetHeader("Content-Type", Analytics::kContentType);
  client.SetHeader("User-Agent", Analytics::kUserAgent);
  client.SetConnectTimeout(kConnectTimeoutMs);
  client.SetLowSpeedTimeout(kLowSpeedTimeoutMs);
  // The services acknowledge with a few bytes: a larger answer is refused
  // rather than held in memory.
  client.SetMaxResponseSize(kMaxResponseSize);
  // A development host names its own port; CURLOPT_PORT would override it.
  const long port = deployment::PortOfHost(HostOf(destination), kDefaultPort);
  if (!client.Post(url.c_str(), port, body.data(), body.size(), 0)) return false;
  const std::uint8_t* response = nullptr;
  std::size_t size = 0;
  const long status = client.GetResponse(response, size);
  return status >= 200 && status <= 299;
}

}  // namespace quarvel
