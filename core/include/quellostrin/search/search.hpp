// The frontier search driver: breadth-first, depth-first, uniform-cost,
// Dijkstra, greedy best-first, A* and weighted A* on one loop.
//
// The algorithm is data (an AlgorithmKind): the frontier discipline and the
// two weights of priority = g_weight * g + h_weight * h. The loop rules:
// - the goal test happens when a node is popped, not when it is generated;
// - duplicate frontier entries stay in the queue and are turned away by the
//   node store when popped (a node is expanded once per time it is opened);
// - a successor is pushed only when it is new or its cost strictly drops; a
//   closed node is reopened only when reopening is on;
// - with reopening on, a negative-cost cycle reachable from the start would
//   lower the same costs forever, so the loop proves one and throws
//   InputError instead (see kNegativeCycle below), and the cost reported is
//   the returned path's own (`path_cost`), not the goal's label;
// - the node limit and the stop hook (stop.hpp) are checked after the goal
//   test, so at least one node is always expanded and a goal expanded as the
//   last allowed node is found;
// - the heuristic is called exactly once per push (the start's included),
//   except that a pure heuristic is skipped when the frontier ignores priorities.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/search/frontier.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/state.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/traits.hpp"
#include "quellostrin/search/workspace.hpp"

namespace quellostrin {

struct SearchOptions {
  std::optional<std::uint64_t> max_nodes;
  bool record = false;
  bool reopen = false;
  bool dense = false;  // use the dense store when the domain indexes the start
  StopHook stop;       // polled as stop.hpp describes
  // Memory the specialised loops (grid_search, csr_search) may borrow
  // instead of allocating their own; null: they allocate. The general
  // driver does not use it.
  Workspace* workspace = nullptr;
};

namespace detail {

// Without a negative cycle every cost label is the cost of a simple path: a
// walk that visits a node twice only improves the node's label the second
// time if the cycle between the visits costs less than zero. So the driver
// keeps, beside each label, the number of edges on the walk behind it; a
// label whose walk has at least as many edges as there are reached nodes
// repeats a node, and proves a negative cycle. Only searches that reopen can
// improve a label around a cycle, so only they count.
inline constexpr const char* kNegativeCycle =
    "negative cycle reachable from start: this search cannot end; use bellman_ford to find it";
// A label of -inf never drops again, so round a negative cycle through it the
// edge counts would stop growing, with the parent links already a loop: a
// reopening search refuses such a cost instead.
inline constexpr const char* kMinusInfinity =
    "a path of cost -inf is reachable from start: a search with reopen=True needs costs above -inf";

template <class F, Graph G, class H, class Store>
SearchResult<NodeOf<G>> frontier_loop(const G& graph, Store& store, const NodeOf<G>& start,
                                      const NodeOf<G>& goal, const AlgorithmKind& kind, const H& heuristic,
                                      const SearchOptions& options) {
  using Node = NodeOf<G>;
  constexpr bool kSkipEstimate =
      is_pure_heuristic<H>() && !std::is_same_v<F, PriorityQueue<Node>>;
  auto priority = [&](double g, const Node& node) {
    if constexpr (kSkipEstimate) {
      return g;
    } else {
      const double h = heuristic.estimate(node, goal);
      return kind.g_weight * g + kind.h_weight * h;
    }
  };

  F frontier;
  SuccessorList<Node> buffer;
  std::vector<Node> discovered;
  SearchResult<Node> result;
  std::uint64_t expanded = 0, generated = 1, max_frontier = 1, reopened = 0;
  StopGate gate(Limits{options.max_nodes, options.stop});
  // A local, so that the loop need not read it again after every store (the
  // node store's byte-wide flags may alias anything).
  const bool reopen = options.reopen;

  store.reach(start, nullptr, 0.0);
  frontier.push(start, priority(0.0, start));

  result.stop_reason = StopReason::Exhausted;
  while (auto popped = frontier.pop()) {
    Node node = std::move(*popped);
    const auto closed_g = store.close(node);
    if (!closed_g) continue;  // stale duplicate of a node expanded already
    const double g = *closed_g;
    const std::uint64_t hops = reopen ? store.hops(node) + 1 : 0;
    if (options.record) result.trace.push_back(TraceStep<Node>{node, g, frontier.len()});
    ++expanded;
    if (node == goal) {
      result.stop_reason = StopReason::Goal;
      result.path = path_to(store, goal);
      // The parent links form a tree unless a negative cycle has looped them,
      // which can happen before the edge counts prove that cycle: a chain
      // that misses the start is a loop of strict improvements, a negative
      // cycle reachable from the start.
      if (reopen && !(result.path->front() == start)) throw InputError(kNegativeCycle);
      // Reopening may re-parent an ancestor of the goal onto a cheaper route
      // after the goal's label was set, so the label can be the cost of a
      // walk that is no longer the path: report the path's own cost.
      result.cost = reopen ? path_cost(graph, *result.path) : g;
      break;
    }
    if (gate(expanded)) {
      result.stop_reason = gate.reason();
      break;
    }
    if (const Node* next = frontier.peek()) prefetch(graph, *next);
    buffer.clear();
    graph.neighbors_into(node, buffer);
    if constexpr (requires { store.prefetch(node); }) {
      for (const auto& entry : buffer) store.prefetch(entry.first);
    }
    for (auto& [succ, w] : buffer) {
      const double new_g = g + w;
      switch (store.relax(succ, node, new_g, reopen)) {
        case Relaxed::Skipped:
          continue;
        case Relaxed::Discovered:
          if (options.record) discovered.push_back(succ);
          break;
        case Relaxed::Reopened:
          ++reopened;
          break;
        case Relaxed::Improved:
          break;
      }
      if (reopen) {
        if (hops >= store.reached_count()) throw InputError(kNegativeCycle);
        if (new_g == -std::numeric_limits<double>::infinity()) throw InputError(kMinusInfinity);
        store.set_hops(succ, hops);
      }
      const double p = priority(new_g, succ);
      frontier.push(std::move(succ), p);
      ++generated;
      max_frontier = std::max<std::uint64_t>(max_frontier, frontier.len());
    }
  }

  if (options.record) result.tree = tree_edges(store, discovered);
  result.nodes_expanded = expanded;
  result.nodes_generated = generated;
  result.max_frontier_size = max_frontier;
  result.nodes_reopened = reopened;
  return result;
}

template <class F, Graph G, class H>
SearchResult<NodeOf<G>> run_frontier(const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                                     const AlgorithmKind& kind, const H& heuristic, const SearchOptions& options) {
  NodeState<G> state(graph, start, options.dense);
  return state.visit([&](auto& store) {
    return frontier_loop<F>(graph, store, start, goal, kind, heuristic, options);
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
