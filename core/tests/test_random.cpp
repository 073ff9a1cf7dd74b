#include "quellostrin/generators/random.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

using namespace quellostrin;

namespace {

using Words = std::vector<std::uint32_t>;

Words first_words(ChaCha8Rng rng, std::size_t count) {
  Words out;
  for (std::size_t i = 0; i < count; ++i) out.push_back(rng.next_u32());
  return out;
}

// The 16-word block input for key `key` and block `counter`, stream 0.
std::array<std::uint32_t, 16> block_input(const ChaCha8Rng::Key& key, std::uint64_t counter) {
  std::array<std::uint32_t, 16> in{0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};
  for (std::size_t i = 0; i < 8; ++i) in[4 + i] = key[i];
  in[12] = static_cast<std::uint32_t>(counter);
  in[13] = static_cast<std::uint32_t>(counter >> 32);
  return in;
}

}  // namespace

// RFC 8439, 2.1.1 and 2.3.2: the quarter round and the ChaCha20 block.
TEST(ChaCha, RfcVectors) {
  std::uint32_t a = 0x11111111, b = 0x01020304, c = 0x9b8d6f43, d = 0x01234567;
  detail::chacha_quarter_round(a, b, c, d);
  EXPECT_EQ((std::array{a, b, c, d}), (std::array<std::uint32_t, 4>{0xea2a92f4, 0xcb1cf8ce, 0x4581472e, 0x5881c4bb}));

  ChaCha8Rng::Key key{};
  for (std::uint32_t i = 0; i < 8; ++i) key[i] = (4 * i) | (4 * i + 1) << 8 | (4 * i + 2) << 16 | (4 * i + 3) << 24;
  auto in = block_input(key, 1);
  in[13] = 0x09000000;
  in[14] = 0x4a000000;
  in[15] = 0;
  const std::array<std::uint8_t, 64> expected = {
      0x10, 0xf1, 0xe7, 0xe4, 0xd1, 0x3b, 0x59, 0x15, 0x50, 0x0f, 0xdd, 0x1f, 0xa3, 0x20, 0x71, 0xc4,
      0xc7, 0xd1, 0xf4, 0xc7, 0x33, 0xc0, 0x68, 0x03, 0x04, 0x22, 0xaa, 0x9a, 0xc3, 0xd4, 0x6c, 0x4e,
      0xd2, 0x82, 0x64, 0x46, 0x07, 0x9f, 0xaa, 0x09, 0x14, 0xc2, 0xd7, 0x05, 0xd9, 0x8b, 0x02, 0xa2,
      0xb5, 0x12, 0x9c, 0xd1, 0xde, 0x16, 0x4e, 0xb9, 0xcb, 0xd0, 0x83, 0xe8, 0xa2, 0x50, 0x3c, 0x4e};
  const auto out = detail::chacha_block(in, 20);
  std::array<std::uint8_t, 64> serialized{};
  for (std::size_t i = 0; i < 64; ++i) serialized[i] = static_cast<std::uint8_t>(out[i / 4] >> (8 * (i % 4)));
  EXPECT_EQ(serialized, expected);
}

// The key a seed expands to, and the stream's first words, by example; every
// part of the seeding and of the uniform doubles is held to an independent
// ChaCha8 over many seeds by tests/test_generators.py.
TEST(ChaCha, SeedVectors) {
  const auto zero = ChaCha8Rng::seed_from_u64(0);
  EXPECT_EQ(zero.key(), (ChaCha8Rng::Key{0xf973f2ec, 0x45cdb581, 0x7346f087, 0xad6cad06, 0xe3a3d0d0, 0x67e71733,
                                         0x72ea9bf2, 0xfe7d8ad7}));
  EXPECT_EQ(first_words(zero, 4), (Words{0xa79a3b6c, 0xb585f767, 0xbad8c037, 0x7746a55f}));
}

// The word stream is the blocks in counter order, read across several
// buffers by tests/test_generators.py against an independent ChaCha8.
TEST(ChaCha, WordStreamAcrossTheBuffer) {
  const auto seeded = ChaCha8Rng::seed_from_u64(7);
  const Words words = first_words(seeded, 2 * ChaCha8Rng::kBufferWords);
  // A 64-bit draw with one word left takes it as the low half and the first
  // word of the next buffer as the high half; nothing is skipped.
  constexpr std::size_t kEnd = ChaCha8Rng::kBufferWords;
  for (const std::size_t before : {kEnd - 2, kEnd - 1, kEnd}) {
    auto rng = seeded;
    for (std::size_t i = 0; i < before; ++i) rng.next_u32();
    EXPECT_EQ(rng.next_u64(), std::uint64_t{words[before + 1]} << 32 | words[before]) << before;
    EXPECT_EQ(rng.next_u32(), words[before + 2]);
  }
}

// The side-by-side blocks against the one-block function, for every count up
// to past two groups of lanes and from counters whose low word overflows
// within the run (the carry goes into word 13).
TEST(ChaCha, BlocksSideBySideAreTheSingleBlocks) {
  const ChaCha8Rng::Key key = ChaCha8Rng::seed_from_u64(99).key();
  for (const std::uint64_t first : {std::uint64_t{0}, std::uint64_t{5}, std::uint64_t{0xFFFFFFFA},
                                    std::uint64_t{0xFFFFFFFFFFFFFFF9u}}) {
    for (std::size_t count = 0; count <= 19; ++count) {
      Words out(16 * count + 1, 0xDEADBEEF);
      detail::chacha8_blocks(key, 0, first, count, out.data());
      for (std::size_t b = 0; b < count; ++b) {
        const auto expected = detail::chacha_block(block_input(key, first + b), 8);
        for (std::size_t i = 0; i < 16; ++i) ASSERT_EQ(out[16 * b + i], expected[i]) << first << "+" << b << ":" << i;
      }
      EXPECT_EQ(out[16 * count], 0xDEADBEEF) << "wrote past the blocks";
    }
  }
}

TEST(ChaCha, BoundedSamplersRejectOutsideTheirZone) {
  EXPECT_EQ(ChaCha8Rng::zone_u64(3), 0xBFFFFFFFFFFFFFFFu);
  EXPECT_EQ(ChaCha8Rng::zone_u32(1), 0x7FFFFFFFu);
  EXPECT_EQ(ChaCha8Rng::zone_u32(6), 0xBFFFFFFFu);

  // For n = 2^k the zone is 2^63 - 1, so a draw is kept exactly when bit
  // 63 - k is clear, and the result is its top k bits. Replay the raw draws.
  for (int k = 0; k < 64; k += 9) {
    const std::uint64_t n = std::uint64_t{1} << k;
    EXPECT_EQ(ChaCha8Rng::zone_u64(n), (std::uint64_t{1} << 63) - 1);
    auto rng = ChaCha8Rng::seed_from_u64(static_cast<std::uint64_t>(k));
    auto raw = rng;
    int rejected = 0;
    for (int sample = 0; sample < 200; ++sample) {
      std::uint64_t v = raw.next_u64();
      for (; (v >> (63 - k) & 1) != 0; v = raw.next_u64()) ++rejected;
      ASSERT_EQ(rng.below_u64(n), k == 0 ? 0 : v >> (64 - k));
    }
    EXPECT_EQ(rng.next_u32(), raw.next_u32());  // the same number of words consumed
    EXPECT_GT(rejected, 100);                    // about one draw in two
  }
}

TEST(ChaCha, Choice) {
  auto rng = ChaCha8Rng::seed_from_u64(3);
  auto copy = rng;
  EXPECT_EQ(rng.choose(std::span<const int>()), nullptr);  // no draw for an empty list
  const std::array<int, 5> items{10, 11, 12, 13, 14};
  const int* picked = rng.choose(std::span<const int>(items));
  ASSERT_NE(picked, nullptr);
  EXPECT_EQ(*picked, 10 + static_cast<int>(copy.below_u32(5)));
  EXPECT_EQ(rng.next_u32(), copy.next_u32());
}
