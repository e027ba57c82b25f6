#pragma once

#include <cstdint>
#include <span>

#include "net/trust_policy.h"

// What a deployment fixes at build time (cmake/Deployment.cmake): the hosts
// the bootstrapper talks to and the certificate authorities it trusts. Hosts
// are "name" or "name:port"; URLs are formed as "https://" + host + path.
namespace quarvel::deployment {

const char* ModuleCdnHost();
const char* GameDevModuleCdnHost();
const char* TelemetrySdkEventsHost();
const char* TelemetryEventStreamHost();

// The largest module download taken, in bytes (QVL_MAX_MODULE_SIZE).
std::uint64_t MaxModuleSize();

// Which CAs a transfer trusts unless it is told otherwise (QVL_TRUST).
TrustPolicy DefaultTrustPolicy();
// The PEM bundle embedded at build time: what TrustPolicy::Bundle trusts, and
// TrustPolicy::System under Wine.
std::span<const unsigned char> TrustedCaBundle();

// The port a host setting names after its last ':' (e.g. "localhost:18543"),
// or `defaultPort` when it names none or an unusable one.
long PortOfHost(const char* host, long defaultPort);

}  // namespace quarvel::deployment
