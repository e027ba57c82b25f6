#pragma once

#include <curl/curl.h>

#include "net/trust_policy.h"

// The system's own certificate store, as this platform's TLS library reaches it.
namespace quarvel {

// The platform this process runs on, as far as trust goes.
TrustPlatform CurrentTrustPlatform();

// Lets `handle` trust the system store of this platform (TrustSource
// WindowsStore or OpenSslDefaultPaths). The handle's CA file and directory
// must already be cleared.
CURLcode TrustSystemStore(CURL* handle);

}  // namespace quarvel
