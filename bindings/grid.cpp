// search_grid and search_grid_costs: search a 2-D grid given as an ASCII map
// or as a matrix of terrain costs. Nodes reach Python as (row, col) tuples.
#include "quellostrin/domains/grid.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>
#include <type_traits>

#include "batch.hpp"
#include "buffer.hpp"
#include "bytes.hpp"
#include "entry_points.hpp"
#include "prepared.hpp"
#include "runner.hpp"
#include "table_buffer.hpp"

namespace quellostrin::py {
namespace {

constexpr const char* kUnknownGridHeuristic =
    "unknown heuristic: '{}'. Available: zero, manhattan, euclidean, octile, or a callable h(node, goal) -> float";
constexpr HeuristicTable<Zero, Manhattan, Euclidean, Octile> kGridHeuristics{
    "manhattan",
    kUnknownGridHeuristic,
    {{"zero", Zero{}}, {"manhattan", Manhattan{}}, {"euclidean", Euclidean{}}, {"octile", Octile{}}}};
// The same, for Jump Point Search with diagonal moves, whose default is the
// heuristic consistent for them.
constexpr HeuristicTable<Zero, Manhattan, Euclidean, Octile> kJpsDiagonalHeuristics{
    "octile", kUnknownGridHeuristic, kGridHeuristics.entries};

// The heuristics of a grid search: "jps" defaults to the heuristic that is
// consistent for its moves (octile with diagonal moves, manhattan without);
// every other algorithm to manhattan.
const HeuristicTable<Zero, Manhattan, Euclidean, Octile>& grid_heuristics(const SearchArgs& args, bool diagonal) {
  const AlgorithmInfo* algo = lookup_algorithm(args.algorithm);
  return diagonal && algo && algo->strategy == Strategy::Jps ? kJpsDiagonalHeuristics : kGridHeuristics;
}

// The (row, col) tuples of cells that a grid's paths held lately, shared by
// the paths of later queries: tuples are immutable, and a path of references
// is made far faster than one of new tuples. A cell's tuple sits in the slot
// of its index modulo the slot count: on a grid of up to kMaxSlots cells each
// cell has a slot of its own; on a larger one a cell takes a slot over from
// another and makes its tuple again. So the cache never holds more than
// kMaxSlots tuples, whatever the grid's size. Read and filled with the
// interpreter lock held.
class CellTuples {
 public:
  CellTuples() = default;
  CellTuples(CellTuples&&) noexcept = default;
  CellTuples& operator=(CellTuples&&) = delete;
  ~CellTuples() {
    for (const Slot& s : slots_) Py_XDECREF(s.tuple);
  }

  // The list of the path's tuples on `grid`, every cell of which is in bounds.
  PyRef list(const GridGraph& grid, const std::vector<Cell>& path) {
    const auto width = static_cast<std::uint64_t>(grid.width());
    if (slots_.empty()) slots_.resize(std::min(kMaxSlots, std::bit_ceil(grid.index_space())));
    const std::uint64_t mask = slots_.size() - 1;
    PyRef out = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(path.size())));
    if (!out) throw_py_error();
    for (std::size_t i = 0; i < path.size(); ++i) {
      const std::uint64_t cell = static_cast<std::uint64_t>(path[i].row) * width + static_cast<std::uint64_t>(path[i].col);
      Slot& s = slots_[cell & mask];
      if (s.cell != cell || !s.tuple) {
        PyObject* made = into_py_node(path[i]);
        if (!made) throw_py_error();
        Py_XDECREF(s.tuple);
        s = Slot{cell, made};
      }
      PyList_SetItem(out.get(), static_cast<Py_ssize_t>(i), Py_NewRef(s.tuple));  // steals the new reference
    }
    return out;
  }

 private:
  static constexpr std::uint64_t kMaxSlots = std::uint64_t{1} << 14;
  struct Slot {
    std::uint64_t cell = 0;
    PyObject* tuple = nullptr;  // null until made
  };
  std::vector<Slot> slots_;
};

// A grid built once: the cells, without diagonal moves (a query takes its
// own view with or without them), and an ASCII map's S and G.
struct GridCore {
  GridGraph grid;
  std::optional<Cell> start;
  std::optional<Cell> goal;
  mutable WorkspacePool pool;  // what queries borrow; a grid built for one search has none to keep
  TableLayout layout;          // of the costs, as the buffer protocol exports them
  mutable CellTuples tuples;   // the paths' cells, on a Grid (a grid built for one search makes none)
};

GridCore make_grid_core(GridGraph grid, std::optional<Cell> start, std::optional<Cell> goal) {
  const TableLayout layout = TableLayout::matrix(static_cast<std::size_t>(grid.height()),
                                                 static_cast<std::size_t>(grid.width()));
  return {std::move(grid), start, goal, {}, layout, {}};
}

// The search every grid entry point ends with, once the grid is built:
// `start` and `goal` default to the grid's own. A Grid's query (`kept`) lists
// its path from the grid's shared cell tuples and borrows the Grid's
// workspaces; a grid built for one call borrows the module's.
PyObject* query_grid(ModuleState& state, const GridCore& core, std::optional<Cell> start, std::optional<Cell> goal,
                     bool diagonal, const SearchArgs& args, bool kept = false) {
  if (!start) start = core.start;
  if (!goal) goal = core.goal;
  if (!start || !goal) throw ValueErr("start and goal are needed: the grid has no 'S' or 'G' to default to");
  if (!core.grid.is_open(*start) || !core.grid.is_open(*goal)) {
    throw ValueErr("start and goal must be in-bounds, non-wall cells");
  }
  const BorrowedWorkspace workspace(kept ? core.pool : one_call_pool(state));
  const GridGraph view = core.grid.with_diagonal(diagonal);
  if (!kept) {
    return run_search(state, view, *start, *goal, args, grid_heuristics(args, diagonal), SameNodes{},
                      workspace.get());
  }
  const auto shared = [&](const std::vector<Cell>& path) { return core.tuples.list(core.grid, path); };
  return run_search(state, view, *start, *goal, args, grid_heuristics(args, diagonal), SameNodes{}, workspace.get(),
                    shared);
}

// ---- search_grid

struct MapArgs : SearchArgs {
  std::string map;
  bool diagonal = false;
};

using MP = Params<MapArgs>;
using MS = SearchParams<MapArgs>;

constexpr auto kSearchGrid = signature<MapArgs>(
    "search_grid",
    R"(Search a 2-D maze given as an ASCII map (`#` wall, `S` start, `G` goal, a
digit `1`–`9` = a free cell with that terrain cost).

`heuristic` is a built-in name (`"zero"`, `"manhattan"`, `"euclidean"`,
`"octile"`) or a custom callable `h((row, col), (row, col)) -> float`. The
default, `"manhattan"`, suits 4-neighbour moves; with `diagonal=True` pass
`heuristic="octile"`: manhattan overestimates diagonal steps, so A* guided by
it can return a longer path than the shortest.

The built-in heuristics count moves, scaled by the cheapest open cell's cost
when that is below 1 (the factor is 1 on every ASCII map), so they are
consistent, and A* returns a cheapest path: `"zero"` and `"euclidean"`
always, `"octile"` always, `"manhattan"` with 4-neighbour moves.

`reopen=True` puts a closed node back on the frontier when a cheaper path to it
appears. With a consistent heuristic it changes nothing; switch it on when you
pass a **custom** callable that may be admissible without being consistent,
or A* can return a sub-optimal path.
It applies to the frontier algorithms (bfs/dfs/ucs/greedy/astar/weighted_astar);
the iterative-deepening, beam and bidirectional algorithms ignore it.

`algorithm="jps"` is Jump Point Search: A* that expands only the cells where
an optimal path may turn (jump points), passing over the cells between them,
on grids whose open cells all cost the same (any other grid is refused with
ValueError). It returns a cheapest path, every cell of it, of the cost A*
finds. Its heuristic is one of the built-in names (no callable); the default
is the one consistent for the moves: `"octile"` with `diagonal=True`,
`"manhattan"` without. `nodes_expanded`, `nodes_generated`, `max_nodes`, the
trace and the tree count and hold jump points (start and goal included);
`reopen` does not apply.)",
    MP::required<&MapArgs::map, to_str>("map"), MS::algorithm, MS::heuristic, MS::record, MS::weight, MS::beam_width,
    MS::depth_limit, MS::max_nodes, MP::optional<&MapArgs::diagonal, to_bool>("diagonal"), MS::reopen,
    MS::time_limit, MS::max_memory);

PyObject* search_grid(ModuleState& state, const MapArgs& a) {
  if (a.map.find('S') == std::string::npos || a.map.find('G') == std::string::npos) {
    throw ValueErr("the ASCII map must contain a start 'S' and a goal 'G'");
  }
  AsciiGrid parsed = GridGraph::from_ascii(a.map);
  const GridCore grid = make_grid_core(std::move(parsed.grid), parsed.start, parsed.goal);
  return query_grid(state, grid, std::nullopt, std::nullopt, a.diagonal, a);
}

// ---- search_grid_costs

// A 2-D buffer of numbers (a NumPy array, say), read without touching its
// elements as Python objects. Nothing, with no error set, when `obj` offers no
// such buffer; the sequence path then handles it. A memoryview cannot take
// that path (it does not index its multi-dimensional views), so one of more
// than one dimension in a format not read here is refused with TypeError.
std::optional<CostMatrix> cost_matrix_from_buffer(PyObject* obj, const char* name) {
  const auto buffer = Buffer2D::of(obj, name);
  if (!buffer) return std::nullopt;
  const auto height = static_cast<std::uint64_t>(buffer->rows());
  const auto width = static_cast<std::uint64_t>(buffer->cols());
  GridGraph::check_size(width, height);
  CostMatrix m{width, height, {}};
  const bool known = buffer->visit([&]<class T>(T) {
    if constexpr (std::is_same_v<T, double>) {
      // Rows of adjacent doubles (a C-ordered float64 array, or a slice of
      // rows of one) are copied as they are, without a pass that zeroes first.
      m.cells.reserve(width * height);
      for (std::uint64_t r = 0; r < height; ++r) {
        const double* row = buffer->row<double>(static_cast<Py_ssize_t>(r));
        if (!row) break;
        m.cells.insert(m.cells.end(), row, row + width);
      }
      if (m.cells.size() == width * height) return;
    }
    m.cells.resize(width * height);
    for (std::uint64_t r = 0; r < height; ++r) {
      double* out = m.cells.data() + r * width;
      for (std::uint64_t c = 0; c < width; ++c) {
        out[c] = static_cast<double>(buffer->at<T>(static_cast<Py_ssize_t>(r), static_cast<Py_ssize_t>(c)));
      }
    }
  });
  if (!known && PyMemoryView_Check(obj)) buffer->unsupported(name);
  if (!known) return std::nullopt;
  return m;
}

// The cost matrix argument: a sequence of sequences of floats (ints accepted).
// Its shape is read first, and a matrix too large for a grid is refused
// before any element is converted.
CostMatrix to_cost_matrix(PyObject* obj, const char* name) {
  if (auto m = cost_matrix_from_buffer(obj, name)) return std::move(*m);
  const Py_ssize_t height = sequence_size(obj, name);
  std::vector<PyRef> rows;
  std::vector<Py_ssize_t> lengths;
  rows.reserve(static_cast<std::size_t>(height));
  lengths.reserve(static_cast<std::size_t>(height));
  Py_ssize_t width = 0;
  for (Py_ssize_t r = 0; r < height; ++r) {
    PyRef row = PyRef::steal(PySequence_GetItem(obj, r));
    if (!row) raise_arg_error(name);
    const Py_ssize_t length = sequence_size(row.get(), name);
    width = std::max(width, length);
    rows.push_back(std::move(row));
    lengths.push_back(length);
  }
  GridGraph::check_size(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
  CostMatrix m{static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
               std::vector<double>(static_cast<std::size_t>(width * height), std::numeric_limits<double>::quiet_NaN())};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    double* out = m.cells.data() + r * m.width;
    for (Py_ssize_t c = 0; c < lengths[r]; ++c) {
      // A fresh reference per item: converting one may run Python code that
      // changes the row (a shrunk row then fails here with its IndexError).
      PyRef item = PyRef::steal(PySequence_GetItem(rows[r].get(), c));
      if (!item) raise_arg_error(name);
      const double v = PyFloat_AsDouble(item.get());
      if (v == -1.0 && PyErr_Occurred()) raise_arg_error(name);
      out[c] = v;
    }
  }
  return m;
}

// A (row, col) cell: any sequence of two integers (a tuple, a list from JSON,
// a NumPy row; NumPy integers count as ints), each in the signed 32-bit range.
Cell to_cell(PyObject* obj, const char* name) {
  constexpr const char* kExpected = "expected a (row, col) pair of ints, got ";
  const auto coordinate = [&](PyObject* item, Py_ssize_t k) {
    if (!PyIndex_Check(item)) {
      type_error(name, kExpected + type_name(obj) + " holding " + type_name(item) + " at index " + std::to_string(k));
    }
    return to_i32(item, name);
  };
  if (PyTuple_Check(obj) && PyTuple_Size(obj) == 2) {
    // Borrowed: a tuple cannot change while an item is converted.
    return {coordinate(PyTuple_GetItem(obj, 0), 0), coordinate(PyTuple_GetItem(obj, 1), 1)};
  }
  const bool sequence = !PyUnicode_Check(obj) && !PyBytes_Check(obj) && PySequence_Check(obj);
  const Py_ssize_t length = sequence ? PySequence_Size(obj) : -1;
  if (length < 0) PyErr_Clear();  // a sequence without a length (a 0-d array) is no pair either
  if (length != 2) {
    type_error(name, kExpected + type_name(obj) + (length >= 0 ? " of length " + std::to_string(length) : ""));
  }
  std::int32_t v[2];
  for (Py_ssize_t k = 0; k < 2; ++k) {
    // Our own reference: converting an item may run Python code that changes the sequence.
    PyRef item = PyRef::steal(PySequence_GetItem(obj, k));
    if (!item) raise_arg_error(name);
    v[k] = coordinate(item.get(), k);
  }
  return {v[0], v[1]};
}

std::optional<Cell> to_opt_cell(PyObject* obj, const char* name) {
  if (obj == Py_None) return std::nullopt;
  return to_cell(obj, name);
}

struct CostsArgs : SearchArgs {
  CostMatrix costs;
  Cell start;
  Cell goal;
  bool diagonal = false;
};

using CP = Params<CostsArgs>;
using CS = SearchParams<CostsArgs>;

constexpr auto kSearchGridCosts = signature<CostsArgs>(
    "search_grid_costs",
    R"(Search a grid built from a matrix of **terrain costs**. `costs[r][c]` is the
movement cost of entering cell `(r, c)`; a non-positive or non-finite value
marks a wall. `start` and `goal` are `(row, col)` cells: any pair of ints (a
tuple, a list, a NumPy row); cells in the result are tuples. Same `heuristic`
options as `search_grid`; where some open cell costs less than 1, the built-in
heuristics are multiplied by the cheapest open cost, which keeps them
consistent.)",
    CP::required<&CostsArgs::costs, to_cost_matrix>("costs"), CP::required<&CostsArgs::start, to_cell>("start"),
    CP::required<&CostsArgs::goal, to_cell>("goal"), CS::algorithm, CS::heuristic, CS::record, CS::weight,
    CS::beam_width, CS::depth_limit, CS::max_nodes, CP::optional<&CostsArgs::diagonal, to_bool>("diagonal"),
    CS::reopen, CS::time_limit, CS::max_memory);

PyObject* search_grid_costs(ModuleState& state, CostsArgs& a) {
  if (a.costs.width == 0 || a.costs.height == 0) throw ValueErr("costs must be a non-empty matrix");
  const GridCore grid = make_grid_core(GridGraph::from_costs(std::move(a.costs)), std::nullopt, std::nullopt);
  return query_grid(state, grid, a.start, a.goal, a.diagonal, a);
}

// ---- Grid: a map built once, then searched many times.

struct GridNewArgs {
  PyObject* map = nullptr;  // borrowed
};

constexpr auto kGridNew = signature<GridNewArgs>(
    "Grid", "", Params<GridNewArgs>::required<&GridNewArgs::map, as_object>("map"));

GridCore build_grid(ModuleState&, GridNewArgs& a) {
  if (PyUnicode_Check(a.map)) {
    MapGrid parsed = GridGraph::parse_ascii(to_str(a.map, "map"));
    return make_grid_core(std::move(parsed.grid), parsed.start, parsed.goal);
  }
  CostMatrix costs = to_cost_matrix(a.map, "map");
  if (costs.width == 0 || costs.height == 0) throw ValueErr("costs must be a non-empty matrix");
  return make_grid_core(GridGraph::from_costs(std::move(costs)), std::nullopt, std::nullopt);
}

struct GridQueryArgs : SearchArgs {
  std::optional<Cell> start;
  std::optional<Cell> goal;
  bool diagonal = false;
};

using QP = Params<GridQueryArgs>;
using QS = SearchParams<GridQueryArgs>;

constexpr auto kGridSearch = signature<GridQueryArgs>(
    "search",
    R"(Search the grid from `start` to `goal`, `(row, col)` cells given as any
pair of ints, which default to the map's `S` and `G`. The options, their
defaults and the result are those of `search_grid` and `search_grid_costs`:
this is the same search, without building the grid again. On its first
`algorithm="jps"` query a Grid also makes a table of jump distances (32
bytes per cell, kept with the grid), which makes its later jps queries
faster.)",
    QP::optional<&GridQueryArgs::start, to_opt_cell>("start"), QP::optional<&GridQueryArgs::goal, to_opt_cell>("goal"),
    QS::algorithm, QS::heuristic, QS::record, QS::weight, QS::beam_width, QS::depth_limit, QS::max_nodes,
    QP::optional<&GridQueryArgs::diagonal, to_bool>("diagonal"), QS::reopen, QS::time_limit,
    QS::max_memory);

// A grid built once answers Jump Point Search from jump distances made for
// it on its first such query (they cost more to make than a query on a grid
// built for one search takes); a grid built for one search scans its cells.
void prepare_for(const GridCore& core, const SearchArgs& args) {
  const AlgorithmInfo* algo = lookup_algorithm(args.algorithm);
  const bool uniform = core.grid.min_cost() == core.grid.max_cost();
  if (algo && algo->strategy == Strategy::Jps && uniform) core.grid.jump_distances();
}

PyObject* grid_search_method(ModuleState& state, PyObject* self, const GridQueryArgs& a) {
  const GridCore& core = prepared<GridCore>(self);
  prepare_for(core, a);
  return query_grid(state, core, a.start, a.goal, a.diagonal, a, true);
}

struct GridBatchArgs : SearchArgs, BatchOptions {
  bool diagonal = false;
};

using BP = Params<GridBatchArgs>;
using BS = SearchParams<GridBatchArgs>;
constexpr auto kGridSearchMany = signature<GridBatchArgs>(
    "search_many",
    R"(Search every `(start, goal)` pair of `queries` (a sequence of pairs of
`(row, col)` cells, or an integer array of shape (k, 4) of rows
`start_row, start_col, goal_row, goal_col`) with the same options, and return
the `SearchResult`s in query order, each equal to `search` of its pair.
Every query is checked first: a bad one raises the error `search` would,
naming its index, and nothing runs. With a built-in heuristic the searches
run with the interpreter lock released, on `workers` native threads (1: the
calling thread); a Python callable needs `workers=1`. Ctrl-C stops every
worker.)",
    BP::required<&GridBatchArgs::queries, as_object>("queries"), BP::optional<&GridBatchArgs::workers, to_u64>("workers"),
    BS::algorithm, BS::heuristic, BS::record, BS::weight, BS::beam_width, BS::depth_limit, BS::max_nodes,
    BP::optional<&GridBatchArgs::diagonal, to_bool>("diagonal"), BS::reopen, BS::time_limit,
    BS::max_memory)
        .keyword_only_after(1);

// A query's cells: a (start, goal) pair of (row, col) tuples, or a row of four ints.
std::pair<Cell, Cell> cells_of(PyObject* item) {
  if (!PyUnicode_Check(item) && PySequence_Check(item) && PySequence_Size(item) == 4) {
    std::int32_t v[4];
    for (Py_ssize_t k = 0; k < 4; ++k) {
      PyRef x = PyRef::steal(PySequence_GetItem(item, k));
      if (!x) raise_arg_error("queries");
      v[k] = to_i32(x.get(), "queries");
    }
    return {Cell{v[0], v[1]}, Cell{v[2], v[3]}};
  }
  if (PyErr_Occurred()) PyErr_Clear();
  return pair_of(item, to_cell);
}

// The queries' indices, those whose start and goal lie farthest apart (in
// moves on an open grid) first, ties in query order: the order in which a
// batch's workers take them, the long searches while the others can still
// share out the rest.
std::vector<std::size_t> farthest_first(const std::vector<std::pair<Cell, Cell>>& queries, bool diagonal) {
  std::vector<double> apart(queries.size());
  for (std::size_t i = 0; i < queries.size(); ++i) {
    const auto [s, t] = queries[i];
    const double dr = std::abs(static_cast<double>(s.row) - t.row), dc = std::abs(static_cast<double>(s.col) - t.col);
    apart[i] = diagonal ? std::max(dr, dc) + (kSqrt2 - 1.0) * std::min(dr, dc) : dr + dc;
  }
  std::vector<std::size_t> order(queries.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return apart[x] > apart[y]; });
  return order;
}

PyObject* grid_search_many(ModuleState& state, PyObject* self, const GridBatchArgs& a) {
  const GridCore& core = prepared<GridCore>(self);
  const std::vector<PyRef> items = query_items(as_rows(a.queries));
  std::vector<std::pair<Cell, Cell>> queries;
  queries.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    queries.push_back(at_query(i, [&] {
      const auto cells = cells_of(items[i].get());
      if (!core.grid.is_open(cells.first) || !core.grid.is_open(cells.second)) {
        throw ValueErr("start and goal must be in-bounds, non-wall cells");
      }
      return cells;
    }));
  }
  prepare_for(core, a);
  const GridGraph view = core.grid.with_diagonal(a.diagonal);
  return run_batch<Cell>(
      state, a, grid_heuristics(a, a.diagonal), queries.size(), a.workers, &core.pool,
      [&](std::size_t i, auto run) { run(view, queries[i].first, queries[i].second, SameNodes{}); },
      a.workers > 1 ? farthest_first(queries, a.diagonal) : std::vector<std::size_t>{});
}

PyObject* grid_shape(PyObject* self, void*) {
  return guarded_self(self, [&] {
    const GridGraph& g = prepared<GridCore>(self).grid;
    return Py_BuildValue("(ii)", static_cast<int>(g.height()), static_cast<int>(g.width()));
  });
}

PyObject* cell_or_none(const std::optional<Cell>& cell) { return cell ? into_py_node(*cell) : Py_NewRef(Py_None); }
PyObject* grid_start(PyObject* self, void*) {
  return guarded_self(self, [&] { return cell_or_none(prepared<GridCore>(self).start); });
}
PyObject* grid_goal(PyObject* self, void*) {
  return guarded_self(self, [&] { return cell_or_none(prepared<GridCore>(self).goal); });
}

// Exports the terrain costs (see table_buffer.hpp).
int grid_getbuffer(PyObject* self, Py_buffer* view, int flags) noexcept {
  const GridCore& core = prepared<GridCore>(self);
  return export_table(self, view, flags, core.grid.costs(), core.layout, "a Grid's costs are read-only");
}

PyObject* grid_repr(PyObject* self) {
  return guarded_self(self, [&] {
    const GridGraph& g = prepared<GridCore>(self).grid;
    const std::string text =
        "Grid(height=" + std::to_string(g.height()) + ", width=" + std::to_string(g.width()) + ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

// Pickled as (width, height, costs, start, goal): the costs as 8 little-endian
// bytes per cell, row-major, 0.0 for a wall.
PyObject* grid_reduce(PyObject* self, PyObject*) {
  return guarded_self(self, [&] {
    const GridCore& core = prepared<GridCore>(self);
    const GridGraph& g = core.grid;
    std::vector<double> cells(g.index_space());
    for (std::int32_t r = 0; r < g.height(); ++r) {
      for (std::int32_t c = 0; c < g.width(); ++c) {
        cells[static_cast<std::size_t>(r) * static_cast<std::size_t>(g.width()) + c] =
            g.is_open({r, c}) ? g.cost({r, c}) : 0.0;
      }
    }
    PyRef costs = PyRef::steal(doubles_to_bytes(cells));
    if (!costs) throw_py_error();
    PyRef start = PyRef::steal(cell_or_none(core.start)), goal = PyRef::steal(cell_or_none(core.goal));
    if (!start || !goal) throw_py_error();
    return reduce_with(self, kRestoreGrid,
                       PyRef::steal(Py_BuildValue("(iiOOO)", static_cast<int>(g.width()), static_cast<int>(g.height()),
                                                  costs.get(), start.get(), goal.get())));
  });
}

PyGetSetDef grid_getset[] = {
    {"shape", grid_shape, nullptr, "(rows, columns) of the grid.", nullptr},
    {"start", grid_start, nullptr, "The map's `S` as (row, col), or None.", nullptr},
    {"goal", grid_goal, nullptr, "The map's `G` as (row, col), or None.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef* grid_methods() {
  static PyMethodDef defs[] = {method_of_class<kGridSearch, grid_search_method>(),
                               method_of_class<kGridSearchMany, grid_search_many>(),
                               {"__reduce__", grid_reduce, METH_NOARGS, nullptr},
                               {nullptr, nullptr, 0, nullptr}};
  return defs;
}

constexpr const char* kGridDoc = R"(Grid(map)
--

A 2-D grid built once and searched many times: `map` is an ASCII map (its `S`
and `G`, if any, become the default start and goal of `search`) or a matrix
of terrain costs in any form `search_grid_costs` takes, NumPy arrays
included; `numpy.asarray(grid)` views its terrain costs, read-only (a wall
holds what was given for it, 0 for `#`). `Grid(m).search(...)` returns what
`search_grid(m, ...)` or
`search_grid_costs(m, ...)` returns for the same arguments, without building
the grid again. Nothing a search does changes the grid, so threads may search
one grid at once; it pickles compactly.)";

}  // namespace

PyMethodDef search_grid_method() { return method<kSearchGrid, search_grid>(); }
PyMethodDef search_grid_costs_method() { return method<kSearchGridCosts, search_grid_costs>(); }

std::vector<std::string> grid_heuristic_names() { return heuristic_names(kGridHeuristics); }

bool add_grid_type(PyObject* module, ModuleState& state) {
  return add_prepared_class<GridCore, kGridNew, build_grid>(module, state.grid_type, "quellostrin.quellostrin_native.Grid",
                                                          kGridDoc, grid_repr, grid_getset, grid_methods(), nullptr,
                                                          grid_getbuffer);
}

PyObject* restore_grid(PyObject* module, PyObject* args) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&]() -> PyObject* {
    int width = 0, height = 0;
    PyObject *costs, *start, *goal;
    if (!PyArg_ParseTuple(args, "iiO!OO:_restore_grid", &width, &height, &PyBytes_Type, &costs, &start, &goal)) {
      throw_py_error();
    }
    if (width < 1 || height < 1) throw ValueErr("a pickled Grid is malformed");
    GridGraph::check_size(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
    const std::uint64_t cells = std::uint64_t(width) * std::uint64_t(height);
    CostMatrix m{static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height),
                 doubles_from_bytes(costs, "a pickled Grid is malformed")};
    if (m.cells.size() != cells) throw ValueErr("a pickled Grid is malformed");
    GridGraph grid = GridGraph::from_costs(std::move(m));
    // The default start and goal, like a map's S and G, are open cells.
    const std::optional<Cell> s = to_opt_cell(start, "start"), g = to_opt_cell(goal, "goal");
    if ((s && !grid.is_open(*s)) || (g && !grid.is_open(*g))) throw ValueErr("a pickled Grid is malformed");
    GridCore core = make_grid_core(std::move(grid), s, g);
    return wrap_prepared(reinterpret_cast<PyTypeObject*>(state.grid_type), std::move(core));
  });
}

}  // namespace quellostrin::py
