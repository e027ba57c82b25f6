// One HTTPS download timed the way the module download makes it (a fresh
// transfer with the product's options and trust), with the receive buffer
// each size given, alternately:
//
//   download_probe URL rounds buffer-size...
//
// A size of 0 leaves libcurl's default. Prints one line per download (the
// TLS handshake done, the first byte and the end, in milliseconds from the
// start, and the process's processor time, which a busy machine disturbs
// less) and the medians per size.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "net/http_transfer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
  double handshakeMs = 0;
  double firstByteMs = 0;
  double totalMs = 0;
  double cpuMs = 0;
};

// This process's processor time (user and kernel), in milliseconds.
double ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100 ns ticks
}

double InfoMs(CURL* handle, CURLINFO info) {
  curl_off_t microseconds = 0;
  curl_easy_getinfo(handle, info, &microseconds);
  return static_cast<double>(microseconds) / 1000.0;
}

bool Download(const std::string& url, long bufferSize, Timing& timing) {
  const Clock::time_point start = Clock::now();
  const double cpu = ProcessCpuMs();
  quarvel::cHttpTransfer transfer;
  if (!transfer.Initialize()) return false;
  transfer.AddHeader("Accept: application/octet-stream");
  transfer.AddHeader("Accept-Encoding: identity");
  transfer.SetOption(CURLOPT_HTTPGET, 1L);
  if (bufferSize > 0 && !transfer.SetOption(CURLOPT_BUFFERSIZE, bufferSize)) return false;
  CURLcode code = CURLE_OK;
  long status = 0;
  if (!transfer.Perform(url, code, 0)) {
    std::fprintf(stderr, "download failed: %s\n", curl_easy_strerror(code));
    return false;
  }
  curl_easy_getinfo(transfer.GetHandle(), CURLINFO_RESPONSE_CODE, &status);
  if (status != 200 || transfer.GetResponseBody().empty()) return false;
  timing.handshakeMs = InfoMs(transfer.GetHandle(), CURLINFO_APPCONNECT_TIME_T);
  timing.firstByteMs = InfoMs(transfer.GetHandle(), CURLINFO_STARTTRANSFER_TIME_T);
  timing.totalMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  timing.cpuMs = ProcessCpuMs() - cpu;
  return true;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: download_probe URL rounds buffer-size...\n");
    return 2;
  }
  const std::string url = argv[1];
  const int rounds = std::atoi(argv[2]);
  const std::vector<long> sizes = [&] {
    std::vector<long> values;
    for (int i = 3; i < argc; ++i) values.push_back(std::strtol(argv[i], nullptr, 10));
    return values;
  }();
  curl_global_init(CURL_GLOBAL_DEFAULT);
  std::map<long, std::vector<double>> totals;
  std::map<long, std::vector<double>> cpus;
  for (int round = 0; round < rounds; ++round) {
    for (const long size : sizes) {
      Timing timing;
      if (!Download(url, size, timing)) return 1;
      totals[size].push_back(timing.totalMs);
      cpus[size].push_back(timing.cpuMs);
      std::printf("round=%d buffer=%ld handshake_ms=%.1f first_byte_ms=%.1f total_ms=%.1f cpu_ms=%.1f\n", round,
                  size, timing.handshakeMs, timing.firstByteMs, timing.totalMs, timing.cpuMs);
      std::fflush(stdout);
    }
  }
  for (const auto& [size, values] : totals) {
    std::printf("median buffer=%ld total_ms=%.1f cpu_ms=%.1f\n", size, Median(values), Median(cpus[size]));
  }
  curl_global_cleanup();
  return 0;
}
