// run_algo: from an algorithm name to a strategy of the core.
//
// Names are matched exactly (case-sensitive). The seven frontier algorithms
// run the frontier driver with the caller's node limit, recording and
// reopening and always the hash store; the other five run their own
// strategies. Options that do not concern the chosen strategy are ignored.
// An unknown name, or "dls" without a depth limit, throws ValueErr; nothing
// here touches a Python object, so it runs with the interpreter lock released
// when the heuristic is a built-in one.
#pragma once

#include <cstdint>
#include <string_view>

#include "convert.hpp"
#include "errors.hpp"
#include "quellostrin/search.hpp"
#include "quellostrin/strategies.hpp"

namespace quellostrin::py {

inline constexpr std::uint64_t kDefaultIddfsDepth = 1000;

template <Graph G, Heuristic<NodeOf<G>> H>
SearchResult<NodeOf<G>> run_algo(const G& graph, const H& heuristic, const NodeOf<G>& start,
                                 const NodeOf<G>& goal, std::string_view algorithm, bool record,
                                 const RunOptions& options) {
  auto frontier = [&](const AlgorithmKind& kind) {
    const SearchOptions so{.max_nodes = options.max_nodes, .record = record, .reopen = options.reopen, .dense = false};
    return search_with_options(graph, start, goal, kind, heuristic, so);
  };
  if (algorithm == "bfs") return frontier(AlgorithmKind::bfs());
  if (algorithm == "dfs") return frontier(AlgorithmKind::dfs());
  if (algorithm == "ucs") return frontier(AlgorithmKind::ucs());
  if (algorithm == "dijkstra") return frontier(AlgorithmKind::dijkstra());
  if (algorithm == "greedy") return frontier(AlgorithmKind::greedy());
  if (algorithm == "astar" || algorithm == "a*") return frontier(AlgorithmKind::astar());
  if (algorithm == "weighted_astar" || algorithm == "wastar") {
    return frontier(AlgorithmKind::weighted_astar(options.weight));
  }
  if (algorithm == "dls") {
    if (!options.depth_limit) throw ValueErr("'dls' requires depth_limit");
    return dls(graph, start, goal, *options.depth_limit, record);
  }
  if (algorithm == "iddfs") return iddfs(graph, start, goal, options.depth_limit.value_or(kDefaultIddfsDepth), record);
  if (algorithm == "ida_star" || algorithm == "idastar") return ida_star(graph, heuristic, start, goal, record);
  if (algorithm == "beam") return beam_search(graph, heuristic, start, goal, options.beam_width, record);
  if (algorithm == "bidirectional" || algorithm == "bidir") return bidirectional(graph, start, goal, record);
  throw ValueErr("unknown algorithm: '" + std::string(algorithm) +
                 "'. Available: bfs, dfs, ucs, dijkstra, greedy, astar, weighted_astar, iddfs, dls, ida_star, "
                 "beam, bidirectional");
}

}  // namespace quellostrin::py
