// search_graph: search an explicit weighted edge list; and the class Graph,
// the same graph built once for many queries.
#include <algorithm>
#include <functional>
#include <limits>
#include <string>

#include "batch.hpp"
#include "bytes.hpp"
#include "entry_points.hpp"
#include "prepared.hpp"
#include "quellostrin/domains/csr.hpp"
#include "quellostrin/shortest_paths.hpp"
#include "runner.hpp"

namespace quellostrin::py {
namespace {

struct GraphArgs : SearchArgs {
  std::uint64_t num_nodes = 0;
  std::vector<Edge> edges;
  std::uint64_t start = 0;
  std::uint64_t goal = 0;
  bool undirected = true;
  GraphArgs() { algorithm = "bfs"; }
};

using P = Params<GraphArgs>;
using S = SearchParams<GraphArgs>;

constexpr auto kSearchGraph = signature<GraphArgs>(
    "search_graph",
    R"(Search an explicit weighted graph given as an edge list over `0..num_nodes`.

`heuristic` defaults to the zero heuristic (so the informed algorithms behave
as their uninformed counterparts). Pass a custom callable
`h(node, goal) -> float` (nodes are ints) to run a real A* / Greedy — e.g.
straight-line distance when your nodes have coordinates. `weight` sets the
`w` for `weighted_astar`.

With a custom heuristic, consider `reopen=True`: a hand-written `h` that is
admissible but not *consistent* can make A* close a node too early and return
a sub-optimal path. `SearchResult.nodes_reopened` reports what it cost.

Defaults differ from the other searches: `algorithm="bfs"` and
`undirected=True`. On a weighted graph `"bfs"` and `"dfs"` still relax costs
(a node is pushed again when a cheaper way to it appears), so the path they
return is neither the cheapest nor always the one with the fewest edges: use
`"dijkstra"` for the cheapest. `"bidirectional"` ignores costs; on a directed
graph its backward side follows the edges in reverse. Edges may be tuples,
lists or an `(m, 3)` NumPy array. An edge of weight `inf` is no edge: it is
left out, as `bellman_ford` and `floyd_warshall` leave it out.)",
    P::required<&GraphArgs::num_nodes, to_u64>("num_nodes"), P::required<&GraphArgs::edges, to_edges>("edges"),
    P::required<&GraphArgs::start, to_u64>("start"), P::required<&GraphArgs::goal, to_u64>("goal"), S::algorithm,
    S::heuristic, P::optional<&GraphArgs::undirected, to_bool>("undirected"), S::options,
    S::max_memory);

constexpr HeuristicTable<Zero> kGraphHeuristics{
    "zero", "unknown graph heuristic: '{}'. Use 'zero' or a callable h(node, goal) -> float", {{"zero", Zero{}}}};

// An explicit graph built once. With far more node numbers than edges, only
// the nodes that the edges name are kept, renumbered in ascending order of
// their ids, followed by two spare nodes without edges that stand for a
// query's start and goal when no edge names them: a search then expands and
// lists the same nodes in the same order as over the full numbering, with
// arrays that grow with the edges rather than num_nodes.
struct GraphCore {
  std::uint64_t num_nodes = 0;
  std::uint64_t num_edges = 0;  // those of finite weight or NaN; +inf is no edge
  bool undirected = true;
  bool compact = false;
  CsrGraph graph;
  std::vector<std::uint64_t> ids;  // compact: the caller's number of each kept node
  // The first edge, in the caller's list, of weight -inf, and of any
  // negative weight: what bellman_ford and dijkstra refuse.
  std::optional<Edge> first_minus_inf;
  std::optional<Edge> first_negative;
  mutable WorkspacePool pool;  // what queries borrow
};

GraphCore build_graph(std::uint64_t num_nodes, const std::vector<Edge>& edges, bool undirected,
                      CsrGraph::Predecessors predecessors) {
  check_edges(num_nodes, edges);
  GraphCore g;
  g.num_nodes = num_nodes;
  g.undirected = undirected;
  for (const Edge& e : edges) {
    if (e.w == std::numeric_limits<double>::infinity()) continue;
    ++g.num_edges;
    if (!g.first_negative && e.w < 0.0) g.first_negative = e;
    if (!g.first_minus_inf && e.w == -std::numeric_limits<double>::infinity()) g.first_minus_inf = e;
  }
  g.compact = num_nodes / 4 > edges.size();
  if (g.compact) {
    CompactGraph c = compact_graph(edges, undirected, {}, predecessors, 2);
    g.graph = std::move(c.graph);
    g.ids = std::move(c.ids);
  } else {
    g.graph = CsrGraph::from_edges(num_nodes, edges, undirected, predecessors);
  }
  return g;
}

// A compact graph's numbers of the caller's `start` and `goal`: their kept
// nodes, or the spare nodes when no edge names them.
std::pair<std::uint64_t, std::uint64_t> local_pair(const GraphCore& g, std::uint64_t start, std::uint64_t goal) {
  const std::uint64_t spare = g.ids.size();
  auto local = [&](std::uint64_t id, std::uint64_t otherwise) {
    const auto it = std::lower_bound(g.ids.begin(), g.ids.end(), id);
    return it != g.ids.end() && *it == id ? static_cast<std::uint64_t>(it - g.ids.begin()) : otherwise;
  };
  const std::uint64_t s = local(start, spare);
  return {s, goal == start ? s : local(goal, spare + 1)};
}

// The search every graph entry point ends with, once the graph is built.
// A Graph's query borrows its workspaces; a graph built for one call the
// module's.
PyObject* query_graph(ModuleState& state, const GraphCore& g, std::uint64_t start, std::uint64_t goal,
                      const SearchArgs& args, WorkspacePool& pool) {
  if (start >= g.num_nodes || goal >= g.num_nodes) throw ValueErr("start and goal must be < num_nodes");
  const BorrowedWorkspace workspace(pool);
  if (!g.compact) return run_search(state, g.graph, start, goal, args, kGraphHeuristics, SameNodes{}, workspace.get());
  const auto [s, t] = local_pair(g, start, goal);
  return run_search(state, g.graph, s, t, args, kGraphHeuristics, NodeIds{g.ids, {start, goal}}, workspace.get());
}

PyObject* search_graph(ModuleState& state, const GraphArgs& a) {
  if (a.start >= a.num_nodes || a.goal >= a.num_nodes) throw ValueErr("start and goal must be < num_nodes");
  // Bidirectional search walks a directed graph backwards from the goal, over
  // its transpose; no other search needs one.
  const AlgorithmInfo* algo = lookup_algorithm(a.algorithm);
  const auto predecessors = !a.undirected && algo && algo->strategy == Strategy::Bidirectional
                                ? CsrGraph::Predecessors::listed
                                : CsrGraph::Predecessors::none;
  return query_graph(state, build_graph(a.num_nodes, a.edges, a.undirected, predecessors), a.start, a.goal, a,
                     one_call_pool(state));
}

// ---- Graph: an edge list built once, then searched many times.

struct GraphNewArgs {
  std::uint64_t num_nodes = 0;
  std::vector<Edge> edges;
  bool undirected = true;
};

using NP = Params<GraphNewArgs>;
constexpr auto kGraphNew = signature<GraphNewArgs>(
    "Graph", "", NP::required<&GraphNewArgs::num_nodes, to_u64>("num_nodes"),
    NP::required<&GraphNewArgs::edges, to_edges>("edges"), NP::optional<&GraphNewArgs::undirected, to_bool>("undirected"));

GraphCore new_graph(ModuleState&, const GraphNewArgs& a) {
  // A directed graph keeps its transpose, for bidirectional search.
  return build_graph(a.num_nodes, a.edges, a.undirected,
                     a.undirected ? CsrGraph::Predecessors::none : CsrGraph::Predecessors::listed);
}

struct GraphQueryArgs : SearchArgs {
  std::uint64_t start = 0;
  std::uint64_t goal = 0;
  GraphQueryArgs() { algorithm = "bfs"; }
};

using QP = Params<GraphQueryArgs>;
using QS = SearchParams<GraphQueryArgs>;
constexpr auto kGraphSearch = signature<GraphQueryArgs>(
    "search",
    R"(Search the graph from `start` to `goal`. The options, their defaults and
the result are those of `search_graph`: this is the same search, without
building the graph again.)",
    QP::required<&GraphQueryArgs::start, to_u64>("start"), QP::required<&GraphQueryArgs::goal, to_u64>("goal"),
    QS::algorithm, QS::heuristic, QS::options, QS::max_memory);

PyObject* graph_search_method(ModuleState& state, PyObject* self, const GraphQueryArgs& a) {
  const GraphCore& g = prepared<GraphCore>(self);
  return query_graph(state, g, a.start, a.goal, a, g.pool);
}

struct GraphBatchArgs : SearchArgs, BatchOptions {
  GraphBatchArgs() { algorithm = "bfs"; }
};

using BP = Params<GraphBatchArgs>;
using BS = SearchParams<GraphBatchArgs>;
constexpr auto kGraphSearchMany = signature<GraphBatchArgs>(
    "search_many",
    R"(Search every `(start, goal)` pair of `queries` (a sequence of pairs, or an
integer array of shape (k, 2)) with the same options, and return the
`SearchResult`s in query order, each equal to `search` of its pair. Every
query is checked first: a bad one raises the error `search` would, naming its
index, and nothing runs. With a built-in heuristic the searches run with the
interpreter lock released, on `workers` native threads (1: the calling
thread); a Python callable needs `workers=1`. Ctrl-C stops every worker.)",
    BP::required<&GraphBatchArgs::queries, as_object>("queries"), BP::optional<&GraphBatchArgs::workers, to_u64>("workers"),
    BS::algorithm, BS::heuristic, BS::options, BS::max_memory)
        .keyword_only_after(1);

// A checked query of a graph: its start and goal as the graph numbers them,
// and the caller's numbers of the two spare nodes.
struct GraphQuery {
  std::uint64_t start, goal;
  NodeIds names;
};

PyObject* graph_search_many(ModuleState& state, PyObject* self, const GraphBatchArgs& a) {
  const GraphCore& g = prepared<GraphCore>(self);
  const std::vector<PyRef> items = query_items(as_rows(a.queries));
  std::vector<GraphQuery> queries;
  queries.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    queries.push_back(at_query(i, [&] {
      const auto [start, goal] = pair_of(items[i].get(), to_u64);
      if (start >= g.num_nodes || goal >= g.num_nodes) throw ValueErr("start and goal must be < num_nodes");
      if (!g.compact) return GraphQuery{start, goal, {}};
      const auto [s, t] = local_pair(g, start, goal);
      return GraphQuery{s, t, NodeIds{g.ids, {start, goal}}};
    }));
  }
  return run_batch<std::uint64_t>(state, a, kGraphHeuristics, queries.size(), a.workers, &g.pool,
                                  [&](std::size_t i, auto run) {
    const GraphQuery& q = queries[i];
    if (g.compact) {
      run(g.graph, q.start, q.goal, q.names);
    } else {
      run(g.graph, q.start, q.goal, SameNodes{});
    }
  });
}

// The graph over the caller's node numbers, for the shortest-path routines:
// `g.graph` itself, or the compact graph's entries renumbered back (in their
// order, which is the order in which the full graph would list them).
template <class F>
auto on_full_graph(const GraphCore& g, F&& f) {
  if (!g.compact) return f(g.graph);
  std::vector<Edge> entries = g.graph.edges();
  for (Edge& e : entries) e = {g.ids[e.u], g.ids[e.v], e.w};
  return f(CsrGraph::from_edges(g.num_nodes, entries, false));
}

struct SourceArgs {
  std::uint64_t source = 0;
};
constexpr auto kGraphBellmanFord = signature<SourceArgs>(
    "bellman_ford",
    R"(Shortest paths from `source` to every node, negative weights allowed: what
`bellman_ford(num_nodes, edges, source, undirected)` returns for this graph.)",
    Params<SourceArgs>::required<&SourceArgs::source, to_u64>("source"));
constexpr auto kGraphDijkstra = signature<SourceArgs>(
    "dijkstra",
    R"(Shortest paths from `source` to every node, as a `ShortestPaths`: the
distances (``inf`` where unreachable) and a path to each node by `path_to`.
Weights must be >= 0; for negative ones use `bellman_ford`.)",
    Params<SourceArgs>::required<&SourceArgs::source, to_u64>("source"));

PyObject* graph_bellman_ford(ModuleState& state, PyObject* self, const SourceArgs& a) {
  const GraphCore& g = prepared<GraphCore>(self);
  if (a.source >= g.num_nodes) throw ValueErr("source must be < num_nodes");
  if (g.first_minus_inf) check_no_negative_infinity({&*g.first_minus_inf, 1});
  check_single_source_size(g.num_nodes);
  return new_shortest_paths(state, run_unlocked(state, [&](const StopHook& stop) {
                              return on_full_graph(g, [&](const CsrGraph& full) { return bellman_ford(full, a.source, stop); });
                            }));
}

PyObject* graph_dijkstra(ModuleState& state, PyObject* self, const SourceArgs& a) {
  const GraphCore& g = prepared<GraphCore>(self);
  if (a.source >= g.num_nodes) throw ValueErr("source must be < num_nodes");
  if (const auto& e = g.first_negative) {
    throw ValueErr(quellostrin::detail::format(
        "dijkstra needs weights >= 0, and edge ({}, {}) has weight {}: use bellman_ford", e->u, e->v, e->w));
  }
  check_single_source_size(g.num_nodes);
  return new_shortest_paths(state, run_unlocked(state, [&](const StopHook& stop) {
                              return on_full_graph(g, [&](const CsrGraph& full) { return dijkstra(full, a.source, stop); });
                            }));
}

struct NoArgs {};
constexpr auto kGraphFloydWarshall = signature<NoArgs>(
    "floyd_warshall",
    R"(Shortest paths between every pair of nodes: what
`floyd_warshall(num_nodes, edges, undirected)` returns for this graph.)");

PyObject* graph_floyd_warshall(ModuleState& state, PyObject* self, const NoArgs&) {
  const GraphCore& g = prepared<GraphCore>(self);
  if (g.first_minus_inf) check_no_negative_infinity({&*g.first_minus_inf, 1});
  check_all_pairs_size(g.num_nodes);
  return new_all_pairs(state, run_unlocked(state, [&](const StopHook& stop) {
                         return on_full_graph(g, [&](const CsrGraph& full) { return floyd_warshall(full, stop); });
                       }));
}

PyObject* graph_num_nodes(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(prepared<GraphCore>(self).num_nodes); }
PyObject* graph_num_edges(PyObject* self, void*) { return PyLong_FromUnsignedLongLong(prepared<GraphCore>(self).num_edges); }
PyObject* graph_undirected(PyObject* self, void*) { return PyBool_FromLong(prepared<GraphCore>(self).undirected); }

PyObject* graph_repr(PyObject* self) {
  return guarded_self(self, [&] {
    const GraphCore& g = prepared<GraphCore>(self);
    const std::string text = "Graph(num_nodes=" + std::to_string(g.num_nodes) + ", num_edges=" +
                             std::to_string(g.num_edges) + ", undirected=" + (g.undirected ? "True" : "False") + ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

PyObject* edge_or_none(const std::optional<Edge>& e) {
  return e ? Py_BuildValue("(KKd)", static_cast<unsigned long long>(e->u), static_cast<unsigned long long>(e->v), e->w)
           : Py_NewRef(Py_None);
}

// Pickled as its arrays, 8 little-endian bytes per entry: (num_nodes,
// num_edges, undirected, compact, ids, offsets, targets, weights, and the
// transpose's offsets, targets and weights (empty without one), and the first
// -inf and negative edges or None).
PyObject* graph_reduce(PyObject* self, PyObject*) {
  return guarded_self(self, [&] {
    const GraphCore& g = prepared<GraphCore>(self);
    const CsrGraph& c = g.graph;
    PyRef parts[] = {PyRef::steal(u64s_to_bytes(g.ids)),
                     PyRef::steal(u64s_to_bytes(c.offsets())),
                     PyRef::steal(u64s_to_bytes(c.targets())),
                     PyRef::steal(doubles_to_bytes(c.weights())),
                     PyRef::steal(u64s_to_bytes(c.reverse_offsets())),
                     PyRef::steal(u64s_to_bytes(c.reverse_targets())),
                     PyRef::steal(doubles_to_bytes(c.reverse_weights())),
                     PyRef::steal(edge_or_none(g.first_minus_inf)),
                     PyRef::steal(edge_or_none(g.first_negative))};
    for (const PyRef& p : parts) {
      if (!p) throw_py_error();
    }
    return reduce_with(self, kRestoreGraph,
                       PyRef::steal(Py_BuildValue("(KKiiOOOOOOOOO)", static_cast<unsigned long long>(g.num_nodes),
                                                  static_cast<unsigned long long>(g.num_edges), int{g.undirected},
                                                  int{g.compact}, parts[0].get(), parts[1].get(), parts[2].get(),
                                                  parts[3].get(), parts[4].get(), parts[5].get(), parts[6].get(),
                                                  parts[7].get(), parts[8].get())));
  });
}

PyGetSetDef graph_getset[] = {
    {"num_nodes", graph_num_nodes, nullptr, "Nodes are 0 .. num_nodes - 1.", nullptr},
    {"num_edges", graph_num_edges, nullptr, "Edges given, those of weight inf (no edge) left out.", nullptr},
    {"undirected", graph_undirected, nullptr, "Whether each edge goes both ways.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef* graph_methods() {
  static PyMethodDef defs[] = {method_of_class<kGraphSearch, graph_search_method>(),
                               method_of_class<kGraphSearchMany, graph_search_many>(),
                               method_of_class<kGraphDijkstra, graph_dijkstra>(),
                               method_of_class<kGraphBellmanFord, graph_bellman_ford>(),
                               method_of_class<kGraphFloydWarshall, graph_floyd_warshall>(),
                               {"__reduce__", graph_reduce, METH_NOARGS, nullptr},
                               {nullptr, nullptr, 0, nullptr}};
  return defs;
}

constexpr const char* kGraphDoc = R"(Graph(num_nodes, edges, undirected=True)
--

An explicit weighted graph built once and searched many times, from the
arguments `search_graph` takes: `Graph(n, edges).search(s, t, ...)` returns
what `search_graph(n, edges, s, t, ...)` returns, without building the graph
again. Also `dijkstra(source)`, `bellman_ford(source)` and `floyd_warshall()`
over it. An edge of weight inf is no edge. Nothing a query does changes the
graph, so threads may query one graph at once; it pickles compactly.)";

// Edge (u, v, w) of a pickle, or None.
std::optional<Edge> edge_of(PyObject* obj, std::uint64_t num_nodes) {
  if (obj == Py_None) return std::nullopt;
  unsigned long long u = 0, v = 0;
  double w = 0.0;
  if (!PyArg_ParseTuple(obj, "KKd", &u, &v, &w)) throw_py_error();
  if (u >= num_nodes || v >= num_nodes) throw ValueErr("a pickled Graph is malformed");
  return Edge{u, v, w};
}

}  // namespace

PyMethodDef search_graph_method() { return method<kSearchGraph, search_graph>(); }

std::vector<std::string> graph_heuristic_names() { return heuristic_names(kGraphHeuristics); }

bool add_graph_type(PyObject* module, ModuleState& state) {
  return add_prepared_class<GraphCore, kGraphNew, new_graph>(module, state.graph_type, "quellostrin.quellostrin_native.Graph", kGraphDoc, graph_repr,
                                        graph_getset, graph_methods());
}

PyObject* restore_graph(PyObject* module, PyObject* args) {
  ModuleState& state = state_of(module);
  return guarded(state.internal_error, [&]() -> PyObject* {
    unsigned long long num_nodes = 0, num_edges = 0;
    int undirected = 0, compact = 0;
    PyObject* b[7];
    PyObject *minus_inf, *negative;
    if (!PyArg_ParseTuple(args, "KKppO!O!O!O!O!O!O!OO:_restore_graph", &num_nodes, &num_edges, &undirected, &compact,
                          &PyBytes_Type, &b[0], &PyBytes_Type, &b[1], &PyBytes_Type, &b[2], &PyBytes_Type, &b[3],
                          &PyBytes_Type, &b[4], &PyBytes_Type, &b[5], &PyBytes_Type, &b[6], &minus_inf, &negative)) {
      throw_py_error();
    }
    constexpr const char* kBad = "a pickled Graph is malformed";
    GraphCore g;
    g.num_nodes = num_nodes;
    g.num_edges = num_edges;
    g.undirected = undirected != 0;
    g.compact = compact != 0;
    g.ids = words_from_bytes(b[0], kBad);
    try {
      g.graph = CsrGraph::from_parts(words_from_bytes(b[1], kBad), words_from_bytes(b[2], kBad),
                                     doubles_from_bytes(b[3], kBad), words_from_bytes(b[4], kBad),
                                     words_from_bytes(b[5], kBad), doubles_from_bytes(b[6], kBad));
    } catch (const InputError&) {
      throw ValueErr(kBad);
    }
    const bool ids_ok = std::adjacent_find(g.ids.begin(), g.ids.end(), std::greater_equal<>()) == g.ids.end() &&
                        (g.ids.empty() || g.ids.back() < num_nodes);
    const std::uint64_t nodes = g.compact ? g.ids.size() + 2 : num_nodes;
    if (!ids_ok || (!g.compact && !g.ids.empty()) || g.graph.node_count() != nodes) throw ValueErr(kBad);
    g.first_minus_inf = edge_of(minus_inf, num_nodes);
    g.first_negative = edge_of(negative, num_nodes);
    // What dijkstra and bellman_ford refuse is there exactly when the graph
    // has such a weight: without it they would run on weights they refuse.
    const bool minus_inf_weight = g.graph.min_weight() == -std::numeric_limits<double>::infinity();
    if (g.first_negative.has_value() != (g.graph.min_weight() < 0.0) ||
        g.first_minus_inf.has_value() != minus_inf_weight || (g.first_negative && !(g.first_negative->w < 0.0)) ||
        (g.first_minus_inf && g.first_minus_inf->w != -std::numeric_limits<double>::infinity())) {
      throw ValueErr(kBad);
    }
    return wrap_prepared(reinterpret_cast<PyTypeObject*>(state.graph_type), std::move(g));
  });
}

}  // namespace quellostrin::py
