// NPuzzle: the sliding-tile puzzle on a square board of side s as an implicit
// graph, each slide of a tile into the blank an edge of cost 1.0; its two
// heuristics, PuzzleManhattan and PuzzleMisplaced; and the solvability test.
//
// A state holds one byte per cell, row-major (cell i is row i / s, column
// i mod s); tile 0 is the blank. Tiles are bytes, so a board has at most 256
// cells (s <= 16).
//
// Successors move the blank (the first 0 byte, or cell 0 if there is none)
// up, down, left, right, in that order, each only when it stays on the board.
//
// Solvability is one parity rule for every side: a start reaches a goal
// exactly when the permutation taking one to the other (blank included) has
// the parity of the blank's Manhattan distance between them. Every move is one
// transposition that moves the blank by one cell, so the rule is necessary;
// on boards of side 2 and more it is also sufficient.
//
// Programming errors, never input (callers validate first), throw
// InvariantError: a side of 0, a state whose length is not s * s, and
// is_solvable on states that are not permutations of 0..n-1.
//
// BasicNPuzzle is written over the state container; `NPuzzle` is the one the
// library uses, over SmallBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/small_bytes.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

inline constexpr std::uint64_t kMaxPuzzleCells = 256;

// The side of a board of `cells` cells: its square root when `cells` is a
// non-zero perfect square, nothing otherwise.
std::optional<std::uint64_t> npuzzle_side_for(std::uint64_t cells);

// Whether `start` can be slid into `goal` on a board of side `side`; false
// when the lengths differ.
bool npuzzle_solvable(std::uint64_t side, std::span<const std::uint8_t> start, std::span<const std::uint8_t> goal);

namespace detail {
[[noreturn]] void fail_board(std::uint64_t side, std::size_t cells);
[[noreturn]] void fail_not_permutation(std::string_view name, std::uint64_t n);
}  // namespace detail

// InputError "{name} must be a permutation of 0..{n - 1} (0 = blank)" at the
// first value that is n or more, or seen before. Values are compared as
// unsigned 64-bit numbers, so a negative one fails as too large. `values`
// must hold exactly n entries.
template <class Range>
void check_permutation(const Range& values, std::uint64_t n, std::string_view name) {
  std::vector<bool> seen(static_cast<std::size_t>(n));
  std::uint64_t count = 0;
  for (const auto& v : values) {
    const auto u = static_cast<std::uint64_t>(v);
    if (u >= n || seen[static_cast<std::size_t>(u)]) detail::fail_not_permutation(name, n);
    seen[static_cast<std::size_t>(u)] = true;
    ++count;
  }
  if (count != n) fail_invariant("check_permutation was handed {} values for {} cells", count, n);
}

template <class State>
struct BasicNPuzzle {
  using Node = State;

  std::uint64_t side = 3;

  std::uint64_t cells() const { return side * side; }

  // The tiles 1, 2, ..., n - 1 and the blank last.
  State goal() const {
    const std::uint64_t n = cells();
    if (side == 0 || n > kMaxPuzzleCells) detail::fail_board(side, static_cast<std::size_t>(n));
    State g(static_cast<std::size_t>(n), std::uint8_t{0});
    std::uint8_t* out = g.data();
    for (std::uint64_t i = 0; i + 1 < n; ++i) out[i] = static_cast<std::uint8_t>(i + 1);
    return g;
  }

  bool is_solvable(std::span<const std::uint8_t> start, std::span<const std::uint8_t> goal_state) const {
    return npuzzle_solvable(side, start, goal_state);
  }

  void neighbors_into(const State& state, SuccessorList<State>& out) const {
    const std::size_t s = static_cast<std::size_t>(side), n = state.size();
    if (s == 0 || n != s * s) detail::fail_board(side, n);
    const std::uint8_t* cell = state.data();
    const void* zero = std::memchr(cell, 0, n);
    const std::size_t b = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - cell) : 0;
    const std::size_t r = b / s, c = b % s;
    auto slide = [&](std::size_t t) {
      State next = state;
      std::uint8_t* p = next.data();
      p[b] = cell[t];
      p[t] = cell[b];
      out.emplace_back(std::move(next), 1.0);
    };
    if (r > 0) slide(b - s);
    if (r + 1 < s) slide(b + s);
    if (c > 0) slide(b - 1);
    if (c + 1 < s) slide(b + 1);
  }

  SuccessorList<State> neighbors(const State& state) const {
    SuccessorList<State> out;
    out.reserve(4);
    neighbors_into(state, out);
    return out;
  }
};

using NPuzzle = BasicNPuzzle<SmallBytes>;

// The sum over the non-blank tiles of the row and column distances between
// their cell in the state and in the goal (a tile missing from the goal counts
// 0). Admissible: each slide moves one tile by one cell.
struct PuzzleManhattan {
  static constexpr bool pure = true;
  std::uint64_t side = 3;

  template <class State>
  double estimate(const State& state, const State& goal) const {
    constexpr std::uint16_t kAbsent = 0xFFFF;
    std::uint16_t where[256];
    for (std::uint16_t& w : where) w = kAbsent;
    const std::uint8_t* g = goal.data();
    for (std::size_t i = 0; i < goal.size(); ++i) where[g[i]] = static_cast<std::uint16_t>(i);
    const std::uint8_t* a = state.data();
    const std::size_t n = state.size(), s = static_cast<std::size_t>(side);
    if (s == 0) {
      for (std::size_t i = 0; i < n; ++i) {
        if (a[i] != 0) detail::fail_board(side, n);
      }
      return 0.0;
    }
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (a[i] == 0) continue;
      const std::size_t to = where[a[i]] == kAbsent ? i : where[a[i]];
      const std::size_t ri = i / s, ci = i % s, rt = to / s, ct = to % s;
      sum += (ri > rt ? ri - rt : rt - ri) + (ci > ct ? ci - ct : ct - ci);
    }
    return static_cast<double>(sum);
  }
};

// The number of non-blank tiles off their goal cell, over the shorter of the
// two states.
struct PuzzleMisplaced {
  static constexpr bool pure = true;

  template <class State>
  double estimate(const State& state, const State& goal) const {
    const std::size_t n = state.size() < goal.size() ? state.size() : goal.size();
    const std::uint8_t* a = state.data();
    const std::uint8_t* b = goal.data();
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < n; ++i) count += (a[i] != 0) & (a[i] != b[i]);
    return static_cast<double>(count);
  }
};

}  // namespace quellostrin
