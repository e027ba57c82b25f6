// The steps of checking a fresh native module under Wine, timed in one
// process: writing it into the sealed host file, reading it back, and hashing
// it with bcrypt (Wine's) and with the host's libcrypto.
//
//   wine_hash_probe [MiB (default 64)] [rounds (default 5)]
//
// Prints one line per step and round, then the medians, in milliseconds:
// wall time, and for the hashes also this thread's processor time, which a
// busy machine disturbs less. The hashers run alternately.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "common/platform.h"
#include "launch/wine/host_memory_file.h"
#include "launch/wine/host_sha256.h"
#include "launch/wine/wine_helper_buffer.h"

namespace {

using namespace quarvel::launcher;
using quarvel::IsRunningUnderWine;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kPiece = 64 * 1024;  // as the module check reads

double Since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Hash(cSha256Hasher& hash, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t offset = 0; offset < bytes.size(); offset += kPiece) {
    if (!hash.Update(std::span(bytes).subspan(offset, std::min(kPiece, bytes.size() - offset)))) return false;
  }
  Sha256Digest digest{};
  return hash.Finish(digest);
}

// Writes `bytes` into a new sealed host file and reads them back in pieces.
bool WriteAndReadBack(const std::vector<std::uint8_t>& bytes, double& writeMs, double& readMs) {
  cHostMemoryFile file;
  const Clock::time_point start = Clock::now();
  if (!file.Create(bytes.size())) return false;
  for (std::size_t offset = 0; offset < bytes.size(); offset += kPiece) {
    if (!file.WriteAt(offset, std::span(bytes).subspan(offset, std::min(kPiece, bytes.size() - offset)))) return false;
  }
  if (!file.Seal()) return false;
  writeMs = Since(start);
  std::vector<std::uint8_t> piece(kPiece);
  const Clock::time_point read = Clock::now();
  for (std::size_t offset = 0; offset < bytes.size(); offset += kPiece) {
    if (!file.ReadAt(offset, std::span(piece).first(std::min(kPiece, bytes.size() - offset)))) return false;
  }
  readMs = Since(read);
  return true;
}

// This thread's processor time (user and kernel), in milliseconds.
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;  // 100 ns ticks
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mebibytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  if (!IsRunningUnderWine() || !PlaceWineHelperBuffer()) {
    std::fprintf(stderr, "wine_hash_probe runs under Wine only\n");
    return 2;
  }
  Clock::time_point start = Clock::now();
  const ModuleSha256Choice choice = ChooseModuleSha256(kHostCryptoLibraries);
  std::printf("choose_hasher_ms=%.1f hasher=%s\n", Since(start), choice.name.c_str());
  if (!choice.hasher) return 1;

  std::vector<std::uint8_t> bytes(mebibytes * 1024 * 1024);
  std::uint32_t state = 1;
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>((state = state * 1664525u + 1013904223u) >> 24);

  std::map<std::string, std::vector<double>> times;
  for (int round = 0; round < rounds; ++round) {
    double writeMs = 0;
    double readMs = 0;
    if (!WriteAndReadBack(bytes, writeMs, readMs)) return 1;
    times["write_sealed_file_ms"].push_back(writeMs);
    times["read_back_ms"].push_back(readMs);
    start = Clock::now();
    double cpu = ThreadCpuMs();
    cSha256 bcrypt;
    if (!Hash(bcrypt, bytes)) return 1;
    times["hash_bcrypt_ms"].push_back(Since(start));
    times["hash_bcrypt_cpu_ms"].push_back(ThreadCpuMs() - cpu);
    start = Clock::now();
    cpu = ThreadCpuMs();
    const std::unique_ptr<cSha256Hasher> host = choice.hasher();
    if (!Hash(*host, bytes)) return 1;
    times["hash_host_ms"].push_back(Since(start));
    times["hash_host_cpu_ms"].push_back(ThreadCpuMs() - cpu);
    std::printf("round=%d write_sealed_file_ms=%.1f read_back_ms=%.1f hash_bcrypt_ms=%.1f (cpu %.1f) "
                "hash_host_ms=%.1f (cpu %.1f)\n",
                round, writeMs, readMs, times["hash_bcrypt_ms"].back(), times["hash_bcrypt_cpu_ms"].back(),
                times["hash_host_ms"].back(), times["hash_host_cpu_ms"].back());
  }
  std::printf("median (%zu MiB, %d rounds):", mebibytes, rounds);
  for (const auto& [name, values] : times) std::printf(" %s=%.1f", name.c_str(), Median(values));
  std::printf("\n");
  return 0;
}
