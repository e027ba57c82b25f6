#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One analytics event as the telemetry service receives it.
namespace quarvel::Analytics {

struct EventAttribute {
  std::string key;
  std::string value;     // already formatted by the caller
  std::int32_t raw = 0;  // non-zero: written without quotes (numbers)
};

struct EventDescriptor {
  std::string name;
  std::vector<EventAttribute> attributes;  // written in this order
};

}  // namespace quarvel::Analytics
