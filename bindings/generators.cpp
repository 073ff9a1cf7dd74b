// The seeded random graphs, returned as edge lists ready for search_graph,
// bellman_ford and floyd_warshall, and the mazes, returned as ASCII maps ready
// for search_grid. The interpreter lock is held throughout.
#include <string>

#include "entry_points.hpp"
#include "quellostrin/domains/graphs.hpp"
#include "quellostrin/domains/maze.hpp"
#include "runner.hpp"

namespace quellostrin::py {
namespace {

// Each undirected edge once (u < v, so self-loops drop out), in the graph's
// edge order.
PyObject* edge_list(const CsrGraph& graph) {
  PyRef list = PyRef::steal(PyList_New(0));
  if (!list) throw_py_error();
  for (const Edge& e : graph.edges()) {
    if (e.u >= e.v) continue;
    PyRef tuple = PyRef::steal(Py_BuildValue("(KKd)", static_cast<unsigned long long>(e.u),
                                             static_cast<unsigned long long>(e.v), e.w));
    if (!tuple || PyList_Append(list.get(), tuple.get()) != 0) throw_py_error();
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
    "gen_erdos_renyi", "Erdős–Rényi `G(n, p)` random graph → edge list.",
    EP::required<&ErdosRenyiArgs::n, to_u64>("n"), EP::required<&ErdosRenyiArgs::p, to_double>("p"),
    EP::required<&ErdosRenyiArgs::seed, to_u64>("seed"));
// n(n-1)/2 draws with the lock held: the signal handlers run once per row of
// pairs, so Ctrl-C stops a large graph.
PyObject* gen_erdos_renyi(ModuleState& state, const ErdosRenyiArgs& a) {
  return polled(state, [&](const StopHook& stop) { return erdos_renyi(a.n, a.p, a.seed, stop); }, edge_list);
}

struct BarabasiAlbertArgs {
  std::uint64_t n = 0;
  std::uint64_t m = 0;
  std::uint64_t seed = 0;
};
using BP = Params<BarabasiAlbertArgs>;
constexpr auto kBarabasiAlbert = signature<BarabasiAlbertArgs>(
    "gen_barabasi_albert", "Barabási–Albert scale-free graph → edge list.",
    BP::required<&BarabasiAlbertArgs::n, to_u64>("n"), BP::required<&BarabasiAlbertArgs::m, to_u64>("m"),
    BP::required<&BarabasiAlbertArgs::seed, to_u64>("seed"));
PyObject* gen_barabasi_albert(ModuleState& state, const BarabasiAlbertArgs& a) {
  return polled(state, [&](const StopHook& stop) { return barabasi_albert(a.n, a.m, a.seed, stop); }, edge_list);
}

struct WattsStrogatzArgs {
  std::uint64_t n = 0;
  std::uint64_t k = 0;
  double beta = 0.0;
  std::uint64_t seed = 0;
};
using WP = Params<WattsStrogatzArgs>;
constexpr auto kWattsStrogatz = signature<WattsStrogatzArgs>(
    "gen_watts_strogatz", "Watts–Strogatz small-world graph → edge list.",
    WP::required<&WattsStrogatzArgs::n, to_u64>("n"), WP::required<&WattsStrogatzArgs::k, to_u64>("k"),
    WP::required<&WattsStrogatzArgs::beta, to_double>("beta"), WP::required<&WattsStrogatzArgs::seed, to_u64>("seed"));
PyObject* gen_watts_strogatz(ModuleState& state, const WattsStrogatzArgs& a) {
  return polled(state, [&](const StopHook& stop) { return watts_strogatz(a.n, a.k, a.beta, a.seed, stop); },
                edge_list);
}

struct SampleMazeArgs {
  std::string name;
};
constexpr auto kSampleMaze =
    signature<SampleMazeArgs>("sample_maze", R"(A named sample maze as an ASCII map. `name` is `"open"` or `"wall"`.)",
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
    "random_maze_ascii", "A reproducible random maze rendered as an ASCII map (with `S`/`G`).",
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
