#include "analytics/analytics_body.h"

#include "json/json_escape.h"

namespace quarvel::Analytics {
namespace {

// "key":"value", with both escaped.
void AppendField(std::string& out, const char* key, const std::string& value) {
  out += '"';
  out += key;
  out += "\":\"";
  out += EscapeJsonString(value);
  out += "\",";
}

void AppendAttribute(std::string& out, const EventAttribute& attribute) {
  out += '"';
  out += EscapeJsonString(attribute.key);
  out += "\":";
  if (attribute.raw == 0) out += '"';
  out += EscapeJsonString(attribute.value);
  if (attribute.raw == 0) out += '"';
}

}  // namespace

const char* const kBuildTime = __DATE__ " " __TIME__;

bool BuildEventsBody(const Identity& identity, const OperatingSystem& system,
                     const std::vector<EventDescriptor>& events, std::string& body) {
  body.clear();
  if (identity.productId.empty() || events.empty()) return false;

  std::string out = "{\"Events\":[";
  for (std::size_t i = 0; i < events.size(); ++i) {
    const EventDescriptor& event = events[i];
    if (event.name.empty() || event.attributes.empty()) return false;
    // Every inserted text is escaped, the event name too: a name with a quote
    // must not break the whole document.
    out += '{';
    AppendField(out, "EventName", event.name);
    AppendField(out, "Source", kSource);
    AppendField(out, "BuildTime", kBuildTime);
    AppendField(out, "ProductId", identity.productId);
    AppendField(out, "SandboxId", identity.sandboxId);
    AppendField(out, "DeploymentId", identity.deploymentId);
    AppendField(out, "OSName", system.name);
    AppendField(out, "OSVer", system.version);
    for (std::size_t a = 0; a < event.attributes.size(); ++a) {
      if (a != 0) out += ',';
      AppendAttribute(out, event.attributes[a]);
    }
    out += '}';
    if (i + 1 != events.size()) out += ',';
  }
  out += "]}";
  body = std::move(out);
  return true;
}

}  // namespace quarvel::Analytics
