#include "quellostrin/domains/grid_jps.hpp"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/search/indexed_search.hpp"

namespace quellostrin {

namespace {

// As for the other indexed grid searches: padded indices fit in 31 bits,
// and a search's pushes (at most 8 per cell plus the start's) in 32.
constexpr std::uint64_t kMaxCells = std::uint64_t{1} << 28;

// The first jump point on line `line` of `lines` (each `words` words of
// bits, 1 for open) strictly past `from`, moving towards higher positions
// when `forward`, lower otherwise: the goal position `goal` (-1: the goal is
// not on this line), or a cell beside which, on the line before or after, a
// wall ends (the neighbour open, the one behind it a wall). -1 when a wall
// comes first. The line's ends are walls (the grid's border), so the scan
// always ends within the line.
std::int64_t scan(const std::uint64_t* lines, std::size_t words, std::int64_t line, std::int64_t from, bool forward,
                  std::int64_t goal) {
  const std::uint64_t* here = lines + static_cast<std::size_t>(line) * words;
  const std::uint64_t* before = here - words;
  const std::uint64_t* after = here + words;
  std::int64_t stop;
  if (forward) {
    const std::int64_t first = from + 1;
    auto k = static_cast<std::size_t>(first >> 6);
    std::uint64_t mask = ~std::uint64_t{0} << (first & 63);
    for (;; ++k, mask = ~std::uint64_t{0}) {
      // Behind a cell is the cell before it: bit i - 1, or the top bit of
      // the previous word for bit 0.
      const std::uint64_t b = before[k], a = after[k];
      const std::uint64_t b_behind = (b << 1) | (k > 0 ? before[k - 1] >> 63 : 0);
      const std::uint64_t a_behind = (a << 1) | (k > 0 ? after[k - 1] >> 63 : 0);
      const std::uint64_t events = (~here[k] | (b & ~b_behind) | (a & ~a_behind)) & mask;
      if (events) {
        stop = static_cast<std::int64_t>(k * 64 + static_cast<std::size_t>(std::countr_zero(events)));
        break;
      }
    }
    if (goal > from && goal <= stop) return goal < stop || (here[stop >> 6] >> (stop & 63) & 1) ? goal : -1;
  } else {
    const std::int64_t first = from - 1;
    auto k = static_cast<std::size_t>(first >> 6);
    std::uint64_t mask = ~std::uint64_t{0} >> (63 - (first & 63));
    for (;; --k, mask = ~std::uint64_t{0}) {
      // Behind a cell is the cell after it: bit i + 1, or bit 0 of the next
      // word for bit 63.
      const std::uint64_t b = before[k], a = after[k];
      const std::uint64_t b_behind = (b >> 1) | (k + 1 < words ? before[k + 1] << 63 : 0);
      const std::uint64_t a_behind = (a >> 1) | (k + 1 < words ? after[k + 1] << 63 : 0);
      const std::uint64_t events = (~here[k] | (b & ~b_behind) | (a & ~a_behind)) & mask;
      if (events) {
        stop = static_cast<std::int64_t>(k * 64 + 63 - static_cast<std::size_t>(std::countl_zero(events)));
        break;
      }
    }
    if (goal >= 0 && goal < from && goal >= stop) {
      return goal > stop || (here[stop >> 6] >> (stop & 63) & 1) ? goal : -1;
    }
  }
  return (here[stop >> 6] >> (stop & 63) & 1) ? stop : -1;
}

constexpr int sign(std::int64_t v) { return (v > 0) - (v < 0); }

// Straight jumps by scanning the grid's bits. `along_row` gives the column
// of the jump point from padded (r, c) along the row towards dc, and
// `along_column` the row from (r, c) along the column towards dr; -1 for
// none.
struct ScannedRays {
  const GridBits& bits;
  std::int64_t goal_row, goal_col;  // padded

  std::int64_t along_row(std::int64_t r, std::int64_t c, int dc) const {
    return scan(bits.rows.data(), bits.row_words, r, c, dc > 0, r == goal_row ? goal_col : -1);
  }
  std::int64_t along_column(std::int64_t r, std::int64_t c, int dr) const {
    return scan(bits.columns.data(), bits.column_words, c, r, dr > 0, c == goal_col ? goal_row : -1);
  }
};

// The same jumps read from the grid's jump distances, eight per padded cell
// in the order of kDr and kDc (up, down, left, right, up-left, up-right,
// down-left, down-right): d > 0, the jump ends at a jump point d steps away;
// d <= 0, it finds none in the -d steps it can take before a wall (or, on a
// diagonal, a corner it may not cut). A diagonal jump point is a cell from
// which a straight jump along either part finds one. The goal, which the
// distances do not know, ends a jump that reaches it, as it ends a scan.
struct TabledRays {
  const std::int32_t* distances;
  std::int64_t pw;
  std::int64_t goal_row, goal_col;  // padded

  // The end of a jump of distance `d` from `from` in direction `step`, with
  // the goal at `goal` on the line when `goal_on_line`.
  static std::int64_t end(std::int32_t d, std::int64_t from, int step, bool goal_on_line, std::int64_t goal) {
    if (goal_on_line) {
      const std::int64_t to_goal = (goal - from) * step;
      if (to_goal > 0 && to_goal <= (d > 0 ? d : -std::int64_t{d})) return goal;
    }
    return d > 0 ? from + std::int64_t{d} * step : -1;
  }
  std::int64_t along_row(std::int64_t r, std::int64_t c, int dc) const {
    const std::int32_t d = distances[(r * pw + c) * 8 + (dc > 0 ? 3 : 2)];
    return end(d, c, dc, r == goal_row, goal_col);
  }
  std::int64_t along_column(std::int64_t r, std::int64_t c, int dr) const {
    const std::int32_t d = distances[(r * pw + c) * 8 + (dr > 0 ? 1 : 0)];
    return end(d, r, dr, c == goal_col, goal_row);
  }
  // The steps of the diagonal jump from (r, c) towards (dr, dc), 0 for
  // none: the table's, or fewer where it meets the goal's row or column at
  // a cell from which a straight jump (or none: the goal itself) reaches the
  // goal.
  std::int64_t diagonal(std::int64_t r, std::int64_t c, int dr, int dc) const {
    return diagonal(distances[(r * pw + c) * 8 + 4 + (dr > 0 ? 2 : 0) + (dc > 0 ? 1 : 0)], r, c, dr, dc);
  }
  // The same, `d` the table's entry.
  std::int64_t diagonal(std::int32_t d, std::int64_t r, std::int64_t c, int dr, int dc) const {
    const std::int64_t reach = d > 0 ? d : -std::int64_t{d};
    std::int64_t steps = d > 0 ? d : 0;
    const std::int64_t to_row = (goal_row - r) * dr, to_column = (goal_col - c) * dc;
    if (to_row >= 1 && to_row <= reach && (steps == 0 || to_row < steps)) {
      const std::int64_t at = c + to_row * dc;
      if (at == goal_col || along_row(goal_row, at, dc) == goal_col) steps = to_row;
    }
    if (to_column >= 1 && to_column <= reach && (steps == 0 || to_column < steps)) {
      if (along_column(r + to_column * dr, goal_col, dr) == goal_row) steps = to_column;
    }
    return steps;
  }
};

// The eight directions in the grid's order of moves: up, down, left, right,
// up-left, up-right, down-left, down-right.
constexpr int kDr[8] = {-1, 1, 0, 0, -1, -1, 1, 1};
constexpr int kDc[8] = {0, 0, -1, 1, -1, 1, -1, 1};
constexpr unsigned direction(int dr, int dc) {
  return dr == 0 ? (dc < 0 ? 2u : 3u) : dc == 0 ? (dr < 0 ? 0u : 1u) : 4u + (dr > 0 ? 2u : 0u) + (dc > 0 ? 1u : 0u);
}

// The grid as the indexed best-first loop walks it, with jump points for
// successors. Coordinates are padded (a cell (r, c) is at row r + 1, column
// c + 1), and so is the index, row * pw + column.
template <class H, bool kDiagonal, class Rays>
struct JpsPolicy {
  using Node = Cell;
  static constexpr bool kSkipEstimate = false;
  const std::uint8_t* open;
  Rays rays;
  Workspace& ws;  // the search's: parents give the direction a jump point was reached from
  std::int64_t pw;
  std::int64_t goal_row, goal_col;  // padded
  double straight, diagonal;        // the cost of one move of each kind
  const H& heuristic;
  Cell goal;

  Cell node(std::uint32_t p) const {
    const auto r = static_cast<std::int64_t>(p) / pw;
    return Cell{static_cast<std::int32_t>(r - 1), static_cast<std::int32_t>(p - r * pw - 1)};
  }
  double estimate(Cell c) const { return heuristic.estimate(c, goal); }
  bool is_open(std::int64_t r, std::int64_t c) const { return open[r * pw + c]; }

  std::int64_t along_row(std::int64_t r, std::int64_t c, int dc) const { return rays.along_row(r, c, dc); }
  std::int64_t along_column(std::int64_t r, std::int64_t c, int dr) const { return rays.along_column(r, c, dr); }

  // The number of steps from (r, c) to the jump point in direction (dr, dc),
  // 0 for none.
  std::int64_t jump(std::int64_t r, std::int64_t c, int dr, int dc) const {
    if (dr == 0) {
      const std::int64_t to = along_row(r, c, dc);
      return to < 0 ? 0 : (to - c) * dc;
    }
    if constexpr (kDiagonal) {
      if (dc == 0) {
        const std::int64_t to = along_column(r, c, dr);
        return to < 0 ? 0 : (to - r) * dr;
      }
      // Diagonal: step while the move cuts no corner, and stop where a
      // straight jump along either part finds a jump point.
      if constexpr (requires { rays.diagonal(r, c, dr, dc); }) return rays.diagonal(r, c, dr, dc);
      for (std::int64_t steps = 1;; ++steps) {
        if (!is_open(r + dr, c) || !is_open(r, c + dc) || !is_open(r + dr, c + dc)) return 0;
        r += dr, c += dc;
        if ((r == goal_row && c == goal_col) || along_row(r, c, dc) >= 0 || along_column(r, c, dr) >= 0) {
          return steps;
        }
      }
    } else {
      // Vertical with 4 neighbours: step, and stop at a forced turn or where
      // a horizontal jump either way finds a jump point.
      for (std::int64_t steps = 1;; ++steps) {
        r += dr;
        if (!is_open(r, c)) return 0;
        if (r == goal_row && c == goal_col) return steps;
        if ((is_open(r, c - 1) && !is_open(r - dr, c - 1)) || (is_open(r, c + 1) && !is_open(r - dr, c + 1))) {
          return steps;
        }
        if (along_row(r, c, 1) >= 0 || along_row(r, c, -1) >= 0) return steps;
      }
    }
  }

  template <class F>
  void for_each_successor(std::uint32_t p, F&& relax) const {
    if constexpr (kDiagonal && std::is_same_v<Rays, TabledRays>) {
      tabled_successors(p, relax);
      return;
    }
    const std::int64_t r = static_cast<std::int64_t>(p) / pw, c = static_cast<std::int64_t>(p) - r * pw;
    const std::uint32_t from = ws.parents()[p];
    const std::int64_t fr = static_cast<std::int64_t>(from) / pw, fc = static_cast<std::int64_t>(from) - fr * pw;
    const int dr = sign(r - fr), dc = sign(c - fc);
    // The directions to jump in, as bits of the grid's order.
    unsigned dirs;
    if constexpr (kDiagonal) {
      if (dr == 0 && dc == 0) {
        dirs = 0xFF;  // the start
      } else if (dr == 0) {
        dirs = 1u << direction(0, dc);
        for (const int s : {-1, 1}) {
          if (is_open(r + s, c) && !is_open(r + s, c - dc)) dirs |= 1u << direction(s, 0) | 1u << direction(s, dc);
        }
      } else if (dc == 0) {
        dirs = 1u << direction(dr, 0);
        for (const int s : {-1, 1}) {
          if (is_open(r, c + s) && !is_open(r - dr, c + s)) dirs |= 1u << direction(0, s) | 1u << direction(dr, s);
        }
      } else {
        dirs = 1u << direction(dr, 0) | 1u << direction(0, dc) | 1u << direction(dr, dc);
      }
    } else {
      dirs = dr == 0 && dc == 0 ? 0x0Fu
             : dr == 0          ? 1u << direction(0, dc) | 0x03u
                                : 1u << direction(dr, 0) | 0x0Cu;
    }
    for (; dirs != 0; dirs &= dirs - 1) {
      const auto d = static_cast<unsigned>(std::countr_zero(dirs));
      const int jr = kDr[d], jc = kDc[d];
      const std::int64_t steps = jump(r, c, jr, jc);
      if (steps == 0) continue;
      const std::int64_t tr = r + steps * jr, tc = c + steps * jc;
      const double cost = static_cast<double>(steps) * (d < 4 ? straight : diagonal);
      relax(static_cast<std::uint32_t>(tr * pw + tc), cost,
            Cell{static_cast<std::int32_t>(tr - 1), static_cast<std::int32_t>(tc - 1)});
    }
  }

  // for_each_successor with diagonal moves and the jump distances: the same
  // directions in the same order, each jump read straight from p's eight
  // entries, which lie together.
  template <class F>
  [[gnu::always_inline]] void tabled_successors(std::uint32_t p, F& relax) const {
    const std::int64_t r = static_cast<std::int64_t>(p) / pw, c = static_cast<std::int64_t>(p) - r * pw;
    const std::int32_t* d = rays.distances + std::size_t{p} * 8;
    const std::uint32_t from = ws.parents()[p];
    unsigned dirs = 0xFF;  // the start
    if (from != p) {
      const std::int64_t fr = static_cast<std::int64_t>(from) / pw, fc = static_cast<std::int64_t>(from) - fr * pw;
      const int dr = sign(r - fr), dc = sign(c - fc);
      if (dr == 0) {
        dirs = dc < 0 ? 1u << 2 : 1u << 3;
        if (is_open(r - 1, c) && !is_open(r - 1, c - dc)) dirs |= 1u << 0 | (dc < 0 ? 1u << 4 : 1u << 5);
        if (is_open(r + 1, c) && !is_open(r + 1, c - dc)) dirs |= 1u << 1 | (dc < 0 ? 1u << 6 : 1u << 7);
      } else if (dc == 0) {
        dirs = dr < 0 ? 1u << 0 : 1u << 1;
        if (is_open(r, c - 1) && !is_open(r - dr, c - 1)) dirs |= 1u << 2 | (dr < 0 ? 1u << 4 : 1u << 6);
        if (is_open(r, c + 1) && !is_open(r - dr, c + 1)) dirs |= 1u << 3 | (dr < 0 ? 1u << 5 : 1u << 7);
      } else {
        dirs = (dr < 0 ? 1u << 0 : 1u << 1) | (dc < 0 ? 1u << 2 : 1u << 3) | 1u << direction(dr, dc);
      }
    }
    for (; dirs != 0; dirs &= dirs - 1) {
      const auto k = static_cast<unsigned>(std::countr_zero(dirs));
      const std::int32_t v = d[k];
      std::int64_t tr = r, tc = c;
      double cost;
      if (k < 4) {
        // Straight: v steps to a jump point (v > 0), or none; the goal ends
        // the jump where it lies within the -v or v steps before a wall.
        const std::int64_t reach = v > 0 ? v : -std::int64_t{v};
        std::int64_t steps = v > 0 ? v : 0;
        const int step = k & 1 ? 1 : -1;
        if (k < 2) {
          if (c == goal_col) {
            const std::int64_t to_goal = (goal_row - r) * step;
            if (to_goal > 0 && to_goal <= reach) steps = to_goal;
          }
          tr += steps * step;
        } else {
          if (r == goal_row) {
            const std::int64_t to_goal = (goal_col - c) * step;
            if (to_goal > 0 && to_goal <= reach) steps = to_goal;
          }
          tc += steps * step;
        }
        if (steps == 0) continue;
        cost = static_cast<double>(steps) * straight;
      } else {
        const int jr = k < 6 ? -1 : 1, jc = k & 1 ? 1 : -1;
        const std::int64_t steps = rays.diagonal(v, r, c, jr, jc);
        if (steps == 0) continue;
        tr += steps * jr, tc += steps * jc;
        cost = static_cast<double>(steps) * diagonal;
      }
      relax(static_cast<std::uint32_t>(tr * pw + tc), cost,
            Cell{static_cast<std::int32_t>(tr - 1), static_cast<std::int32_t>(tc - 1)});
    }
  }
};

// Every cell of a path of jump points, each pair joined by a straight or
// diagonal line.
std::vector<Cell> fill_in(const std::vector<Cell>& jumps) {
  std::size_t cells = 1;
  for (std::size_t i = 1; i < jumps.size(); ++i) {
    cells += static_cast<std::size_t>(std::max(std::abs(jumps[i].row - jumps[i - 1].row),
                                               std::abs(jumps[i].col - jumps[i - 1].col)));
  }
  std::vector<Cell> path(cells);
  Cell* out = path.data();
  *out++ = jumps.front();
  for (std::size_t i = 1; i < jumps.size(); ++i) {
    const Cell from = jumps[i - 1], to = jumps[i];
    const std::int32_t dr = (to.row > from.row) - (to.row < from.row), dc = (to.col > from.col) - (to.col < from.col);
    const std::int32_t steps = std::max(std::abs(to.row - from.row), std::abs(to.col - from.col));
    Cell at = from;
    for (std::int32_t k = 0; k < steps; ++k) {
      at.row += dr, at.col += dc;
      *out++ = at;
    }
  }
  return path;
}

template <class H, bool kDiagonal, class Rays>
SearchResult<Cell> search(const GridGraph& grid, Cell start, Cell goal, const H& heuristic, const Rays& rays,
                          const SearchOptions& options) {
  const std::int64_t pw = std::int64_t{grid.width()} + 2;
  const auto padded = static_cast<std::size_t>(pw * (std::int64_t{grid.height()} + 2));
  std::unique_ptr<Workspace> own;  // as in indexed_best_first
  if (!options.workspace) own = std::make_unique<Workspace>();
  Workspace& ws = options.workspace ? *options.workspace : *own;
  SearchOptions on_ws = options;
  on_ws.workspace = &ws;
  const double cost = grid.min_cost();
  const JpsPolicy<H, kDiagonal, Rays> policy{grid.padded_open(), rays, ws,   pw,
                                             goal.row + 1,       goal.col + 1, cost, cost * kSqrt2,
                                             heuristic,          goal};
  const auto index = [&](Cell c) { return static_cast<std::uint32_t>((c.row + 1) * pw + c.col + 1); };
  // A jump costs at most a diagonal run across the grid's longer side; the
  // open list's buckets are sized by that.
  const double longest = cost * kSqrt2 * static_cast<double>(std::max(grid.width(), grid.height()));
  SearchResult<Cell> result =
      detail::indexed_best_first(policy, padded, index(start), index(goal), heuristic.estimate(start, goal),
                                 AlgorithmKind::astar(), detail::MoveCosts{cost, longest, false}, on_ws);
  if (result.path) result.path = fill_in(*result.path);
  return result;
}

template <class H, class Rays>
SearchResult<Cell> search(const GridGraph& grid, Cell start, Cell goal, const H& heuristic, const Rays& rays,
                          const SearchOptions& options) {
  return grid.diagonal() ? search<H, true>(grid, start, goal, heuristic, rays, options)
                         : search<H, false>(grid, start, goal, heuristic, rays, options);
}

}  // namespace

const std::vector<std::int32_t>& GridGraph::jump_distances() const {
  std::call_once(cells_->distances_once, [this] {
    const std::int64_t pw = std::int64_t{width_} + 2, ph = std::int64_t{height_} + 2;
    const std::uint64_t size = size_mul(static_cast<std::uint64_t>(pw * ph), 8 * sizeof(std::int32_t));
    require_memory(size, "the jump distances of a {}\u00d7{} grid", width_, height_);
    std::vector<std::int32_t> d(static_cast<std::size_t>(pw * ph * 8), 0);
    const auto slot = [&](std::int64_t r, std::int64_t c, unsigned dir) {
      return static_cast<std::size_t>((r * pw + c) * 8 + dir);
    };
    const std::uint8_t* open = cells_->open.data();
    const auto at = [&](std::int64_t r, std::int64_t c) -> bool { return open[r * pw + c]; };
    // The distance from (r, c) one step on to (nr, nc): 0 at a wall; 1 at a
    // cell beside which a wall ends (the neighbour across the line open, the
    // one behind it a wall); else one more than the next cell's own.
    const auto step = [&](std::int64_t r, std::int64_t c, std::int64_t dr, std::int64_t dc, int dir) {
      const std::int64_t nr = r + dr, nc = c + dc;
      std::int32_t v = 0;
      if (at(nr, nc)) {
        const bool forced = (at(nr + dc, nc + dr) && !at(nr + dc - dr, nc + dr - dc)) ||
                            (at(nr - dc, nc - dr) && !at(nr - dc - dr, nc - dr - dc));
        const std::int32_t next = d[slot(nr, nc, dir)];
        v = forced ? 1 : next > 0 ? next + 1 : next - 1;
      }
      d[slot(r, c, dir)] = v;
    };
    // The same on a diagonal, from the straight distances: 0 where the step
    // would cut a corner; 1 onto a cell from which a straight jump along
    // either part finds a jump point; else one more than the next cell's.
    const auto diagonal_step = [&](std::int64_t r, std::int64_t c, int dr, int dc) {
      const unsigned dir = direction(dr, dc);
      const std::int64_t nr = r + dr, nc = c + dc;
      std::int32_t v = 0;
      if (at(nr, c) && at(r, nc) && at(nr, nc)) {
        const bool found = d[slot(nr, nc, direction(dr, 0))] > 0 || d[slot(nr, nc, direction(0, dc))] > 0;
        const std::int32_t next = d[slot(nr, nc, dir)];
        v = found ? 1 : next > 0 ? next + 1 : next - 1;
      }
      d[slot(r, c, dir)] = v;
    };
    // Each direction from the far end of its lines, so that the next cell's
    // distance is known; the border's cells, all walls, are left at 0.
    for (std::int64_t r = ph - 2; r >= 1; --r) {
      for (std::int64_t c = 1; c < pw - 1; ++c) step(r, c, 1, 0, 1);
    }
    for (std::int64_t r = 1; r < ph - 1; ++r) {
      for (std::int64_t c = 1; c < pw - 1; ++c) step(r, c, -1, 0, 0);
      for (std::int64_t c = pw - 2; c >= 1; --c) step(r, c, 0, 1, 3);
      for (std::int64_t c = 1; c < pw - 1; ++c) step(r, c, 0, -1, 2);
    }
    for (std::int64_t r = 1; r < ph - 1; ++r) {
      for (std::int64_t c = 1; c < pw - 1; ++c) diagonal_step(r, c, -1, -1), diagonal_step(r, c, -1, 1);
    }
    for (std::int64_t r = ph - 2; r >= 1; --r) {
      for (std::int64_t c = 1; c < pw - 1; ++c) diagonal_step(r, c, 1, -1), diagonal_step(r, c, 1, 1);
    }
    cells_->distances = std::move(d);
    cells_->distances_made.store(true, std::memory_order_release);
  });
  return cells_->distances;
}

void check_jps(const GridGraph& grid, Cell start, Cell goal) {
  if (!(grid.min_cost() == grid.max_cost()) && grid.max_cost() > 0.0) {
    fail_input("'jps' needs a grid whose open cells all cost the same; its open cells cost from {} to {}",
               grid.min_cost(), grid.max_cost());
  }
  if (!grid.in_bounds(start) || !grid.in_bounds(goal)) fail_input("'jps' needs start and goal inside the grid");
  if (grid.index_space() > kMaxCells) fail_input("'jps' searches grids of at most {} cells", kMaxCells);
}

template <class H>
  requires is_grid_heuristic<H>
SearchResult<Cell> jps_search(const GridGraph& grid, Cell start, Cell goal, const H& heuristic,
                              const SearchOptions& options) {
  check_jps(grid, start, goal);
  const std::uint64_t padded = (std::uint64_t(grid.width()) + 2) * (std::uint64_t(grid.height()) + 2);
  require_memory(size_mul(padded, Workspace::kBytesPerIndex), "the node store of a search over {} nodes", padded);
  return timed([&] {
    const std::int64_t goal_row = goal.row + 1, goal_col = goal.col + 1;
    if (grid.has_jump_distances()) {
      const TabledRays rays{grid.jump_distances().data(), std::int64_t{grid.width()} + 2, goal_row, goal_col};
      return search(grid, start, goal, heuristic, rays, options);
    }
    return search(grid, start, goal, heuristic, ScannedRays{grid.bits(), goal_row, goal_col}, options);
  });
}

template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Zero&, const SearchOptions&);
template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Manhattan&, const SearchOptions&);
template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Euclidean&, const SearchOptions&);
template SearchResult<Cell> jps_search(const GridGraph&, Cell, Cell, const Octile&, const SearchOptions&);

}  // namespace quellostrin
