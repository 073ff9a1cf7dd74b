// The search driver over any domain the Graph concept describes:
// breadth-first, depth-first, uniform-cost, Dijkstra, greedy best-first, A*
// and weighted A* through the one best-first loop (best_first.hpp), the
// domain's successor lists taken through `neighbors_into`, its nodes kept in
// a hashed or a dense node store (state.hpp) and on one of the three open
// lists of frontier.hpp.
#pragma once

#include <optional>
#include <type_traits>
#include <vector>

#include "quellostrin/search/best_first.hpp"
#include "quellostrin/search/frontier.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/state.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {
namespace detail {

// A Graph as the best-first loop walks it: successors copied into a reused
// list, the node store asked to start loading theirs before they are
// relaxed, and each successor its own hint for the heuristic.
template <Graph G, class H, class Store, bool kSkip>
struct GraphDomain {
  using Node = NodeOf<G>;
  // A pure heuristic is not asked when the open list ignores priorities.
  static constexpr bool kSkipEstimate = kSkip;
  const G& graph;
  const H& heuristic;
  const Node& goal;
  Store& store;
  SuccessorList<Node>& buffer;

  const Node& node(const Node& n) const { return n; }
  double estimate(const Node& n) const { return heuristic.estimate(n, goal); }
  double path_cost(const std::vector<Node>& path) const { return quellostrin::path_cost(graph, path); }

  template <class Open>
  void prefetch(const Open& open, const Store& /*store*/, const Node& /*p*/) const {
    if (const Node* next = open.peek()) quellostrin::prefetch(graph, *next);
  }

  template <class F>
  void for_each_successor(const Node& p, F&& f) const {
    buffer.clear();
    graph.neighbors_into(p, buffer);
    if constexpr (requires { store.prefetch(p); }) {
      for (const auto& entry : buffer) store.prefetch(entry.first);
    }
    for (auto& [succ, w] : buffer) f(succ, w, succ);
  }
};

// The loop over one concrete store and open list of type F.
template <class F, Graph G, class H, class Store>
SearchResult<NodeOf<G>> frontier_loop(const G& graph, Store& store, const NodeOf<G>& start,
                                      const NodeOf<G>& goal, const AlgorithmKind& kind, const H& heuristic,
                                      const SearchOptions& options, MemoryAccount& memory) {
  using Node = NodeOf<G>;
  constexpr bool kSkip = is_pure_heuristic<H>() && !std::is_same_v<F, PriorityQueue<Node>>;
  SuccessorList<Node> buffer;
  const GraphDomain<G, H, Store, kSkip> domain{graph, heuristic, goal, store, buffer};
  F open(&memory);
  const double start_estimate = kSkip ? 0.0 : heuristic.estimate(start, goal);
  return best_first(domain, store, open, start, goal, start_estimate, kind, options, memory);
}

template <class F, Graph G, class H>
SearchResult<NodeOf<G>> run_frontier(const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                                     const AlgorithmKind& kind, const H& heuristic, const SearchOptions& options) {
  MemoryAccount memory(options.max_memory);
  std::optional<NodeState<G>> state;
  try {
    state.emplace(graph, start, options.dense, &memory);
  } catch (const MemoryRefused& refused) {  // the store's first tables: nothing expanded yet
    return refused_memory<NodeOf<G>>(refused, 0, 0, 0, {});
  }
  return state->visit([&](auto& store) {
    return frontier_loop<F>(graph, store, start, goal, kind, heuristic, options, memory);
  });
}

}  // namespace detail

template <Graph G, Heuristic<NodeOf<G>> H>
SearchResult<NodeOf<G>> search_with_options(const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                                            const AlgorithmKind& kind, const H& heuristic,
                                            const SearchOptions& options) {
  using Node = NodeOf<G>;
  const auto t0 = Clock::now();
  SearchResult<Node> result;
  switch (kind.frontier) {
    case FrontierKind::Fifo:
      result = detail::run_frontier<Fifo<Node>>(graph, start, goal, kind, heuristic, options);
      break;
    case FrontierKind::Lifo:
      result = detail::run_frontier<Lifo<Node>>(graph, start, goal, kind, heuristic, options);
      break;
    case FrontierKind::PriorityQueue:
      result = detail::run_frontier<PriorityQueue<Node>>(graph, start, goal, kind, heuristic, options);
      break;
  }
  result.elapsed = since(t0);
  return result;
}

}  // namespace quellostrin
