#include <openssl/ssl.h>

#include "net/system_trust_store.h"

namespace quarvel {
namespace {

// libcurl's own default is the CA file it was configured with; OpenSSL's
// default locations are what every other program of the system trusts,
// including the roots an administrator added and SSL_CERT_FILE / SSL_CERT_DIR.
CURLcode UseDefaultVerifyPaths(CURL*, void* context, void*) {
  return SSL_CTX_set_default_verify_paths(static_cast<SSL_CTX*>(context)) == 1 ? CURLE_OK
                                                                              : CURLE_SSL_CACERT_BADFILE;
}

}  // namespace

TrustPlatform CurrentTrustPlatform() { return TrustPlatform::Linux; }

CURLcode TrustSystemStore(CURL* handle) { return curl_easy_setopt(handle, CURLOPT_SSL_CTX_FUNCTION, &UseDefaultVerifyPaths); }

}  // namespace quarvel
