#pragma once

#include <cstdint>
#include <span>

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

// The PEM bundle every transfer verifies servers against; nothing else is
// trusted.
std::span<const unsigned char> TrustedCaBundle();

// The port a host setting names after its last ':' (e.g. "localhost:18543"),
// or `defaultPort` when it names none or an unusable one.
long PortOfHost(const char* host, long defaultPort);

}  // namespace quarvel::deployment
