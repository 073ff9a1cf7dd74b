// search_graph: search an explicit weighted edge list.
#include "entry_points.hpp"
#include "quellostrin/graph/csr.hpp"
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
`h(node, goal) -> float` (nodes are ints) to run a real A\* / Greedy — e.g.
straight-line distance when your nodes have coordinates. `weight` sets the
`w` for `weighted_astar`.

With a custom heuristic, consider `reopen=True`: a hand-written `h` that is
admissible but not *consistent* can make A\* close a node too early and return
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
    S::heuristic, P::optional<&GraphArgs::undirected, to_bool>("undirected"), S::options);

constexpr HeuristicTable<Zero> kGraphHeuristics{
    "zero", "unknown graph heuristic: '{}'. Use 'zero' or a callable h(node, goal) -> float", {{"zero", Zero{}}}};

PyObject* search_graph(ModuleState& state, const GraphArgs& a) {
  if (a.start >= a.num_nodes || a.goal >= a.num_nodes) throw ValueErr("start and goal must be < num_nodes");
  // Bidirectional search walks a directed graph backwards from the goal, over
  // its transpose; nothing else needs one.
  const AlgorithmInfo* algo = lookup_algorithm(a.algorithm);
  const auto predecessors = !a.undirected && algo && algo->strategy == Strategy::Bidirectional
                                ? CsrGraph::Predecessors::listed
                                : CsrGraph::Predecessors::none;
  // With far more node numbers than edges, only the nodes that the edges, the
  // start and the goal name are searched: the same search, with arrays that
  // grow with the edges instead of num_nodes.
  if (a.num_nodes / 4 > a.edges.size()) {
    check_edges(a.num_nodes, a.edges);
    const std::uint64_t named[] = {a.start, a.goal};
    const CompactGraph compact = compact_graph(a.edges, a.undirected, named, predecessors);
    return run_search(state, compact.graph, compact.compact(a.start), compact.compact(a.goal), a, kGraphHeuristics,
                      NodeIds{compact.ids});
  }
  const CsrGraph graph = CsrGraph::from_edges(a.num_nodes, a.edges, a.undirected, predecessors);  // checks the edges' range
  return run_search(state, graph, a.start, a.goal, a, kGraphHeuristics);
}

}  // namespace

PyMethodDef search_graph_method() { return method<kSearchGraph, search_graph>(); }

}  // namespace quellostrin::py
