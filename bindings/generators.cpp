// The seeded random graphs, returned as edge lists ready for search_graph,
// bellman_ford and floyd_warshall, and the mazes, returned as ASCII maps ready
// for search_grid. The interpreter lock is held throughout.
#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "entry_points.hpp"
#include "quellostrin/generators/graphs.hpp"
#include "quellostrin/generators/maze.hpp"
#include "runner.hpp"

namespace quellostrin::py {
namespace {

// The (u, v, w) tuples of a generated edge list, already in its final order.
// Node numbers repeat (each node is in about 2m/n of the tuples), so each
// node's int is made once and shared, and so is each run of equal weights
// (all 1.0 here): the list then costs little more than its tuples.
PyObject* edge_list(const std::vector<Edge>& edges) {
  PyRef list = PyRef::steal(PyList_New(static_cast<Py_ssize_t>(edges.size())));
  if (!list) throw_py_error();
  // node -> its int, made on first use; owned by `ints`.
  std::vector<PyObject*> ints;
  struct Release {
    std::vector<PyObject*>& objects;
    ~Release() {
      for (PyObject* o : objects) Py_XDECREF(o);
    }
  } release_ints{ints};
  std::uint64_t nodes = 0;
  for (const Edge& e : edges) nodes = std::max({nodes, e.u + 1, e.v + 1});
  ints.assign(static_cast<std::size_t>(nodes), nullptr);
  const auto int_of = [&](std::uint64_t node) {
    PyObject*& slot = ints[static_cast<std::size_t>(node)];
    if (!slot) {
      slot = PyLong_FromUnsignedLongLong(node);
      if (!slot) throw_py_error();
    }
    return Py_NewRef(slot);
  };
  PyRef weight;
  double weight_value = 0.0;
  for (std::size_t i = 0; i < edges.size(); ++i) {
    const Edge& e = edges[i];
    if (!weight || std::bit_cast<std::uint64_t>(e.w) != std::bit_cast<std::uint64_t>(weight_value)) {
      weight = PyRef::steal(PyFloat_FromDouble(e.w));
      if (!weight) throw_py_error();
      weight_value = e.w;
    }
    PyObject* tuple = PyTuple_New(3);
    if (!tuple) throw_py_error();
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), tuple);  // steals; the list frees it on error
    PyTuple_SetItem(tuple, 0, int_of(e.u));
    PyTuple_SetItem(tuple, 1, int_of(e.v));
    PyTuple_SetItem(tuple, 2, Py_NewRef(weight.get()));
    // Ints and a float cannot form a cycle: the collector need not track the
    // tuple (it would find that out itself, after visiting it), which keeps
    // the collections that a large list sets off short.
    PyObject_GC_UnTrack(tuple);
  }
  return list.release();
}

// Runs generator `make` with the lock held and a stop hook that runs the
// signal handlers every kPollEvery steps, so Ctrl-C stops a large output; then
// raises what a handler raised, or converts the output.
template <class Make, class Convert>
PyObject* polled(ModuleState& state, Make&& make, Convert&& convert) {
  constexpr std::uint64_t kPollEvery = 1u << 14;
  ErrorSlot slot(state.internal_error);
  detail::CancelPoll cancel{&slot, nullptr, 1};
  const auto made = make(StopHook{&detail::CancelPoll::poll, &cancel, kPollEvery});
  if (slot.restore()) throw_py_error();
  return convert(made);
}

PyObject* text(const std::string& s) {
  PyObject* out = PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
  if (!out) throw_py_error();
  return out;
}

struct ErdosRenyiArgs {
  std::uint64_t n = 0;
  double p = 0.0;
  std::uint64_t seed = 0;
};
using EP = Params<ErdosRenyiArgs>;
constexpr auto kErdosRenyi = signature<ErdosRenyiArgs>(
    "gen_erdos_renyi",
    R"(A random graph `G(n, p)` (Erdős–Rényi): each of the `n(n - 1) / 2` pairs
of the nodes `0 .. n - 1` is joined by an edge with probability `p`,
independently of the others (`p <= 0`: no edge, `p >= 1`: every pair).

Returns the edge list `[(u, v, 1.0), ...]`: each undirected edge once, with
`u < v`, in increasing order; every weight is 1.0. `search_graph` and `Graph`
take it as it is (they default to `undirected=True`); pass
`undirected=True` to `bellman_ford` and `floyd_warshall`. The same `n`, `p`
and `seed` (an int >= 0) always give the same graph, on every machine.

>>> edges = gen_erdos_renyi(5, 0.5, seed=1)
>>> edges
[(0, 1, 1.0), (0, 2, 1.0), (0, 4, 1.0), (1, 2, 1.0), (1, 4, 1.0), (2, 3, 1.0)]
>>> search_graph(5, edges, 3, 4).path
[3, 2, 0, 4])",
    EP::required<&ErdosRenyiArgs::n, to_u64>("n"), EP::required<&ErdosRenyiArgs::p, to_double>("p"),
    EP::required<&ErdosRenyiArgs::seed, to_u64>("seed"));
// n(n-1)/2 draws with the lock held: the signal handlers run once per row of
// pairs, so Ctrl-C stops a large graph.
PyObject* gen_erdos_renyi(ModuleState& state, const ErdosRenyiArgs& a) {
  return polled(state, [&](const StopHook& stop) { return erdos_renyi_edges(a.n, a.p, a.seed, stop); }, edge_list);
}

struct BarabasiAlbertArgs {
  std::uint64_t n = 0;
  std::uint64_t m = 0;
  std::uint64_t seed = 0;
};
using BP = Params<BarabasiAlbertArgs>;
constexpr auto kBarabasiAlbert = signature<BarabasiAlbertArgs>(
    "gen_barabasi_albert",
    R"(A scale-free random graph grown by preferential attachment
(Barabási–Albert): a complete graph on the nodes `0 .. m - 1`, then the nodes
`m .. n - 1` added one at a time, each joined to `m` distinct earlier nodes
drawn with probability proportional to their degree. So `m` is the number of
edges each new node brings, and the graph has `m(m - 1) / 2 + (n - m) m`
edges. Needs `n > m >= 1`.

Returns the edge list `[(u, v, 1.0), ...]`: each undirected edge once, with
`u < v`, grouped by `u` in increasing order; every weight is 1.0. The same
`n`, `m` and `seed` (an int >= 0) always give the same graph.

>>> gen_barabasi_albert(4, 2, seed=1)
[(0, 1, 1.0), (0, 2, 1.0), (1, 2, 1.0), (1, 3, 1.0), (2, 3, 1.0)])",
    BP::required<&BarabasiAlbertArgs::n, to_u64>("n"), BP::required<&BarabasiAlbertArgs::m, to_u64>("m"),
    BP::required<&BarabasiAlbertArgs::seed, to_u64>("seed"));
PyObject* gen_barabasi_albert(ModuleState& state, const BarabasiAlbertArgs& a) {
  return polled(state, [&](const StopHook& stop) { return barabasi_albert_edges(a.n, a.m, a.seed, stop); }, edge_list);
}

struct WattsStrogatzArgs {
  std::uint64_t n = 0;
  std::uint64_t k = 0;
  double beta = 0.0;
  std::uint64_t seed = 0;
};
using WP = Params<WattsStrogatzArgs>;
constexpr auto kWattsStrogatz = signature<WattsStrogatzArgs>(
    "gen_watts_strogatz",
    R"(A small-world random graph (Watts–Strogatz): the nodes `0 .. n - 1` on a
ring, each joined to its `k` nearest neighbours (`k / 2` on either side);
then each of these edges, in turn, is rewired with probability `beta`: it
keeps its lower end and gets a new other end, drawn uniformly among the
nodes that make neither a loop nor a second edge. `beta = 0` keeps the ring,
`beta = 1` rewires every edge. The graph has `n k / 2` edges. Needs `k` even
and `k < n`.

Returns the edge list `[(u, v, 1.0), ...]`: each undirected edge once, with
`u < v`, grouped by `u` in increasing order; every weight is 1.0. The same
arguments and `seed` (an int >= 0) always give the same graph.

>>> gen_watts_strogatz(6, 2, 0.0, seed=1)
[(0, 1, 1.0), (0, 5, 1.0), (1, 2, 1.0), (2, 3, 1.0), (3, 4, 1.0), (4, 5, 1.0)])",
    WP::required<&WattsStrogatzArgs::n, to_u64>("n"), WP::required<&WattsStrogatzArgs::k, to_u64>("k"),
    WP::required<&WattsStrogatzArgs::beta, to_double>("beta"), WP::required<&WattsStrogatzArgs::seed, to_u64>("seed"));
PyObject* gen_watts_strogatz(ModuleState& state, const WattsStrogatzArgs& a) {
  return polled(state, [&](const StopHook& stop) { return watts_strogatz_edges(a.n, a.k, a.beta, a.seed, stop); },
                edge_list);
}

struct SampleMazeArgs {
  std::string name;
};
constexpr auto kSampleMaze =
    signature<SampleMazeArgs>("sample_maze", R"(A fixed sample maze as an ASCII map, ready for `search_grid` or `Grid`:
`name` is `"open"` (a 9 x 6 room with one short wall) or `"wall"` (a 9 x 6
maze of corridors). `S` is the start, `G` the goal, `#` a wall; every open
cell costs 1.

>>> print(sample_maze("wall"))
S.#......
..#.####.
..#.#..#.
..#.#.##.
....#...G
#####.#..
>>> search_grid(sample_maze("wall")).cost
20.0)",
                              Params<SampleMazeArgs>::required<&SampleMazeArgs::name, to_str>("name"));
PyObject* sample_maze_py(ModuleState&, const SampleMazeArgs& a) {
  const auto map = sample_maze(a.name);
  if (!map) throw ValueErr("unknown sample maze: '" + a.name + "'. Available: open, wall");
  return text(std::string(*map));
}

struct RandomMazeArgs {
  std::int32_t width = 0;
  std::int32_t height = 0;
  double obstacle_density = 0.0;
  std::uint64_t seed = 0;
};
using RP = Params<RandomMazeArgs>;
constexpr auto kRandomMaze = signature<RandomMazeArgs>(
    "random_maze_ascii",
    R"(A random maze as an ASCII map, ready for `search_grid` or `Grid`: `height`
lines of `width` characters, the start `S` in the top-left corner, the goal
`G` in the bottom-right one, and each other cell a wall `#` with probability
`obstacle_density`, else open (`.`). Every open cell costs 1. A way from `S`
to `G` is not guaranteed (a search then ends with `found` False). The same
arguments and `seed` (an int >= 0) always give the same maze.

>>> maze = random_maze_ascii(8, 4, 0.3, seed=2)
>>> print(maze)
S....#..
###....#
#....#..
#...#.#G
>>> search_grid(maze).cost
10.0)",
    RP::required<&RandomMazeArgs::width, to_i32>("width"), RP::required<&RandomMazeArgs::height, to_i32>("height"),
    RP::required<&RandomMazeArgs::obstacle_density, to_double>("obstacle_density"),
    RP::required<&RandomMazeArgs::seed, to_u64>("seed"));
PyObject* random_maze_ascii_py(ModuleState& state, const RandomMazeArgs& a) {
  return polled(
      state, [&](const StopHook& stop) { return random_maze_ascii(a.width, a.height, a.obstacle_density, a.seed, stop); },
      [](const std::optional<std::string>& maze) {
        if (!maze) fail_invariant("a maze was stopped with no exception to report");
        return text(*maze);
      });
}

}  // namespace

PyMethodDef gen_erdos_renyi_method() { return method<kErdosRenyi, gen_erdos_renyi>(); }
PyMethodDef gen_barabasi_albert_method() { return method<kBarabasiAlbert, gen_barabasi_albert>(); }
PyMethodDef gen_watts_strogatz_method() { return method<kWattsStrogatz, gen_watts_strogatz>(); }
PyMethodDef sample_maze_method() { return method<kSampleMaze, sample_maze_py>(); }
PyMethodDef random_maze_ascii_method() { return method<kRandomMaze, random_maze_ascii_py>(); }

}  // namespace quellostrin::py
