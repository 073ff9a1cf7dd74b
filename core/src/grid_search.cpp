#include "quellostrin/graph/grid_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/packed_heap.hpp"
#include "quellostrin/stop.hpp"

namespace quellostrin {

namespace {

// Grids up to this many cells: their padded indices fit in 31 bits, and the
// pushes of a search (at most 8 per cell plus the start's) in the 32 bits of
// sequence number an entry keeps.
constexpr std::uint64_t kMaxCells = std::uint64_t{1} << 28;

// Bytes per padded cell of a search's own memory.
constexpr std::uint64_t kBytesPerCell = Workspace::kBytesPerIndex;

using detail::packed_entry;
using detail::packed_index;
using detail::QuadHeap;

template <class H, bool kDiagonal>
SearchResult<Cell> search(const GridGraph& grid, Cell start, Cell goal, const AlgorithmKind& kind, const H& heuristic,
                          const SearchOptions& options) {
  const std::int64_t width = grid.width(), pw = width + 2;
  const std::size_t padded = static_cast<std::size_t>(pw * (std::int64_t{grid.height()} + 2));
  auto to_padded = [&](Cell c) { return static_cast<std::uint32_t>((c.row + 1) * pw + c.col + 1); };
  const auto row_length = static_cast<std::uint32_t>(pw);
  auto to_cell = [&](std::uint32_t p) {
    const std::uint32_t r = p / row_length;
    return Cell{static_cast<std::int32_t>(r) - 1, static_cast<std::int32_t>(p - r * row_length) - 1};
  };

  // The search's memory: the caller's workspace, or one of its own.
  std::optional<Workspace> own;
  Workspace& ws = options.workspace ? *options.workspace : own.emplace();
  ws.begin(padded);
  const std::uint8_t* const open = grid.padded_open();
  std::uint16_t* const marks = ws.marks();
  const std::uint16_t reached = ws.reached(), closed = ws.closed();
  double* const g = ws.labels();
  // Parents as signed padded indices, -1 above the start (the same four
  // bytes as the workspace's unsigned ones).
  std::int32_t* const parent = reinterpret_cast<std::int32_t*>(ws.parents());
  const double* const costs = grid.costs();
  const double g_weight = kind.g_weight, h_weight = kind.h_weight;
  const bool record = options.record;

  QuadHeap& frontier = ws.heap();
  std::vector<std::uint32_t>& discovered = ws.discovered();
  SearchResult<Cell> result;
  std::uint64_t expanded = 0, generated = 1, max_frontier = 1, seq = 0;
  StopGate gate(Limits{options.max_nodes, options.stop});

  const std::uint32_t start_p = to_padded(start), goal_p = to_padded(goal);
  marks[start_p] = reached;
  g[start_p] = 0.0;
  parent[start_p] = -1;
  frontier.push(packed_entry(g_weight * 0.0 + h_weight * heuristic.estimate(start, goal), seq++, start_p));

  result.stop_reason = StopReason::Exhausted;
  while (!frontier.empty()) {
    const std::uint32_t p = packed_index(frontier.pop());
    if (marks[p] == closed) continue;  // stale duplicate of a cell expanded already
    marks[p] = closed;
    const double gp = g[p];
    if (record) result.trace.push_back(TraceStep<Cell>{to_cell(p), gp, frontier.size()});
    ++expanded;
    if (p == goal_p) {
      result.stop_reason = StopReason::Goal;
      std::vector<Cell> path;
      for (std::int32_t q = static_cast<std::int32_t>(p); q >= 0; q = parent[q]) {
        path.push_back(to_cell(static_cast<std::uint32_t>(q)));
      }
      std::reverse(path.begin(), path.end());
      result.path = std::move(path);
      result.cost = gp;
      break;
    }
    if (gate(expanded)) {
      result.stop_reason = gate.reason();
      break;
    }

    const Cell here = to_cell(p);
    const double* cost = costs + here.row * width + here.col;
    // The general driver's relaxation of one successor, `q` at (qr, qc) for
    // a move costing `w`. Inlined at each of its eight uses: a call would
    // cost more than the common case, a successor reached already.
    auto relax = [&](std::uint32_t q, std::int32_t qr, std::int32_t qc, double w) __attribute__((always_inline)) {
      const std::uint16_t m = marks[q];
      const double new_g = gp + w;
      if (m >= reached) {
        if (m == closed || !(new_g < g[q])) return;
      } else {
        marks[q] = reached;
        if (record) discovered.push_back(q);
      }
      g[q] = new_g;
      parent[q] = static_cast<std::int32_t>(p);
      const double h = heuristic.estimate(Cell{qr, qc}, goal);
      frontier.push(packed_entry(g_weight * new_g + h_weight * h, seq++, q));
      ++generated;
      max_frontier = std::max<std::uint64_t>(max_frontier, frontier.size());
    };
    const std::uint32_t up = p - row_length, down = p + row_length;
    const bool open_up = open[up], open_down = open[down];
    const bool open_left = open[p - 1], open_right = open[p + 1];
    const std::int32_t r = here.row, c = here.col;
    if (open_up) relax(up, r - 1, c, cost[-width]);
    if (open_down) relax(down, r + 1, c, cost[width]);
    if (open_left) relax(p - 1, r, c - 1, cost[-1]);
    if (open_right) relax(p + 1, r, c + 1, cost[1]);
    if constexpr (kDiagonal) {
      if (open_up && open_left && open[up - 1]) relax(up - 1, r - 1, c - 1, cost[-width - 1] * kSqrt2);
      if (open_up && open_right && open[up + 1]) relax(up + 1, r - 1, c + 1, cost[-width + 1] * kSqrt2);
      if (open_down && open_left && open[down - 1]) {
        relax(down - 1, r + 1, c - 1, cost[width - 1] * kSqrt2);
      }
      if (open_down && open_right && open[down + 1]) {
        relax(down + 1, r + 1, c + 1, cost[width + 1] * kSqrt2);
      }
    }
  }

  if (record) {
    result.tree.reserve(discovered.size());
    for (const std::uint32_t q : discovered) {
      result.tree.emplace_back(to_cell(static_cast<std::uint32_t>(parent[q])), to_cell(q));
    }
  }
  result.nodes_expanded = expanded;
  result.nodes_generated = generated;
  result.max_frontier_size = max_frontier;
  return result;
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
  // Costs are positive, so a cost label is in (0, +inf] and, with g_weight
  // 1 and a finite h_weight of either sign, g + h_weight * h is NaN only when
  // g is +inf and h_weight * h is -inf; a non-negative h_weight rules that
  // out. Otherwise (greedy's g_weight 0 would make 0 * inf NaN) the labels
  // must stay finite: a label is a sum of fewer than `cells` moves of at
  // most max_cost * sqrt(2) each, far below the largest double under this
  // bound.
  if (!std::isfinite(kind.h_weight) || !(kind.g_weight >= 0.0 && kind.g_weight <= 1.0)) return false;
  if (kind.g_weight == 1.0 && kind.h_weight >= 0.0) return true;
  return grid.max_cost() <= std::numeric_limits<double>::max() / (4.0 * static_cast<double>(cells));
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
