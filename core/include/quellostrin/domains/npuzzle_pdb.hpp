// Additive disjoint pattern databases for the sliding-tile puzzle: PuzzlePatterns,
// built once for one goal board, and PuzzlePdb, the heuristic that reads them.
//
// The tiles are split into groups. A group's database holds, for every way of
// placing its k tiles on the n cells, the fewest moves of the group's own
// tiles that bring them home, the other tiles being indistinguishable and
// free to move at no cost. Each move moves one tile, which belongs to one
// group, so the sum over the groups never exceeds the true distance: the
// estimate is admissible. A table has n! / (n - k)! entries, one byte each,
// indexed by the rank of the group's cells as a partial permutation
// (`pattern_rank`).
//
// Building is a breadth-first search over the group's abstract boards. The
// blank matters there (a tile can only slide into it), but as moves of the
// other tiles cost nothing, only the region of cells the blank can reach
// without moving a group tile matters: a state is (the group's cells, that
// region), the region named by the index of its lowest cell among the free
// ones, and a layer of the search is one cost-1 move. A table entry takes the
// depth at which its cells are first reached, in any region: the minimum over
// where the blank is.
//
// With `reflected`, the estimate is the larger of the sum for the board and
// the sum for the board reflected about the main diagonal (every tile renamed
// after the goal tile of its reflected cell): the reflection maps moves to
// moves and the goal to itself, so both sums are admissible. It needs the
// goal's blank on the main diagonal.
//
// The groups must partition the goal's tiles 1..n-1: then only the goal has
// estimate 0, which the IDA* loop uses as its goal test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "quellostrin/search/stop.hpp"
#include "quellostrin/small_bytes.hpp"

namespace quellostrin {

// What a set of pattern databases is built from.
struct PatternSpec {
  std::uint64_t side = 4;
  SmallBytes goal;                                // a permutation of 0..n-1
  std::vector<std::vector<std::uint8_t>> groups;  // tile numbers, a partition of 1..n-1
  bool reflected = false;

  friend bool operator==(const PatternSpec&, const PatternSpec&) = default;
};

// The groups of a named partition for `goal` on a board of side `side`:
// "6-6-3" and "7-8" on side 4 (both with the reflected lookup when the goal's
// blank is on the main diagonal) and "whole" (one group of every tile).
// The 4x4 partitions are given for the goal with the blank in the top-left
// corner (7-8: the top two rows and the bottom two; 6-6-3: the left column
// below the blank with the second column above the bottom row, the two right
// columns above the bottom row, and the rest of the bottom row), carried
// over by the board's symmetries to a goal with the blank in another corner,
// and cut from the cells in row order otherwise. InputError for an unknown name or a name for another side.
PatternSpec named_patterns(std::uint64_t side, const SmallBytes& goal, std::string_view name);

// The partition used when none is given: the whole board up to side 3,
// "6-6-3" on side 4, none (nullopt) from side 5 on.
std::optional<PatternSpec> default_patterns(std::uint64_t side, const SmallBytes& goal);

// InputError unless `spec`'s groups are non-empty and partition the goal's
// tiles 1..n-1, and its reflection, if asked for, has the goal's blank on the
// main diagonal.
void check_patterns(const PatternSpec& spec);

// n! / (n - k)!, the entries of the table of a group of k tiles on n cells;
// kSizeOverflow past 64 bits.
std::uint64_t pattern_entries(std::uint64_t n, std::uint64_t k);

// The rank of `cells` (k distinct cells of n) among the partial permutations
// of k of n cells: digit j is cells[j] less the cells before it that are
// smaller, in base n - j, most significant first.
std::uint64_t pattern_rank(const std::uint16_t* cells, std::size_t k, std::size_t n);

class PuzzlePatterns {
 public:
  // The tables of `spec` built (which `check_patterns` must accept), or
  // `cancelled` when `hook` asked to stop (it is polled every few thousand
  // states). OutOfMemory, before allocating anything, when building would
  // need more than the memory available.
  struct Build;
  static Build build(PatternSpec spec, const StopHook& hook = {});

  // Bytes building `spec` holds at its peak: every table, and the search's
  // three bit sets (seen, this layer, the next) for its largest group.
  static std::uint64_t build_bytes(const PatternSpec& spec);

  // Databases from tables built earlier (a pickle); InputError when a
  // table's size does not match its group.
  static PuzzlePatterns from_tables(PatternSpec spec, std::vector<std::vector<std::uint8_t>> tables);

  const PatternSpec& spec() const { return spec_; }
  const std::vector<std::vector<std::uint8_t>>& tables() const { return tables_; }
  std::uint64_t bytes() const;
  std::size_t cells() const { return n_; }

  // The estimate of `board` (a permutation of 0..n-1), from scratch.
  int estimate(const std::uint8_t* board) const;

  // What the IDA* loop reads to update the estimate per move.
  struct Layout {
    std::vector<std::uint8_t> group_of;  // [tile]: its group
    std::vector<std::uint8_t> slot_of;   // [tile]: its place in its group
    std::vector<std::uint8_t> mirror;    // [tile]: the tile of the reflected board (reflected only)
    std::vector<std::uint16_t> reflect;  // [cell]: the cell reflected about the main diagonal
  };
  const Layout& layout() const { return layout_; }

 private:
  PuzzlePatterns(PatternSpec spec, std::vector<std::vector<std::uint8_t>> tables);

  PatternSpec spec_;
  std::size_t n_ = 0;
  std::vector<std::vector<std::uint8_t>> tables_;  // [group][rank]
  Layout layout_;
};

struct PuzzlePatterns::Build {
  std::optional<PuzzlePatterns> patterns;
  bool cancelled = false;
};

// The heuristic over the databases: the estimate of a board for the goal
// they were built for (the `goal` argument is not read).
struct PuzzlePdb {
  static constexpr bool pure = true;
  const PuzzlePatterns* patterns = nullptr;

  template <class State>
  double estimate(const State& state, const State& /*goal*/) const {
    return patterns->estimate(state.data());
  }
};

}  // namespace quellostrin
