// The thirteen search algorithms by name, and `run_algo`, which runs one of them.
//
// `kAlgorithms` is the single table of names: the canonical name, an optional
// alias, the strategy that runs it and, for the seven frontier algorithms, the
// frontier descriptor. Names match exactly (case-sensitive). Lookup, the
// "unknown algorithm" message (which lists the canonical names in table
// order) and the defaults below all read it.
//
// Defaults for options a caller leaves out: iterative deepening goes down to
// `kDefaultIddfsDepth`; beam search without a width keeps every candidate;
// `dls` has no default depth and refuses to run without one.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "quellostrin/errors.hpp"
#include "quellostrin/domains/csr_search.hpp"
#include "quellostrin/domains/grid_jps.hpp"
#include "quellostrin/domains/grid_search.hpp"
#include "quellostrin/domains/npuzzle_ida.hpp"
#include "quellostrin/search/search.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/strategies.hpp"

namespace quellostrin {

enum class Strategy : std::uint8_t { Frontier, Dls, Iddfs, IdaStar, Beam, Bidirectional, Jps };

struct AlgorithmInfo {
  std::string_view name;
  std::string_view alias;  // empty: none
  Strategy strategy;
  // The frontier descriptor for a heuristic weight; frontier algorithms only.
  AlgorithmKind (*kind)(double weight) = nullptr;
};

inline constexpr std::uint64_t kDefaultIddfsDepth = 1000;
inline constexpr std::uint64_t kUnboundedBeam = std::numeric_limits<std::uint64_t>::max();

inline constexpr AlgorithmInfo kAlgorithms[] = {
    {"bfs", "", Strategy::Frontier, [](double) { return AlgorithmKind::bfs(); }},
    {"dfs", "", Strategy::Frontier, [](double) { return AlgorithmKind::dfs(); }},
    {"ucs", "", Strategy::Frontier, [](double) { return AlgorithmKind::ucs(); }},
    {"dijkstra", "", Strategy::Frontier, [](double) { return AlgorithmKind::dijkstra(); }},
    {"greedy", "", Strategy::Frontier, [](double) { return AlgorithmKind::greedy(); }},
    {"astar", "a*", Strategy::Frontier, [](double) { return AlgorithmKind::astar(); }},
    {"weighted_astar", "wastar", Strategy::Frontier, [](double w) { return AlgorithmKind::weighted_astar(w); }},
    {"iddfs", "", Strategy::Iddfs},
    {"dls", "", Strategy::Dls},
    {"ida_star", "idastar", Strategy::IdaStar},
    {"beam", "", Strategy::Beam},
    {"bidirectional", "bidir", Strategy::Bidirectional},
    {"jps", "", Strategy::Jps},
};

// How to run an algorithm: every option any strategy takes. Each strategy
// reads what concerns it and ignores the rest.
struct AlgoOptions {
  bool record = true;
  double weight = 2.0;                        // weighted A* only
  std::uint64_t beam_width = kUnboundedBeam;  // beam only
  std::optional<std::uint64_t> depth_limit;   // dls (required) and iddfs
  bool reopen = false;                        // frontier algorithms only
  bool dense = false;                         // frontier algorithms: dense node store where the domain indexes
  Limits limits;                              // node and memory limits, stop hook: every strategy
  Workspace* workspace = nullptr;             // frontier algorithms: memory to borrow (search.hpp)
};

inline std::string unknown_algorithm_message(std::string_view name) {
  std::string text = "unknown algorithm: '" + std::string(name) + "'. Available: ";
  for (const AlgorithmInfo& a : kAlgorithms) {
    if (&a != kAlgorithms) text += ", ";
    text += a.name;
  }
  return text;
}

// The entry named `name` (or by its alias), or null.
inline const AlgorithmInfo* lookup_algorithm(std::string_view name) {
  for (const AlgorithmInfo& a : kAlgorithms) {
    if (a.name == name || (!a.alias.empty() && a.alias == name)) return &a;
  }
  return nullptr;
}

// The entry named `name` (or by its alias); InputError for any other name.
inline const AlgorithmInfo& find_algorithm(std::string_view name) {
  if (const AlgorithmInfo* a = lookup_algorithm(name)) return *a;
  throw InputError(unknown_algorithm_message(name));
}

// InputError when `options` lack something `algo` cannot run without.
inline void check_options(const AlgorithmInfo& algo, const AlgoOptions& options) {
  if (algo.strategy == Strategy::Dls && !options.depth_limit) throw InputError("'dls' requires depth_limit");
}

// Runs `algo` from `start` to `goal`; `check_options` must have passed.
template <Graph G, Heuristic<NodeOf<G>> H>
SearchResult<NodeOf<G>> run_algo(const AlgorithmInfo& algo, const G& graph, const H& given, const NodeOf<G>& start,
                                 const NodeOf<G>& goal, const AlgoOptions& options) {
  const H heuristic = for_domain(given, graph);
  const bool record = options.record;
  switch (algo.strategy) {
    case Strategy::Frontier: {
      const SearchOptions so{.max_nodes = options.limits.max_nodes,
                             .max_memory = options.limits.max_memory,
                             .record = record,
                             .reopen = options.reopen,
                             .dense = options.dense,
                             .stop = options.limits.hook,
                             .workspace = options.workspace};
      const AlgorithmKind kind = algo.kind(options.weight);
      // A grid under one of its own heuristics has its own loop
      // (domains/grid_search.hpp), with the same results, much faster.
      if constexpr (std::is_same_v<G, GridGraph> && is_grid_heuristic<H>) {
        if (grid_search_applies(graph, start, goal, kind, so)) {
          return grid_search(graph, start, goal, kind, heuristic, so);
        }
      }
      // So does an explicit graph under the zero heuristic
      // (domains/csr_search.hpp).
      if constexpr (std::is_same_v<G, CsrGraph> && std::is_same_v<H, Zero>) {
        if (csr_search_applies(graph, start, goal, kind, so)) return csr_search(graph, start, goal, kind, so);
      }
      return search_with_options(graph, start, goal, kind, heuristic, so);
    }
    case Strategy::Dls:
      check_options(algo, options);
      return dls(graph, start, goal, *options.depth_limit, record, options.limits);
    case Strategy::Iddfs:
      return iddfs(graph, start, goal, options.depth_limit.value_or(kDefaultIddfsDepth), record, options.limits);
    case Strategy::IdaStar:
      // The sliding-tile puzzle under its Manhattan distance or its pattern
      // databases has its own IDA*
      // (domains/npuzzle_ida.hpp), with the same results, much faster.
      if constexpr (std::is_same_v<G, NPuzzle> && std::is_same_v<H, PuzzleManhattan>) {
        if (npuzzle_ida_applies(graph, heuristic, start, goal)) {
          return npuzzle_ida_star(graph, start, goal, record, options.limits);
        }
      }
      if constexpr (std::is_same_v<G, NPuzzle> && std::is_same_v<H, PuzzlePdb>) {
        if (npuzzle_ida_applies(graph, heuristic, start, goal)) {
          return npuzzle_ida_star(graph, heuristic, start, goal, record, options.limits);
        }
      }
      return ida_star(graph, heuristic, start, goal, record, options.limits);
    case Strategy::Beam:
      return beam_search(graph, heuristic, start, goal, options.beam_width, record, options.limits);
    case Strategy::Bidirectional:
      return bidirectional(graph, start, goal, record, options.limits);
    case Strategy::Jps:
      // Jump Point Search exists for grids alone (domains/grid_jps.hpp).
      if constexpr (std::is_same_v<G, GridGraph> && is_grid_heuristic<H>) {
        return jps_search(graph, start, goal, heuristic,
                          SearchOptions{.max_nodes = options.limits.max_nodes,
                                        .max_memory = options.limits.max_memory,
                                        .record = record,
                                        .stop = options.limits.hook,
                                        .workspace = options.workspace});
      } else if constexpr (std::is_same_v<G, GridGraph>) {
        throw InputError(kJpsBuiltinHeuristic);
      } else {
        throw InputError(kJpsGridsOnly);
      }
  }
  fail_invariant("algorithm table entry with no strategy");
}

}  // namespace quellostrin
