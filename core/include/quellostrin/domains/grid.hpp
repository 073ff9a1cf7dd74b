// GridGraph: the 2-D maze domain. A rectangle of cells, each a wall or open
// with a positive terrain cost; 4-neighbour moves and, when `diagonal` is
// set, 8-neighbour moves that never cut a corner.
//
// Rules it keeps:
// - a move costs the terrain cost of the cell entered; a diagonal move costs
//   that times 1.4142135623730951 (the double nearest to sqrt(2));
// - successors come out up, down, left, right, then (with diagonals) up-left,
//   up-right, down-left, down-right; a diagonal is offered only when its
//   target and both cells it passes between are open;
// - the cell expanded is not itself tested for being a wall, and a cell out
//   of bounds gets exactly the moves whose targets are open;
// - walls and costs are flat row-major arrays: cell (r, c) is at r * width + c,
//   which is also its dense node-store index.
//
// Size: width and height are counted in 64 bits, and a grid of more than
// 2147483647 cells (or a side longer than that) is refused with InputError
// "grid too large: {w}×{h} = {cells} cells (max 2147483647)", showing the
// true values, before anything is allocated or parsed.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "quellostrin/hash.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

struct Cell {
  std::int32_t row = 0;
  std::int32_t col = 0;
  friend bool operator==(const Cell&, const Cell&) = default;
};

inline void fx_hash_append(FxHasher& h, const Cell& c) {
  h.add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(c.row)) << 32 | static_cast<std::uint32_t>(c.col));
}

inline constexpr double kSqrt2 = 1.4142135623730951;
inline constexpr std::uint64_t kMaxGridCells = 2147483647;

// A matrix of terrain costs, row-major. `width` is the length of the longest
// row; an entry past the end of a shorter row is NaN (so it becomes a wall).
struct CostMatrix {
  std::uint64_t width = 0;
  std::uint64_t height = 0;
  std::vector<double> cells;

  static CostMatrix from_rows(const std::vector<std::vector<double>>& rows);
};

class GridGraph;

// The open cells as bits, for searches that scan a run of cells a word at a
// time (Jump Point Search, domains/grid_jps.hpp). Both cover the padded layout,
// border included: `rows` holds padded row r in words r * row_words onward,
// column c being bit c % 64 of its word c / 64; `columns` holds padded column
// c the same way, row r being bit r % 64 of word c * column_words + r / 64.
// A bit is 1 where the cell is open; bits past the border are 0.
struct GridBits {
  std::size_t row_words = 0;
  std::size_t column_words = 0;
  std::vector<std::uint64_t> rows;
  std::vector<std::uint64_t> columns;
};

// What `GridGraph::from_ascii` yields: the grid and its start and goal cells.
struct AsciiGrid;
// What `GridGraph::parse_ascii` yields: the same, either cell possibly absent.
struct MapGrid;

class GridGraph {
 public:
  using Node = Cell;

  // A blank grid: every cell open with cost 1.0, no diagonal moves. InputError
  // "grid must be non-empty" for a zero side, or "grid too large: ..." (above).
  GridGraph(std::uint64_t width, std::uint64_t height);

  // Refuses a grid of these dimensions as the constructor would; does nothing
  // for an acceptable size. Callers use it to refuse a huge input before
  // reading it.
  static void check_size(std::uint64_t width, std::uint64_t height);

  // Every entry that is finite and strictly positive is an open cell of that
  // cost; anything else (zero, negative, infinite, NaN, missing) is a wall.
  // InputError "cost grid must be non-empty" when there is no cell.
  static GridGraph from_costs(CostMatrix costs);
  static GridGraph from_costs(const std::vector<std::vector<double>>& rows) {
    return from_costs(CostMatrix::from_rows(rows));
  }

  // Parses the ASCII map format: lines end at LF (a CR right before an LF goes
  // with it; a final line without LF is taken whole, a CR at its end included);
  // empty lines at the beginning and end are dropped, empty lines between
  // others are rows of open cells; one column per Unicode scalar value of the
  // UTF-8 text (an embedded NUL is an ordinary character). "#" is a wall, "S"
  // the start and "G" the goal (open, cost 1; a later one replaces an earlier
  // one), "1"-"9" an open cell of that cost, anything else an open cell of
  // cost 1, as are the cells past the end of a short line. InputError for a
  // map without a non-empty line, a start or a goal.
  static AsciiGrid from_ascii(std::string_view map);
  // The same parse, with the start and goal left absent when the map has
  // none; InputError only for a map without a non-empty line.
  static MapGrid parse_ascii(std::string_view map);

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  bool diagonal() const { return diagonal_; }
  void set_diagonal(bool on) { diagonal_ = on; }
  // This grid with diagonal moves on or off: a copy that shares the cells.
  GridGraph with_diagonal(bool on) const {
    GridGraph g = *this;
    g.diagonal_ = on;
    return g;
  }

  bool in_bounds(Cell c) const { return in_bounds(c.row, c.col); }
  bool is_open(Cell c) const { return open_at(c.row, c.col); }
  double cost(Cell c) const { return cells_->costs[index(c.row, c.col)]; }  // in-bounds cells only

  void neighbors_into(Cell cell, SuccessorList<Cell>& out) const {
    if (!in_bounds(cell)) return neighbors_from_outside(cell, out);
    // The border of walls around `cells_->open` lets every neighbour of an in-bounds
    // cell be read without a bounds test.
    const std::int64_t r = cell.row, c = cell.col, w = width_, pw = w + 2;
    const std::uint8_t* o = cells_->open.data() + (r + 1) * pw + (c + 1);
    const double* cost = cells_->costs.data() + r * w + c;
    const bool up = o[-pw], down = o[pw], left = o[-1], right = o[1];
    out.reserve(out.size() + 8);
    if (up) out.push_back({{cell.row - 1, cell.col}, cost[-w]});
    if (down) out.push_back({{cell.row + 1, cell.col}, cost[w]});
    if (left) out.push_back({{cell.row, cell.col - 1}, cost[-1]});
    if (right) out.push_back({{cell.row, cell.col + 1}, cost[1]});
    if (!diagonal_) return;
    if (up && left && o[-pw - 1]) out.push_back({{cell.row - 1, cell.col - 1}, cost[-w - 1] * kSqrt2});
    if (up && right && o[-pw + 1]) out.push_back({{cell.row - 1, cell.col + 1}, cost[-w + 1] * kSqrt2});
    if (down && left && o[pw - 1]) out.push_back({{cell.row + 1, cell.col - 1}, cost[w - 1] * kSqrt2});
    if (down && right && o[pw + 1]) out.push_back({{cell.row + 1, cell.col + 1}, cost[w + 1] * kSqrt2});
  }

  SuccessorList<Cell> neighbors(Cell cell) const {
    SuccessorList<Cell> out;
    out.reserve(diagonal_ ? 8 : 4);
    neighbors_into(cell, out);
    return out;
  }

  // The layout behind the moves, for searches that walk it directly
  // (domains/grid_search.hpp): 1 where a cell is open, in a (height + 2) x
  // (width + 2) array whose outer ring is all walls, so cell (r, c) is at
  // (r + 1) * (width + 2) + c + 1; and the costs, row-major without a border.
  const std::uint8_t* padded_open() const { return cells_->open.data(); }
  const double* costs() const { return cells_->costs.data(); }
  // The largest cost of an open cell (0.0 when every cell is a wall): a bound
  // on the cost of any move but a diagonal one, which costs up to this times
  // kSqrt2. And the least (+inf when every cell is a wall). Both are found
  // when the grid is built.
  double max_cost() const { return max_cost_; }
  double min_cost() const { return min_cost_; }
  // The open cells as bits, made on the first call and then kept for this
  // grid and every copy of it (any thread may call it).
  const GridBits& bits() const;
  // Where a jump of Jump Point Search from each cell in each direction ends
  // (domains/grid_jps.hpp describes the values), made on the first call and
  // kept like bits(); has_jump_distances() says whether it has been made.
  const std::vector<std::int32_t>& jump_distances() const;
  bool has_jump_distances() const { return cells_->distances_made.load(std::memory_order_acquire); }

  // What the grid heuristics are multiplied by on this grid: the least open
  // cost where it is below 1, else 1. A move costs at least the cost of the
  // cell it enters, so a distance in moves times this never overestimates,
  // and the scaled heuristics stay consistent on cheap terrain.
  double heuristic_scale() const { return min_cost_ < 1.0 ? min_cost_ : 1.0; }

  std::optional<std::uint64_t> node_index(Cell c) const {
    if (!in_bounds(c)) return std::nullopt;
    return index(c.row, c.col);
  }
  std::uint64_t index_space() const { return static_cast<std::uint64_t>(width_) * static_cast<std::uint64_t>(height_); }
  // node_index without the bounds test, for cells known to be in bounds (the
  // dense node store sees only the checked start and listed successors).
  std::uint64_t dense_index(Cell c) const { return index(c.row, c.col); }

 private:
  // A grid of the given size with every cell a wall and no costs yet.
  static GridGraph shaped(std::uint64_t width, std::uint64_t height);
  // Sets min_cost_ and max_cost_ from the open cells.
  void summarise_costs();
  GridGraph() = default;

  // The same moves, with every target tested, for a cell outside the grid
  // (64-bit coordinates: its neighbours may lie outside the 32-bit range).
  void neighbors_from_outside(Cell cell, SuccessorList<Cell>& out) const;

  bool in_bounds(std::int64_t r, std::int64_t c) const { return r >= 0 && r < height_ && c >= 0 && c < width_; }
  bool open_at(std::int64_t r, std::int64_t c) const { return in_bounds(r, c) && cells_->open[padded(r, c)]; }
  std::uint64_t index(std::int64_t r, std::int64_t c) const { return static_cast<std::uint64_t>(r * width_ + c); }
  std::uint64_t padded(std::int64_t r, std::int64_t c) const {
    return static_cast<std::uint64_t>((r + 1) * (std::int64_t{width_} + 2) + c + 1);
  }

  struct Cells {
    // 1 where the cell is open, in a (height + 2) x (width + 2) array whose
    // outer ring is all walls.
    std::vector<std::uint8_t> open;
    // Cost of entering each cell, row-major; never read for walls, where it
    // holds what the caller gave (0.0 for an ASCII map's '#').
    std::vector<double> costs;
    // `open` as bits, and the jump distances, made when first asked for
    // (most searches never ask).
    std::once_flag bits_once;
    GridBits bits;
    std::once_flag distances_once;
    std::atomic<bool> distances_made{false};
    std::vector<std::int32_t> distances;
  };
  // Written only while the grid is built; copies of a grid share it, so a
  // copy that differs in `diagonal` alone costs nothing.
  std::shared_ptr<Cells> cells_ = std::make_shared<Cells>();
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  bool diagonal_ = false;
  double min_cost_ = std::numeric_limits<double>::infinity();
  double max_cost_ = 0.0;
};

struct AsciiGrid {
  GridGraph grid;
  Cell start;
  Cell goal;
};

struct MapGrid {
  GridGraph grid;
  std::optional<Cell> start;
  std::optional<Cell> goal;
};

// The grid heuristics: distances in moves, times `scale`. Differences are
// taken in 64-bit arithmetic, and each stated operation is rounded on its own
// (the core is built without floating-point contraction, so no fused
// multiply-add), so the values are exact to the bit on every machine. Made
// for a grid (`for_domain`, which every search through run_algo applies),
// `scale` is the grid's heuristic_scale(): 1 where every open cell costs at
// least 1 (every value then unchanged, x * 1.0 being x), the least open cost
// below that. So scaled, each is consistent for the moves it counts:
// manhattan with 4 neighbours, octile with 8, euclidean with either
// (manhattan overestimates with diagonal moves).
namespace detail {
// Row and column differences; 64-bit, so even cells far out of bounds cannot overflow.
inline std::int64_t row_delta(Cell a, Cell b) { return std::int64_t{a.row} - b.row; }
inline std::int64_t col_delta(Cell a, Cell b) { return std::int64_t{a.col} - b.col; }
}  // namespace detail

struct Manhattan {
  static constexpr bool pure = true;
  double scale = 1.0;
  Manhattan for_domain(const GridGraph& grid) const { return Manhattan{grid.heuristic_scale()}; }
  double estimate(Cell a, Cell b) const {
    const std::int64_t dr = detail::row_delta(a, b), dc = detail::col_delta(a, b);
    return static_cast<double>((dr < 0 ? -dr : dr) + (dc < 0 ? -dc : dc)) * scale;
  }
};

struct Euclidean {
  static constexpr bool pure = true;
  double scale = 1.0;
  Euclidean for_domain(const GridGraph& grid) const { return Euclidean{grid.heuristic_scale()}; }
  double estimate(Cell a, Cell b) const {
    const auto dr = static_cast<double>(detail::row_delta(a, b));
    const auto dc = static_cast<double>(detail::col_delta(a, b));
    const double rr = dr * dr;
    const double cc = dc * dc;
    return std::sqrt(rr + cc) * scale;
  }
};

struct Octile {
  static constexpr bool pure = true;
  double scale = 1.0;
  Octile for_domain(const GridGraph& grid) const { return Octile{grid.heuristic_scale()}; }
  double estimate(Cell a, Cell b) const {
    const double dc = std::abs(static_cast<double>(detail::col_delta(a, b)));
    const double dr = std::abs(static_cast<double>(detail::row_delta(a, b)));
    const double hi = dc > dr ? dc : dr, lo = dc > dr ? dr : dc;
    const double diagonal = lo * kSqrt2;
    return ((hi - lo) + diagonal) * scale;
  }
};

}  // namespace quellostrin
