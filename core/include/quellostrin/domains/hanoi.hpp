// Hanoi: the Towers of Hanoi over 1 to 16 pegs as an implicit graph, every
// legal single-disk move an edge of cost 1.0; HanoiMisplaced, its heuristic.
//
// A state holds one byte per disk: entry d is the peg of disk d, disk 0 the
// smallest. A peg's disks are stacked smallest on top, so the top disk of a
// peg is the lowest-numbered disk on it. States that no move sequence reaches
// (a larger disk above a smaller one) are expanded by the same rule.
//
// Successors come out by source peg ascending, then destination peg
// ascending: the top disk of `from` may go to `to` when `to` is empty or its
// top disk is larger. Disks whose entry names a peg past the peg count are
// ignored.
//
// BasicHanoi is written over the state container (anything built from a
// length and a fill byte with size() and operator[]); `Hanoi` is the one the
// library uses, over SmallBytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "quellostrin/small_bytes.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

inline constexpr std::uint64_t kMaxHanoiPegs = 16;

// InputError "pegs must be between 1 and 16, got {}" unless 1 <= pegs <= 16.
void check_hanoi_pegs(std::uint64_t pegs);

template <class State>
struct BasicHanoi {
  using Node = State;

  std::uint64_t disks = 0;
  std::uint64_t pegs = 3;

  static BasicHanoi with_pegs(std::uint64_t disks, std::uint64_t pegs) {
    check_hanoi_pegs(pegs);
    return BasicHanoi{disks, pegs};
  }

  // Bytes one state of `disks` disks occupies, for callers that refuse a
  // count too large to hold before asking for start() or goal().
  static constexpr std::uint64_t state_bytes(std::uint64_t disks) { return disks; }

  // Every disk on peg 0.
  State start() const { return State(static_cast<std::size_t>(disks), std::uint8_t{0}); }
  // Every disk on the last peg (the start again with one peg).
  State goal() const {
    return State(static_cast<std::size_t>(disks), static_cast<std::uint8_t>(peg_count() - 1));
  }

  void neighbors_into(const State& state, SuccessorList<State>& out) const {
    constexpr std::size_t kEmpty = static_cast<std::size_t>(-1);
    const std::size_t np = peg_count();
    // top[p]: the smallest disk on peg p; kEmpty compares larger than any disk.
    std::size_t top[kMaxHanoiPegs];
    for (std::size_t p = 0; p < kMaxHanoiPegs; ++p) top[p] = kEmpty;
    std::size_t unseen = np;
    for (std::size_t d = 0; d < state.size() && unseen != 0; ++d) {
      const std::size_t p = state[d];
      if (p < np && top[p] == kEmpty) {
        top[p] = d;
        --unseen;
      }
    }
    for (std::size_t from = 0; from < np; ++from) {
      const std::size_t d = top[from];
      if (d == kEmpty) continue;
      for (std::size_t to = 0; to < np; ++to) {
        if (to == from || top[to] < d) continue;
        State next = state;
        next[d] = static_cast<std::uint8_t>(to);
        out.emplace_back(std::move(next), 1.0);
      }
    }
  }

  SuccessorList<State> neighbors(const State& state) const {
    SuccessorList<State> out;
    neighbors_into(state, out);
    return out;
  }

 private:
  std::size_t peg_count() const { return static_cast<std::size_t>(pegs < kMaxHanoiPegs ? pegs : kMaxHanoiPegs); }
};

using Hanoi = BasicHanoi<SmallBytes>;

// The number of disks not yet on their goal peg, over the shorter of the two
// states. Admissible: each such disk needs at least one move.
struct HanoiMisplaced {
  static constexpr bool pure = true;
  template <class State>
  double estimate(const State& state, const State& goal) const {
    const std::size_t n = state.size() < goal.size() ? state.size() : goal.size();
    const std::uint8_t* a = state.data();
    const std::uint8_t* b = goal.data();
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < n; ++i) count += a[i] != b[i];
    return static_cast<double>(count);
  }
};

}  // namespace quellostrin
