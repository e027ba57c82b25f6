#include "launch/delivery/scramble.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quarvel::launcher {
namespace {

std::uint8_t PositionTerm(std::size_t i) { return static_cast<std::uint8_t>(3 * i); }

// Unscrambles `count` payload bytes at `scrambled`, which lie at `position`
// onwards in the payload, into `plain`, given the plain byte after them (0
// past the payload's end); returns the first plain byte. Backward, with the
// plain byte after position i and the position term kept in registers: each
// byte costs one subtraction on the chain instead of a store and a reload.
std::uint8_t UnscrambleBytes(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t count,
                             std::size_t position, std::uint8_t next) {
  std::uint8_t term = PositionTerm(position + count - 1);
  for (std::size_t i = count; i-- > 0; term = static_cast<std::uint8_t>(term - 3)) {
    next = static_cast<std::uint8_t>(scrambled[i] - term - next);
    plain[i] = next;
  }
  return next;
}

#if defined(__SSE2__)
// The same, 16 bytes at a time (64 MiB modules are common). With t[i] the
// scrambled byte less its position term, plain[i] = t[i] - plain[i + 1], so
// (-1)^i plain[i] is the sum of (-1)^j t[j] over j >= i: a suffix sum, which
// a block adds up in four shifted additions and carries on to the block
// before it. Blocks start at positions that are multiples of 16, so their odd
// lanes are the odd positions.
std::uint8_t UnscrambleRange(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t count,
                             std::size_t position, std::uint8_t next) {
  constexpr std::size_t kBlock = 16;
  const std::size_t firstBlock = (position + kBlock - 1) & ~(kBlock - 1);
  const std::size_t blocksLimit = (position + count) & ~(kBlock - 1);
  if (firstBlock >= blocksLimit) return UnscrambleBytes(scrambled, plain, count, position, next);
  // The blocks, as offsets from `position`.
  const std::size_t blocksStart = firstBlock - position;
  const std::size_t blocksEnd = blocksLimit - position;

  next = UnscrambleBytes(scrambled + blocksEnd, plain + blocksEnd, count - blocksEnd, position + blocksEnd, next);
  // Negating a lane is (x ^ -1) - (-1); the even lanes pass unchanged.
  const __m128i odd = _mm_set_epi8(-1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0, -1, 0);
  const __m128i laneTerms = _mm_set_epi8(45, 42, 39, 36, 33, 30, 27, 24, 21, 18, 15, 12, 9, 6, 3, 0);
  // The signed sum at the end of the blocks, an even position: the plain
  // byte itself.
  __m128i carry = _mm_set1_epi8(static_cast<char>(next));
  for (std::size_t block = blocksEnd; block > blocksStart;) {
    block -= kBlock;
    const __m128i terms = _mm_add_epi8(laneTerms, _mm_set1_epi8(static_cast<char>(PositionTerm(position + block))));
    const __m128i t = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(scrambled + block)), terms);
    __m128i sum = _mm_sub_epi8(_mm_xor_si128(t, odd), odd);
    sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 1));
    sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 2));
    sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 4));
    sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 8));
    sum = _mm_add_epi8(sum, carry);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(plain + block), _mm_sub_epi8(_mm_xor_si128(sum, odd), odd));
    // Lane 0 to every lane, for the block before.
    const __m128i low = _mm_unpacklo_epi8(sum, sum);
    carry = _mm_shuffle_epi32(_mm_unpacklo_epi16(low, low), 0);
  }
  return UnscrambleBytes(scrambled, plain, blocksStart, position, plain[blocksStart]);
}
#else
std::uint8_t UnscrambleRange(const std::uint8_t* scrambled, std::uint8_t* plain, std::size_t count,
                             std::size_t position, std::uint8_t next) {
  return UnscrambleBytes(scrambled, plain, count, position, next);
}
#endif

}  // namespace

void ScrambleModule(std::span<std::uint8_t> bytes) {
  const std::size_t n = bytes.size();
  if (n < 2) return;
  // Forward: the plain byte after position i is still untouched.
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t next = i + 1 < n ? bytes[i + 1] : 0;
    bytes[i] = static_cast<std::uint8_t>(bytes[i] + PositionTerm(i) + next);
  }
}

void UnscrambleModule(std::span<std::uint8_t> bytes) { UnscrambleModule(bytes, bytes); }

bool UnscrambleModule(std::span<const std::uint8_t> scrambled, std::span<std::uint8_t> plain) {
  if (plain.size() != scrambled.size()) return false;
  return cModuleUnscrambler(scrambled).Next(plain);
}

bool cModuleUnscrambler::Next(std::span<std::uint8_t> plain) {
  const std::size_t count = plain.size();
  if (count > Remaining()) return false;
  const std::size_t end = Remaining();
  const std::size_t start = end - count;
  done_ += count;
  if (count == 0) return true;
  // A payload of one byte is that byte: the encoding leaves it alone.
  if (scrambled_.size() == 1) {
    plain[0] = scrambled_[0];
    return true;
  }
  next_ = UnscrambleRange(scrambled_.data() + start, plain.data(), count, start, next_);
  return true;
}

}  // namespace quarvel::launcher
