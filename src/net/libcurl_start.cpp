#include "net/libcurl_start.h"

#include <curl/curl.h>

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace quarvel {

bool PrepareLibcurl() {
  static std::once_flag once;
  static bool usable = false;
  std::call_once(once, [] {
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) return;
    std::atexit(curl_global_cleanup);
    // The library at run time must be the one whose headers we built with.
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    usable = info != nullptr && info->version_num == LIBCURL_VERSION_NUM;
  });
  return usable;
}

cLibcurlWarmUp::cLibcurlWarmUp() {
  // Without a thread the first transfer starts libcurl itself, as before.
  try {
    thread_ = std::thread([] { PrepareLibcurl(); });
  } catch (const std::system_error&) {
  }
}

cLibcurlWarmUp::~cLibcurlWarmUp() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace quarvel
