#include "net/deployment.h"

#include <charconv>
#include <cstring>

namespace quarvel::deployment {

long PortOfHost(const char* host, long defaultPort) {
  if (host == nullptr) return defaultPort;
  const char* colon = std::strrchr(host, ':');
  // "[::1]" has colons but no port.
  if (colon == nullptr || std::strchr(colon, ']') != nullptr) return defaultPort;
  const char* end = host + std::strlen(host);
  long port = 0;
  const auto [next, error] = std::from_chars(colon + 1, end, port);
  if (error != std::errc() || next != end || port < 1 || port > 65535) return defaultPort;
  return port;
}

}  // namespace quarvel::deployment
