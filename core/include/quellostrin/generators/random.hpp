// ChaCha8Rng: the one random source of the generators.
//
// The ChaCha stream cipher with 8 rounds used as a keystream: a 256-bit key,
// a 64-bit block counter starting at 0 and a 64-bit stream number fixed at 0.
// Blocks come out in counter order and their 16 words are read in order, eight
// blocks buffered at a time (computed side by side); 32- and 64-bit draws
// consume the one word stream (a 64-bit draw takes the low half first, across
// a buffer refill if need be).
// `seed_from_u64` expands a 64-bit seed into the key with a PCG32 sequence.
//
// The samplers on top of the raw words are the only ones the generators use,
// and each one's consumption of words is fixed, so a seed fixes every sample:
// - uniform_double: next_u64() >> 11, times 2^-53, in [0, 1);
// - chance(p): uniform_double() < p (NaN or p <= 0 never, p >= 1 always);
// - below_u64 / below_u32: widening multiply, accepting when the low half is
//   at most (n << countl_zero(n)) - 1, redrawing otherwise. That zone is not
//   the largest multiple of n: for n = 1 and every power of two it rejects
//   about half of all draws;
// - choose_index(len): no draw for an empty list, else below_u32 while the
//   length fits in 32 bits and below_u64 beyond.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <span>

#include "quellostrin/errors.hpp"

namespace quellostrin {

namespace detail {

inline constexpr std::array<std::uint32_t, 4> kChaChaConstants = {0x61707865, 0x3320646e, 0x79622d32, 0x6b206574};

inline constexpr void chacha_quarter_round(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d) {
  a += b;
  d = std::rotl(d ^ a, 16);
  c += d;
  b = std::rotl(b ^ c, 12);
  a += b;
  d = std::rotl(d ^ a, 8);
  c += d;
  b = std::rotl(b ^ c, 7);
}

// The ChaCha block function over a full 16-word input state: `rounds` rounds
// (an even number: column round, diagonal round, ...), then each word of the
// working state added to its input word.
inline constexpr std::array<std::uint32_t, 16> chacha_block(const std::array<std::uint32_t, 16>& input, int rounds) {
  std::array<std::uint32_t, 16> x = input;
  for (int i = 0; i < rounds; i += 2) {
    chacha_quarter_round(x[0], x[4], x[8], x[12]);
    chacha_quarter_round(x[1], x[5], x[9], x[13]);
    chacha_quarter_round(x[2], x[6], x[10], x[14]);
    chacha_quarter_round(x[3], x[7], x[11], x[15]);
    chacha_quarter_round(x[0], x[5], x[10], x[15]);
    chacha_quarter_round(x[1], x[6], x[11], x[12]);
    chacha_quarter_round(x[2], x[7], x[8], x[13]);
    chacha_quarter_round(x[3], x[4], x[9], x[14]);
  }
  for (std::size_t i = 0; i < 16; ++i) x[i] += input[i];
  return x;
}

// `count` consecutive ChaCha8 keystream blocks of `key` and `stream`, from
// block number `counter` on, into out[0 .. 16 * count) in counter order: word
// for word what chacha_block gives for each (the 64-bit counter carried from
// word 12 into word 13), with eight blocks computed side by side in vector
// lanes.
void chacha8_blocks(const std::array<std::uint32_t, 8>& key, std::uint64_t stream, std::uint64_t counter,
                    std::size_t count, std::uint32_t* out);

}  // namespace detail

class ChaCha8Rng {
 public:
  using Key = std::array<std::uint32_t, 8>;
  static constexpr int kRounds = 8;
  static constexpr std::size_t kBufferWords = 128;  // eight blocks

  explicit ChaCha8Rng(const Key& key) : key_(key) {}

  static ChaCha8Rng seed_from_u64(std::uint64_t seed);

  const Key& key() const { return key_; }
  // Number of the next block the buffer will be refilled from.
  std::uint64_t block_counter() const { return counter_; }

  std::uint32_t next_u32() {
    if (index_ == kBufferWords) refill();
    return buffer_[index_++];
  }

  std::uint64_t next_u64() {
    const std::uint64_t lo = next_u32();
    const std::uint64_t hi = next_u32();
    return hi << 32 | lo;
  }

  double uniform_double() { return static_cast<double>(next_u64() >> 11) * 0x1.0p-53; }

  bool chance(double p) { return uniform_double() < p; }

  // Uniform in [0, n); n >= 1.
  std::uint64_t below_u64(std::uint64_t n) {
    const std::uint64_t zone = zone_u64(n);
    for (;;) {
      __extension__ using U128 = unsigned __int128;
      const U128 product = static_cast<U128>(next_u64()) * n;
      if (static_cast<std::uint64_t>(product) <= zone) return static_cast<std::uint64_t>(product >> 64);
    }
  }

  // Uniform in [0, n); n >= 1.
  std::uint32_t below_u32(std::uint32_t n) {
    const std::uint32_t zone = zone_u32(n);
    for (;;) {
      const std::uint64_t product = std::uint64_t{next_u32()} * n;
      if (static_cast<std::uint32_t>(product) <= zone) return static_cast<std::uint32_t>(product >> 32);
    }
  }

  // The acceptance zones of the two bounded samplers.
  static std::uint64_t zone_u64(std::uint64_t n) {
    if (n == 0) fail_invariant("uniform integer below 0");
    return (n << std::countl_zero(n)) - 1;
  }
  static std::uint32_t zone_u32(std::uint32_t n) {
    if (n == 0) fail_invariant("uniform integer below 0");
    return static_cast<std::uint32_t>((n << std::countl_zero(n)) - 1U);
  }

  // A uniform index into a list of `len` elements; nothing (and no draw) when
  // the list is empty.
  std::optional<std::uint64_t> choose_index(std::uint64_t len) {
    if (len == 0) return std::nullopt;
    if (len <= 0xFFFFFFFFu) return below_u32(static_cast<std::uint32_t>(len));
    return below_u64(len);
  }

  template <class T>
  const T* choose(std::span<const T> items) {
    const auto i = choose_index(items.size());
    return i ? &items[*i] : nullptr;
  }

 private:
  void refill();

  Key key_;
  std::uint64_t counter_ = 0;
  std::uint64_t stream_ = 0;
  std::array<std::uint32_t, kBufferWords> buffer_{};
  std::size_t index_ = kBufferWords;
};

}  // namespace quellostrin
