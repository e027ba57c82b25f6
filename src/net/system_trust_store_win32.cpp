#include "common/platform.h"
#include "net/system_trust_store.h"

namespace quarvel {

TrustPlatform CurrentTrustPlatform() { return IsRunningUnderWine() ? TrustPlatform::Wine : TrustPlatform::Windows; }

// Schannel verifies against the Windows store whenever no CA file is named.
CURLcode TrustSystemStore(CURL*) { return CURLE_OK; }

}  // namespace quarvel
