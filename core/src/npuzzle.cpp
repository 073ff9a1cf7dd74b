#include "quellostrin/domains/npuzzle.hpp"

#include <array>
#include <cmath>
#include <cstring>

#include "quellostrin/errors.hpp"

namespace quellostrin {

namespace detail {

void fail_board(std::uint64_t side, std::size_t cells) {
  if (side == 0) fail_invariant("a sliding-tile board has a side of at least 1");
  fail_invariant("a state of {} cells on a board of side {}", cells, side);
}

void fail_not_permutation(std::string_view name, std::uint64_t n) {
  fail_input("{} must be a permutation of 0..{} (0 = blank)", name, n - 1);
}

}  // namespace detail

std::optional<std::uint64_t> npuzzle_side_for(std::uint64_t cells) {
  if (cells == 0) return std::nullopt;
  // The rounded double root is within one of the true root for every 64-bit
  // count; settle it exactly in integers.
  auto s = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(cells)));
  while (s > 0 && (s > 0xFFFFFFFFu || s * s > cells)) --s;
  while (s < 0xFFFFFFFFu && (s + 1) * (s + 1) <= cells) ++s;
  if (s * s != cells) return std::nullopt;
  return s;
}

bool npuzzle_solvable(std::uint64_t side, std::span<const std::uint8_t> start, std::span<const std::uint8_t> goal) {
  if (start.size() != goal.size()) return false;
  const std::size_t n = start.size();
  if (side == 0 || n != side * side) detail::fail_board(side, n);
  if (n > kMaxPuzzleCells) fail_invariant("is_solvable on {} cells: byte tiles name at most 256", n);

  // pos[t]: the goal cell of tile t; then p[i] = pos[start[i]].
  constexpr std::uint16_t kAbsent = 0xFFFF;
  std::array<std::uint16_t, kMaxPuzzleCells> pos;
  pos.fill(kAbsent);
  for (std::size_t i = 0; i < n; ++i) {
    if (goal[i] >= n || pos[goal[i]] != kAbsent) fail_invariant("is_solvable: the goal is not a permutation of 0..{}", n - 1);
    pos[goal[i]] = static_cast<std::uint16_t>(i);
  }
  std::array<std::uint16_t, kMaxPuzzleCells> p;
  std::array<bool, kMaxPuzzleCells> seen{};
  for (std::size_t i = 0; i < n; ++i) {
    if (start[i] >= n || seen[start[i]]) fail_invariant("is_solvable: the start is not a permutation of 0..{}", n - 1);
    seen[start[i]] = true;
    p[i] = pos[start[i]];
  }

  // Transpositions: n minus the number of cycles.
  std::array<bool, kMaxPuzzleCells> visited{};
  std::size_t cycles = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (visited[i]) continue;
    ++cycles;
    for (std::size_t j = i; !visited[j]; j = p[j]) visited[j] = true;
  }
  const std::size_t transpositions = n - cycles;

  auto blank = [n](std::span<const std::uint8_t> state) {
    const void* zero = std::memchr(state.data(), 0, n);
    return zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - state.data()) : std::size_t{0};
  };
  const std::size_t s = static_cast<std::size_t>(side), bs = blank(start), bg = blank(goal);
  const std::size_t rs = bs / s, cs = bs % s, rg = bg / s, cg = bg % s;
  const std::size_t distance = (rs > rg ? rs - rg : rg - rs) + (cs > cg ? cs - cg : cg - cs);
  return transpositions % 2 == distance % 2;
}

}  // namespace quellostrin
