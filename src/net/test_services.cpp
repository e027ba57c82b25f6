#include "net/test_services.h"

#include <filesystem>
#include <fstream>

#include "common/random.h"

namespace quarvel::test_support {
namespace {

// Wine shows the Linux root as drive Z:.
std::filesystem::path HostPath(const char* path) {
#ifdef _WIN32
  return std::filesystem::path(std::string("Z:") + path);
#else
  return std::filesystem::path(path);
#endif
}

}  // namespace

int Port(ServicePort service) { return QVL_TEST_SERVICES_PORT + static_cast<int>(service); }

std::string HttpsUrl(const std::string& host, ServicePort service, const std::string& path) {
  return "https://" + host + ":" + std::to_string(Port(service)) + path;
}

std::string UniqueName(const std::string& stem) {
  char guid[37];
  GenerateGuidString(guid, sizeof(guid));
  return stem + "-" + guid;
}

std::vector<std::uint8_t> PatternBytes(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::uint8_t& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

bool PublishOnCdn(const std::string& relativePath, const std::vector<std::uint8_t>& bytes) {
  const std::filesystem::path path = HostPath(QVL_TEST_CDN_ROOT) / relativePath;
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file.flush());
}

std::vector<std::string> ReadCollectorRecords() {
  std::vector<std::string> records;
  std::ifstream file(HostPath(QVL_TEST_COLLECTOR_RECORDS));
  for (std::string line; std::getline(file, line);) records.push_back(line);
  return records;
}

}  // namespace quarvel::test_support
