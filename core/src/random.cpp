#include "quellostrin/generators/random.hpp"

#include <algorithm>
#include <cstring>

namespace quellostrin {

ChaCha8Rng ChaCha8Rng::seed_from_u64(std::uint64_t seed) {
  // PCG32 (XSH RR output), the state advanced before each output.
  constexpr std::uint64_t kMul = 6364136223846793005ULL;
  constexpr std::uint64_t kInc = 11634580027462260723ULL;
  Key key;
  std::uint64_t s = seed;
  for (auto& word : key) {
    s = s * kMul + kInc;
    const auto x = static_cast<std::uint32_t>(((s >> 18) ^ s) >> 27);
    word = std::rotr(x, static_cast<int>(s >> 59));
  }
  return ChaCha8Rng(key);
}

void ChaCha8Rng::refill() {
  detail::chacha8_blocks(key_, stream_, counter_, kBufferWords / 16, buffer_.data());
  counter_ += kBufferWords / 16;
  index_ = 0;
}

namespace detail {

namespace {

// Eight blocks side by side: word i of block l is lane l of x[i], so each
// step of the quarter round is one instruction over all eight blocks (two
// halves on a machine with 128-bit vectors only).
using Lanes = std::uint32_t __attribute__((vector_size(32)));

// Lanes travel by reference only: passed by value, a 256-bit vector would
// take a different calling convention in the clones with and without AVX.
template <int N>
[[gnu::always_inline]] inline void xor_rotl(Lanes& v, const Lanes& w) {
  v ^= w;
  v = (v << N) | (v >> (32 - N));
}

[[gnu::always_inline]] inline void quarter_round_lanes(Lanes& a, Lanes& b, Lanes& c, Lanes& d) {
  a += b;
  xor_rotl<16>(d, a);
  c += d;
  xor_rotl<12>(b, c);
  a += b;
  xor_rotl<8>(d, a);
  c += d;
  xor_rotl<7>(b, c);
}

// Blocks counter .. counter + 7 into out, block after block.
[[gnu::target_clones("arch=x86-64-v4", "avx2", "default")]]
void chacha8_eight(const std::array<std::uint32_t, 16>& input, std::uint64_t counter, std::uint32_t* out) {
  Lanes in[16];
  for (std::size_t i = 0; i < 16; ++i) in[i] = Lanes{} + input[i];
  for (unsigned l = 0; l < 8; ++l) {
    in[12][l] = static_cast<std::uint32_t>(counter + l);
    in[13][l] = static_cast<std::uint32_t>((counter + l) >> 32);
  }
  Lanes x[16];
  for (std::size_t i = 0; i < 16; ++i) x[i] = in[i];
  for (int r = 0; r < ChaCha8Rng::kRounds; r += 2) {
    quarter_round_lanes(x[0], x[4], x[8], x[12]);
    quarter_round_lanes(x[1], x[5], x[9], x[13]);
    quarter_round_lanes(x[2], x[6], x[10], x[14]);
    quarter_round_lanes(x[3], x[7], x[11], x[15]);
    quarter_round_lanes(x[0], x[5], x[10], x[15]);
    quarter_round_lanes(x[1], x[6], x[11], x[12]);
    quarter_round_lanes(x[2], x[7], x[8], x[13]);
    quarter_round_lanes(x[3], x[4], x[9], x[14]);
  }
  std::uint32_t words[16][8];
  for (std::size_t i = 0; i < 16; ++i) std::memcpy(words[i], &(x[i] += in[i]), sizeof words[i]);
  for (std::size_t l = 0; l < 8; ++l) {
    for (std::size_t i = 0; i < 16; ++i) out[16 * l + i] = words[i][l];
  }
}

}  // namespace

void chacha8_blocks(const std::array<std::uint32_t, 8>& key, std::uint64_t stream, std::uint64_t counter,
                    std::size_t count, std::uint32_t* out) {
  std::array<std::uint32_t, 16> input{};
  for (std::size_t i = 0; i < 4; ++i) input[i] = kChaChaConstants[i];
  for (std::size_t i = 0; i < 8; ++i) input[4 + i] = key[i];
  input[14] = static_cast<std::uint32_t>(stream);
  input[15] = static_cast<std::uint32_t>(stream >> 32);
  for (; count >= 8; count -= 8, counter += 8, out += 16 * 8) chacha8_eight(input, counter, out);
  if (count > 0) {
    std::uint32_t last[16 * 8];
    chacha8_eight(input, counter, last);
    std::copy(last, last + 16 * count, out);
  }
}

}  // namespace detail

}  // namespace quellostrin
