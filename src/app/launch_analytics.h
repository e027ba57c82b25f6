#pragma once

#include <cstdint>
#include <limits>
#include <vector>

#include "analytics/analytics_event.h"

// The end-of-run analytics events, composed from the figures the launcher
// recorded during the run.
namespace quarvel::launcher {

inline constexpr std::int64_t kUnsetTimePoint = std::numeric_limits<std::int64_t>::min();

struct LaunchFigures {
  std::int32_t launchResult = 0;
  std::uint32_t maxBytesDone = 0;
  std::uint32_t maxBytesTotal = 0;
  // Monotonic nanoseconds; kUnsetTimePoint (the first three) or 0 (the last
  // two) when the moment never came.
  std::int64_t initStart = kUnsetTimePoint;
  std::int64_t downloadStart = kUnsetTimePoint;
  std::int64_t downloadEnd = kUnsetTimePoint;
  std::int64_t pollStart = 0;
  std::int64_t windowVisibleTime = 0;
};

// Milliseconds between downloadStart and downloadEnd; 0 when either is unset.
std::int32_t DownloadMilliseconds(const LaunchFigures& figures);

// KiB per second, in single precision as the service expects it.
float DownloadRateKiBPerSecond(const LaunchFigures& figures);

// The events of one run, in their fixed order, each under its condition.
// `now` is the monotonic time of the report. Logs the two Info lines that go
// with the report.
std::vector<Analytics::EventDescriptor> ComposeLaunchEvents(const LaunchFigures& figures, std::int64_t now);

}  // namespace quarvel::launcher
