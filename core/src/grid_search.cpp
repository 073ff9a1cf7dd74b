#include "quellostrin/domains/grid_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/search/indexed_search.hpp"
#include "quellostrin/memory.hpp"

namespace quellostrin {

namespace {

// Grids up to this many cells: their padded indices fit in 31 bits, and the
// pushes of a search (at most 8 per cell plus the start's) in the 32 bits of
// sequence number an entry keeps.
constexpr std::uint64_t kMaxCells = std::uint64_t{1} << 28;

// Bytes per padded cell of a search's own memory.
constexpr std::uint64_t kBytesPerCell = Workspace::kBytesPerIndex;

// The grid as the indexed loop (search/indexed_search.hpp) walks it: a cell is its
// index into the padded wall array, whose border of walls lets every
// neighbour be read without a bounds test. On a grid whose open cells all
// cost the same (kUniform) a move's cost is one of two constants, and the
// cost array is not read.
template <class H, bool kDiagonal, bool kUniform>
struct GridPolicy {
  using Node = Cell;
  static constexpr bool kSkipEstimate = false;
  const std::uint8_t* open;
  const double* costs;
  std::int64_t width;
  std::uint32_t row_length;  // width + 2
  const H& heuristic;
  Cell goal;
  double straight, diagonal;  // the moves' costs when kUniform

  std::uint32_t index(Cell c) const { return static_cast<std::uint32_t>((c.row + 1) * row_length + c.col + 1); }
  Cell node(std::uint32_t p) const {
    const std::uint32_t r = p / row_length;
    return Cell{static_cast<std::int32_t>(r) - 1, static_cast<std::int32_t>(p - r * row_length) - 1};
  }
  double estimate(Cell c) const { return heuristic.estimate(c, goal); }

  // Up, down, left, right, then the diagonals that cut no corner: the
  // grid's own order. Each successor hands over its cell, which the
  // heuristic reads, so the cell is never computed back from its index.
  template <class F>
  [[gnu::always_inline]] void for_each_successor(std::uint32_t p, F&& relax) const {
    const Cell here = node(p);
    const double* cost = costs + here.row * width + here.col;
    const std::uint32_t up = p - row_length, down = p + row_length;
    const bool open_up = open[up], open_down = open[down];
    const bool open_left = open[p - 1], open_right = open[p + 1];
    const std::int32_t r = here.row, c = here.col;
    // The cost of entering the cell at `offset` from this one, straight or
    // diagonally.
    auto line = [&](std::int64_t offset) __attribute__((always_inline)) {
      if constexpr (kUniform) return straight;
      return cost[offset];
    };
    auto slant = [&](std::int64_t offset) __attribute__((always_inline)) {
      if constexpr (kUniform) return diagonal;
      return cost[offset] * kSqrt2;
    };
    if (open_up) relax(up, line(-width), Cell{r - 1, c});
    if (open_down) relax(down, line(width), Cell{r + 1, c});
    if (open_left) relax(p - 1, line(-1), Cell{r, c - 1});
    if (open_right) relax(p + 1, line(1), Cell{r, c + 1});
    if constexpr (kDiagonal) {
      if (open_up && open_left && open[up - 1]) relax(up - 1, slant(-width - 1), Cell{r - 1, c - 1});
      if (open_up && open_right && open[up + 1]) relax(up + 1, slant(-width + 1), Cell{r - 1, c + 1});
      if (open_down && open_left && open[down - 1]) relax(down - 1, slant(width - 1), Cell{r + 1, c - 1});
      if (open_down && open_right && open[down + 1]) relax(down + 1, slant(width + 1), Cell{r + 1, c + 1});
    }
  }
};

// Moves cost an open cell's cost, or that times sqrt(2) on a diagonal; both
// are known since the grid was built.
detail::MoveCosts move_costs(const GridGraph& grid) {
  return {grid.min_cost(), grid.max_cost() * kSqrt2, false};
}

template <class H, bool kDiagonal, bool kUniform>
SearchResult<Cell> search(const GridGraph& grid, Cell start, Cell goal, const AlgorithmKind& kind, const H& heuristic,
                          const SearchOptions& options) {
  const std::int64_t width = grid.width(), pw = width + 2;
  const auto padded = static_cast<std::size_t>(pw * (std::int64_t{grid.height()} + 2));
  // Every open cell costs min_cost() when the grid is uniform; the product
  // is the one the cost array would give.
  const double unit = grid.min_cost();
  const GridPolicy<H, kDiagonal, kUniform> policy{
      grid.padded_open(), grid.costs(), width, static_cast<std::uint32_t>(pw), heuristic, goal, unit, unit * kSqrt2};
  return detail::indexed_best_first(policy, padded, policy.index(start), policy.index(goal),
                                    heuristic.estimate(start, goal), kind, move_costs(grid), options);
}

template <class H, bool kDiagonal>
SearchResult<Cell> search(const GridGraph& grid, Cell start, Cell goal, const AlgorithmKind& kind, const H& heuristic,
                          const SearchOptions& options) {
  if (grid.min_cost() == grid.max_cost()) return search<H, kDiagonal, true>(grid, start, goal, kind, heuristic, options);
  return search<H, kDiagonal, false>(grid, start, goal, kind, heuristic, options);
}

}  // namespace

bool grid_search_applies(const GridGraph& grid, Cell start, Cell goal, const AlgorithmKind& kind,
                         const SearchOptions& options) {
  const std::uint64_t cells = grid.index_space();
  const std::uint64_t padded = (std::uint64_t(grid.width()) + 2) * (std::uint64_t(grid.height()) + 2);
  if (kind.frontier != FrontierKind::PriorityQueue || options.reopen || !grid.in_bounds(start) ||
      !grid.in_bounds(goal) || cells > kMaxCells || size_mul(padded, kBytesPerCell) > physical_memory()) {
    return false;
  }
  return detail::priorities_are_numbers(kind, move_costs(grid), cells);
}

template <class H>
  requires is_grid_heuristic<H>
SearchResult<Cell> grid_search(const GridGraph& grid, Cell start, Cell goal, const AlgorithmKind& kind,
                               const H& heuristic, const SearchOptions& options) {
  if (!grid_search_applies(grid, start, goal, kind, options)) {
    fail_invariant("grid_search on a search the general driver must run");
  }
  // The general driver's dense node store refuses a grid beyond the
  // machine's memory up front; so does this search, with its message.
  if (options.dense) {
    const std::uint64_t n = grid.index_space();
    require_memory(size_mul(n, sizeof(double) + sizeof(Cell) + 1), "the node store of a search over {} nodes", n);
  }
  return timed([&] {
    return grid.diagonal() ? search<H, true>(grid, start, goal, kind, heuristic, options)
                           : search<H, false>(grid, start, goal, kind, heuristic, options);
  });
}

template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Zero&,
                                        const SearchOptions&);
template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Manhattan&,
                                        const SearchOptions&);
template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Euclidean&,
                                        const SearchOptions&);
template SearchResult<Cell> grid_search(const GridGraph&, Cell, Cell, const AlgorithmKind&, const Octile&,
                                        const SearchOptions&);

}  // namespace quellostrin
