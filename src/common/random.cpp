#include "common/random.h"

#include <x86intrin.h>

#include <atomic>
#include <mutex>

#include "common/strings.h"

namespace quarvel {
namespace {

// Relaxed atomics: callers on several threads may see values from interleaved
// updates (identifiers only need to differ), but no access is a data race.
struct RandomState {
  std::atomic<std::uint32_t> a{0xF1EA5EED};
  std::atomic<std::uint32_t> b{0};
  std::atomic<std::uint32_t> c{0};
  std::atomic<std::uint32_t> d{0};
};

RandomState state;
std::once_flag seeded;

std::uint32_t SeedWord() {
  const std::uint64_t t = __rdtsc();
  return static_cast<std::uint32_t>((t * 214013 + 2531011) >> 16);
}

std::uint32_t Rotl(std::uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

}  // namespace

std::uint64_t NextRandom64() {
  constexpr auto relaxed = std::memory_order_relaxed;
  std::call_once(seeded, [] {
    state.b.store(SeedWord(), relaxed);
    state.c.store(SeedWord(), relaxed);
    state.d.store(SeedWord(), relaxed);
  });
  const std::uint32_t b = state.b.load(relaxed);
  const std::uint32_t c = state.c.load(relaxed);
  const std::uint32_t d = state.d.load(relaxed);
  const std::uint32_t e = state.a.load(relaxed) - Rotl(b, 27);
  const std::uint32_t a = b ^ Rotl(c, 17);
  const std::uint32_t nextC = d + e;
  const std::uint32_t nextD = e + a;
  state.a.store(a, relaxed);
  state.b.store(c + d, relaxed);
  state.c.store(nextC, relaxed);
  state.d.store(nextD, relaxed);
  return (static_cast<std::uint64_t>(nextC) << 32) | nextD;
}

int GenerateGuidString(char* buffer, std::size_t size) {
  const auto low32 = [] { return static_cast<unsigned>(NextRandom64() & 0xFFFFFFFFu); };
  const auto low16 = [] { return static_cast<unsigned>(NextRandom64() & 0xFFFFu); };
  const unsigned p1 = low32();
  const unsigned p2 = low16();
  const unsigned p3 = low16();
  const unsigned p4 = low16();
  const unsigned p5 = low32();
  const unsigned p6 = low16();
  return FormatString(buffer, size, "%08x-%04x-%04x-%04x-%08x%04x", p1, p2, p3, p4, p5, p6);
}

}  // namespace quarvel
