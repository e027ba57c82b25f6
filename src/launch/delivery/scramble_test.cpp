#include "launch/delivery/scramble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace quarvel::launcher {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Scramble, MatchesKnownEncodings) {
  struct Case {
    Bytes plain;
    Bytes scrambled;
  };
  const Case cases[] = {
      {{}, {}},
      // A single byte is left alone.
      {{0x7F}, {0x7F}},
      // plain + 3 * position + next plain byte.
      {{0x10, 0x20, 0x30}, {0x30, 0x53, 0x36}},
      // Everything wraps around at 256.
      {{0xFF, 0xFF}, {0xFE, 0x02}},
  };
  for (const Case& test : cases) {
    Bytes bytes = test.plain;
    ScrambleModule(bytes);
    EXPECT_EQ(bytes, test.scrambled);
    UnscrambleModule(bytes);
    EXPECT_EQ(bytes, test.plain);
  }
}

TEST(Scramble, UnscramblingUndoesScramblingForAnySize) {
  std::mt19937 random(20240601);
  // Odd sizes, and sizes past 256 where the position term wraps.
  for (const std::size_t size : {2u, 3u, 7u, 255u, 256u, 257u, 4097u, 65537u}) {
    Bytes plain(size);
    for (std::uint8_t& byte : plain) byte = static_cast<std::uint8_t>(random());
    Bytes bytes = plain;
    ScrambleModule(bytes);
    EXPECT_NE(bytes, plain) << size;
    UnscrambleModule(bytes);
    EXPECT_EQ(bytes, plain) << size;
  }
}

TEST(Scramble, UnscramblingIntoASecondBufferLeavesTheSourceAlone) {
  std::mt19937 random(20251210);
  for (const std::size_t size : {1u, 2u, 257u, 65537u}) {
    Bytes plain(size);
    for (std::uint8_t& byte : plain) byte = static_cast<std::uint8_t>(random());
    Bytes scrambled = plain;
    ScrambleModule(scrambled);
    const Bytes kept = scrambled;
    Bytes unscrambled(size, 0xAA);
    ASSERT_TRUE(UnscrambleModule(std::span<const std::uint8_t>(scrambled), unscrambled)) << size;
    EXPECT_EQ(unscrambled, plain) << size;
    EXPECT_EQ(scrambled, kept) << size;
  }
  Bytes tooShort(3);
  EXPECT_FALSE(UnscrambleModule(std::span<const std::uint8_t>(Bytes(4)), tooShort));
  EXPECT_EQ(tooShort, Bytes(3));
}

TEST(Scramble, UnscramblingAPieceAtATimeFromTheEndGivesTheSameBytes) {
  std::mt19937 random(20251211);
  Bytes plain(70000);
  for (std::uint8_t& byte : plain) byte = static_cast<std::uint8_t>(random());
  Bytes scrambled = plain;
  ScrambleModule(scrambled);
  // Uneven pieces, one of them empty.
  cModuleUnscrambler unscrambler(scrambled);
  Bytes unscrambled(plain.size());
  std::size_t end = unscrambled.size();
  for (const std::size_t piece : {1u, 0u, 255u, 65536u, 3u}) {
    ASSERT_TRUE(unscrambler.Next(std::span(unscrambled).subspan(end - piece, piece))) << piece;
    end -= piece;
    EXPECT_EQ(unscrambler.Remaining(), end);
  }
  ASSERT_TRUE(unscrambler.Next(std::span(unscrambled).first(end)));
  EXPECT_EQ(unscrambler.Remaining(), 0u);
  EXPECT_EQ(unscrambled, plain);
  Bytes more(1, 0xAA);
  EXPECT_FALSE(unscrambler.Next(more));
  EXPECT_EQ(more, Bytes(1, 0xAA));
}

// Pieces that start and end anywhere against the 16-byte blocks the fast
// course takes, against the byte-by-byte definition.
TEST(Scramble, EveryPieceBoundaryGivesTheDefinedBytes) {
  std::mt19937 random(20251212);
  Bytes scrambled(300);
  for (std::uint8_t& byte : scrambled) byte = static_cast<std::uint8_t>(random());
  // plain[i] = scrambled[i] - 3i - plain[i + 1], from the end.
  Bytes expected(scrambled.size());
  std::uint8_t next = 0;
  for (std::size_t i = scrambled.size(); i-- > 0;) {
    next = static_cast<std::uint8_t>(scrambled[i] - 3 * i - next);
    expected[i] = next;
  }
  for (std::size_t first = 1; first <= 40; ++first) {
    for (std::size_t rest = 1; rest <= 40; rest += 3) {
      cModuleUnscrambler unscrambler(scrambled);
      Bytes plain(scrambled.size(), 0xEE);
      std::size_t end = plain.size();
      for (std::size_t piece = first; end > 0; piece = rest) {
        const std::size_t length = std::min(piece, end);
        end -= length;
        ASSERT_TRUE(unscrambler.Next(std::span(plain).subspan(end, length)));
      }
      ASSERT_EQ(plain, expected) << first << " then " << rest;
    }
  }
}

TEST(Scramble, PositionTermWrapsPastTheFirst256Bytes) {
  // Zeros scramble to 3 * position modulo 256.
  Bytes scrambled(600);
  for (std::size_t i = 0; i < scrambled.size(); ++i) scrambled[i] = static_cast<std::uint8_t>(3 * i);
  Bytes bytes(600, 0);
  ScrambleModule(bytes);
  EXPECT_EQ(bytes, scrambled);
  UnscrambleModule(bytes);
  EXPECT_EQ(bytes, Bytes(600, 0));
}

}  // namespace
}  // namespace quarvel::launcher
