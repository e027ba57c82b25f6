#include "app/launch_analytics.h"

#include <algorithm>
#include <string>

#include "quarvel/module_interface.h"
#include "common/logger.h"

namespace quarvel::launcher {
namespace {

using Analytics::EventAttribute;
using Analytics::EventDescriptor;

EventAttribute Number(const char* key, long long value) {
  return EventAttribute{key, std::to_string(value), 1};
}

constexpr std::int64_t kNsPerMs = 1'000'000;

}  // namespace

std::int32_t DownloadMilliseconds(const LaunchFigures& figures) {
  if (figures.downloadStart == kUnsetTimePoint || figures.downloadEnd == kUnsetTimePoint) return 0;
  return static_cast<std::int32_t>((figures.downloadEnd - figures.downloadStart) / kNsPerMs);
}

float DownloadRateKiBPerSecond(const LaunchFigures& figures) {
  // Nothing measurable (a cached module): no rate rather than 0/0.
  if (DownloadMilliseconds(figures) <= 0) return 0.0f;
  const float kib = static_cast<float>(figures.maxBytesDone) * (1.0f / 1024.0f);
  return kib / (static_cast<float>(DownloadMilliseconds(figures)) / 1000.0f);
}

std::vector<EventDescriptor> ComposeLaunchEvents(const LaunchFigures& figures, std::int64_t now) {
  const std::int32_t downloadMs = DownloadMilliseconds(figures);
  const float rate = DownloadRateKiBPerSecond(figures);
  Log(LogLevel::Info, "Downloaded %u bytes in %u ms (%.2f KB/s).", figures.maxBytesDone,
      static_cast<unsigned>(downloadMs), static_cast<double>(rate));

  std::vector<EventDescriptor> events;
  events.push_back({"AntiCheat.Info.BootstrapperResult", {Number("LaunchResult", figures.launchResult)}});

  if (downloadMs > 0 && figures.maxBytesDone > 1024) {
    events.push_back({"AntiCheat.Info.BootstrapperDownloadPerf",
                      {Number("DownloadCancelledByUser",
                              figures.launchResult == static_cast<std::int32_t>(QVL_LaunchCanceled) ? 1 : 0),
                       Number("DownloadBytesCompleted", figures.maxBytesDone),
                       Number("DownloadBytesTotal", static_cast<std::int32_t>(figures.maxBytesTotal)),
                       Number("DownloadDurationMs", downloadMs),
                       Number("DownloadRateKBPS", static_cast<std::int32_t>(rate))}});
  }

  if (figures.launchResult != static_cast<std::int32_t>(QVL_Success)) return events;

  const auto total = static_cast<std::int32_t>(
      figures.initStart == kUnsetTimePoint ? 0 : (now - figures.initStart) / kNsPerMs);
  events.push_back({"AntiCheat.Info.BootstrapperInitPerf",
                    {Number("TotalDurationMs", total), Number("DownloadDurationMs", downloadMs),
                     Number("InitDurationMs", total - downloadMs)}});

  if (figures.windowVisibleTime != 0) {
    const auto wait = static_cast<std::int32_t>((figures.windowVisibleTime - figures.pollStart) / kNsPerMs);
    Log(LogLevel::Info, "Time spent waiting for the game window to become visible: %i ms.", wait);
    events.push_back({"AntiCheat.Info.BootstrapperGameWindowVisibilityCheckDuration",
                      {Number("WaitDurationMs", std::min(wait, 60000))}});
  }
  return events;
}

}  // namespace quarvel::launcher
