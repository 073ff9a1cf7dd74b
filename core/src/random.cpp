#include "quellostrin/random.hpp"

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
  std::array<std::uint32_t, 16> input{};
  for (std::size_t i = 0; i < 4; ++i) input[i] = detail::kChaChaConstants[i];
  for (std::size_t i = 0; i < 8; ++i) input[4 + i] = key_[i];
  input[14] = static_cast<std::uint32_t>(stream_);
  input[15] = static_cast<std::uint32_t>(stream_ >> 32);
  for (std::size_t b = 0; b < 4; ++b) {
    const std::uint64_t counter = counter_ + b;
    input[12] = static_cast<std::uint32_t>(counter);
    input[13] = static_cast<std::uint32_t>(counter >> 32);
    const auto block = detail::chacha_block(input, kRounds);
    for (std::size_t i = 0; i < 16; ++i) buffer_[16 * b + i] = block[i];
  }
  counter_ += 4;
  index_ = 0;
}

}  // namespace quellostrin
