#pragma once

#include <string>
#include <vector>

#include "analytics/analytics_event.h"

// The JSON document one batch of events is sent as.
namespace quarvel::Analytics {

inline constexpr const char* kSource = "Bootstrapper/1.9.0";
inline constexpr const char* kUserAgent = "Quarvel Tavik Bootstrapper/1.9.0";
inline constexpr const char* kContentType = "application/json";

// When this program was built, as "Sep  6 2024 09:47:32".
extern const char* const kBuildTime;

struct Identity {
  std::string productId;
  std::string sandboxId;
  std::string deploymentId;
};

struct OperatingSystem {
  std::string name;
  std::string version;
};

// Writes {"Events":[...]} for `events` into `body`, each event's fixed
// fields first and then its attributes in order. False, with `body` empty,
// when the product id is empty, there are no events or any event has no name
// or no attributes.
bool BuildEventsBody(const Identity& identity, const OperatingSystem& system,
                     const std::vector<EventDescriptor>& events, std::string& body);

}  // namespace quarvel::Analytics
