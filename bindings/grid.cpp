// search_grid and search_grid_costs: search a 2-D grid given as an ASCII map
// or as a matrix of terrain costs. Nodes reach Python as (row, col) tuples.
#include "quellostrin/graph/grid.hpp"

#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#include "buffer.hpp"
#include "entry_points.hpp"
#include "runner.hpp"

namespace quellostrin::py {
namespace {

constexpr HeuristicTable<Zero, Manhattan, Euclidean, Octile> kGridHeuristics{
    "manhattan",
    "unknown heuristic: '{}'. Available: zero, manhattan, euclidean, octile, or a callable h(node, goal) -> float",
    {{"zero", Zero{}}, {"manhattan", Manhattan{}}, {"euclidean", Euclidean{}}, {"octile", Octile{}}}};

// The search both entry points end with, once the grid is built.
PyObject* run_on_grid(ModuleState& state, const GridGraph& grid, Cell start, Cell goal, const SearchArgs& args) {
  return run_search(state, grid, start, goal, args, kGridHeuristics);
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
`heuristic="octile"`: manhattan overestimates diagonal steps, so A\* guided by
it can return a longer path than the shortest.

The built-in heuristics count moves, scaled by the cheapest open cell's cost
when that is below 1 (the factor is 1 on every ASCII map), so they are
consistent, and A\* returns a cheapest path: `"zero"` and `"euclidean"`
always, `"octile"` always, `"manhattan"` with 4-neighbour moves.

`reopen=True` puts a closed node back on the frontier when a cheaper path to it
appears. With a consistent heuristic it changes nothing; switch it on when you
pass a **custom** callable that may be admissible without being consistent,
or A\* can return a sub-optimal path.
It applies to the frontier algorithms (bfs/dfs/ucs/greedy/astar/weighted_astar);
the iterative-deepening, beam and bidirectional drivers ignore it.)",
    MP::required<&MapArgs::map, to_str>("map"), MS::algorithm, MS::heuristic, MS::record, MS::weight, MS::beam_width,
    MS::depth_limit, MS::max_nodes, MP::optional<&MapArgs::diagonal, to_bool>("diagonal"), MS::reopen,
    MS::time_limit);

PyObject* search_grid(ModuleState& state, const MapArgs& a) {
  if (a.map.find('S') == std::string::npos || a.map.find('G') == std::string::npos) {
    throw ValueErr("the ASCII map must contain a start 'S' and a goal 'G'");
  }
  AsciiGrid parsed = GridGraph::from_ascii(a.map);
  parsed.grid.set_diagonal(a.diagonal);
  return run_on_grid(state, parsed.grid, parsed.start, parsed.goal, a);
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

// A (row, col) tuple: a real tuple of exactly two ints in the signed 32-bit range.
Cell to_cell(PyObject* obj, const char* name) {
  if (!PyTuple_Check(obj) || PyTuple_Size(obj) != 2) {
    type_error(name, "expected a (row, col) tuple, got " + type_name(obj) +
                         (PyTuple_Check(obj) ? " of length " + std::to_string(PyTuple_Size(obj)) : ""));
  }
  return {to_i32(PyTuple_GetItem(obj, 0), name), to_i32(PyTuple_GetItem(obj, 1), name)};
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
marks a wall. `start` and `goal` are `(row, col)` tuples. Same `heuristic`
options as `search_grid`; where some open cell costs less than 1, the built-in
heuristics are multiplied by the cheapest open cost, which keeps them
consistent.)",
    CP::required<&CostsArgs::costs, to_cost_matrix>("costs"), CP::required<&CostsArgs::start, to_cell>("start"),
    CP::required<&CostsArgs::goal, to_cell>("goal"), CS::algorithm, CS::heuristic, CS::record, CS::weight,
    CS::beam_width, CS::depth_limit, CS::max_nodes, CP::optional<&CostsArgs::diagonal, to_bool>("diagonal"),
    CS::reopen, CS::time_limit);

PyObject* search_grid_costs(ModuleState& state, CostsArgs& a) {
  if (a.costs.width == 0 || a.costs.height == 0) throw ValueErr("costs must be a non-empty matrix");
  GridGraph grid = GridGraph::from_costs(std::move(a.costs));
  grid.set_diagonal(a.diagonal);
  if (!grid.is_open(a.start) || !grid.is_open(a.goal)) {
    throw ValueErr("start and goal must be in-bounds, non-wall cells");
  }
  return run_on_grid(state, grid, a.start, a.goal, a);
}

}  // namespace

PyMethodDef search_grid_method() { return method<kSearchGrid, search_grid>(); }
PyMethodDef search_grid_costs_method() { return method<kSearchGridCosts, search_grid_costs>(); }

}  // namespace quellostrin::py
