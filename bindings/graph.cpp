// search_graph: search an explicit weighted edge list.
#include <optional>
#include <string>

#include "callbacks.hpp"
#include "convert.hpp"
#include "dispatch.hpp"
#include "entry_points.hpp"
#include "quellostrin/graph/csr.hpp"
#include "result.hpp"

namespace quellostrin::py {

const char kSearchGraphDoc[] =
    R"(search_graph(num_nodes, edges, start, goal, algorithm="bfs", heuristic=None, undirected=True, record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
--

Search an explicit weighted graph given as an edge list over `0..num_nodes`.

`heuristic` defaults to the zero heuristic (so the informed algorithms behave
as their uninformed counterparts). Pass a custom callable
`h(node, goal) -> float` (nodes are ints) to run a real A\* / Greedy — e.g.
straight-line distance when your nodes have coordinates. `weight` sets the
`w` for `weighted_astar`.

With a custom heuristic, consider `reopen=True`: a hand-written `h` that is
admissible but not *consistent* can make A\* close a node too early and return
a sub-optimal path. `SearchResult.nodes_reopened` reports what it cost.)";

namespace {

PyObject* search_graph_impl(PyObject* args, PyObject* kwargs) {
  static const char* const kwlist[] = {"num_nodes", "edges", "start", "goal", "algorithm", "heuristic",
                                       "undirected", QUELLOSTRIN_SEARCH_TAIL_NAMES, nullptr};
  auto a = parse_args<13>(args, kwargs, "OOOO|OOO" QUELLOSTRIN_SEARCH_TAIL_FORMAT ":search_graph", kwlist);

  const std::uint64_t num_nodes = to_u64(a[0], "num_nodes");
  const std::vector<Edge> edges = to_edges(a[1], "edges");
  const std::uint64_t start = to_u64(a[2], "start");
  const std::uint64_t goal = to_u64(a[3], "goal");
  const std::string algorithm = a[4] ? to_str(a[4], "algorithm") : "bfs";
  PyObject* heuristic = a[5];
  const bool undirected = a[6] ? to_bool(a[6], "undirected") : true;
  const SearchTail tail = to_search_tail(&a[7]);

  if (start >= num_nodes || goal >= num_nodes) throw ValueErr("start and goal must be < num_nodes");
  check_edges(num_nodes, edges);
  const CsrGraph graph = CsrGraph::from_edges(num_nodes, edges, undirected);

  ErrorSlot slot;
  const HeuristicChoice choice = resolve_heuristic(heuristic, "zero");
  std::optional<SearchResult<std::uint64_t>> result;
  if (choice.callable) {
    PyRef held = PyRef::borrow(choice.callable);
    const PyHeuristic<std::uint64_t> h(held.get(), slot);
    result = run_algo(graph, h, start, goal, algorithm, tail.record, tail.options);
  } else {
    if (*choice.name != "zero") {
      throw ValueErr("unknown graph heuristic: '" + *choice.name +
                     "'. Use 'zero' or a callable h(node, goal) -> float");
    }
    GilRelease unlocked;
    result = run_algo(graph, Zero{}, start, goal, algorithm, tail.record, tail.options);
  }
  if (slot.restore()) throw_py_error();
  return to_py_result(std::move(*result));
}

}  // namespace

PyObject* search_graph(PyObject*, PyObject* args, PyObject* kwargs) {
  return guarded([&] { return search_graph_impl(args, kwargs); });
}

}  // namespace quellostrin::py
