// The best-first loop: breadth-first, depth-first, uniform-cost, Dijkstra,
// greedy best-first, A* and weighted A* over any domain, node store and open
// list. Three parts, each a type known at compile time, so the loop is
// compiled once per combination with nothing called through a pointer:
//
// The domain (what is searched):
//   using Node;                        the node type of the results
//   Node node(const Key&) const;       the node behind a key
//   void for_each_successor(const Key& p, F&& f);
//                                      calls f(q, w, hint) for each successor
//                                      q of p, in the domain's order, w the
//                                      cost of the move, hint what estimate
//                                      reads (the node itself, or its cell)
//   double estimate(const Hint&) const;   the heuristic of a successor
//   static constexpr bool kSkipEstimate;  true: the estimate is not needed
//                                      (a pure heuristic under a queue that
//                                      ignores priorities)
//   double path_cost(const std::vector<Node>&) const;   reopening only
//   void prefetch(const Open&, const Store&, const Key& p) const;
//                                      optional hints before p's successors
//                                      are taken
// The node store (what is known of each node; state.hpp, indexed_search.hpp):
//   using Key;                         what the store and open list hold
//   static constexpr bool kCanReopen;  false: reopen is never asked of it
//   void reach(const Key& start);      the start, cost 0, no parent
//   std::optional<double> close(const Key&);   its cost, or nothing if it was
//                                      closed already
//   Relaxed relax(const Key& q, const Key& p, double g, bool reopen);
//   std::vector<Key> path_to(const Key&) const;
//   const Key* parent(const Key&) const;
//   reached_count, hops, set_hops      reopening only
// The open list (frontier.hpp, indexed_search.hpp): push(Key, priority, seq),
//   seq numbering the pushes from 0 (the start's), pop() -> optional<Key>,
//   peek() -> pointer-like or empty, len().
//
// The rules, on which the counters depend:
// - the goal test happens when a node is popped, not when it is generated;
// - duplicate open-list entries stay in the queue and are turned away by the
//   node store when popped (a node is expanded once per time it is opened);
// - a successor is pushed only when it is new or its cost strictly drops; a
//   closed node is reopened only when reopening is on;
// - with reopening on, a negative-cost cycle reachable from the start would
//   lower the same costs forever, so the loop proves one and throws
//   InputError instead (see kNegativeCycle), and the cost reported is the
//   returned path's own (`path_cost`), not the goal's label;
// - the node limit and the stop hook (stop.hpp) are checked after the goal
//   test, so at least one node is always expanded and a goal expanded as the
//   last allowed node is found;
// - the store, the open list and the recording charge each growth of their
//   tables to the search's MemoryAccount (memory.hpp); a refused growth ends
//   the search there, with stop reason "memory_limit" under the caller's cap,
//   or OutOfMemory for the process's memory (refused_memory in stop.hpp);
// - the heuristic is called exactly once per push (the start's included, by
//   the caller, which passes its estimate in), unless kSkipEstimate;
// - `nodes_generated` counts the pushes, the start's included.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/state.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/traits.hpp"
#include "quellostrin/search/workspace.hpp"

namespace quellostrin {

struct SearchOptions {
  std::optional<std::uint64_t> max_nodes;
  std::optional<std::uint64_t> max_memory;  // bytes the search's tables may hold
  bool record = false;
  bool reopen = false;
  bool dense = false;  // use the dense store when the domain indexes the start
  StopHook stop;       // polled as stop.hpp describes
  // Memory the searches over indexed domains (grid_search, csr_search) may
  // borrow instead of allocating their own; null: they allocate.
  Workspace* workspace = nullptr;
};

namespace detail {

// Without a negative cycle every cost label is the cost of a simple path: a
// walk that visits a node twice only improves the node's label the second
// time if the cycle between the visits costs less than zero. So the loop
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

// A store or open list that is a view (kView: a few pointers into memory it
// does not own) is worked on as a copy local to the loop, whose fields the
// compiler can then keep in registers across the loop's writes to memory.
template <class T>
using LoopLocal = std::conditional_t<requires { requires T::kView; }, T, T&>;

// `memory` is the account the store and the open list charge their growths
// to; the loop charges the recording's to it too.
template <class Domain, class Store, class Open>
SearchResult<typename Domain::Node> best_first(const Domain& domain, Store& store_in, Open& open_in,
                                               const typename Store::Key& start, const typename Store::Key& goal,
                                               double start_estimate, const AlgorithmKind& kind,
                                               const SearchOptions& options, MemoryAccount& memory) {
  using Node = typename Domain::Node;
  using Key = typename Store::Key;
  LoopLocal<Store> store = store_in;
  LoopLocal<Open> open = open_in;
  // Locals, so that the loop need not read them again after every store (a
  // store's byte-wide flags may alias anything).
  const bool reopen = Store::kCanReopen && options.reopen;
  const bool record = options.record;
  const double g_weight = kind.g_weight, h_weight = kind.h_weight;

  std::vector<Key> discovered;
  SearchResult<Node> result;
  std::uint64_t expanded = 0, generated = 1, max_frontier = 1, reopened = 0;
  StopGate gate(Limits{options.max_nodes, options.stop, options.max_memory});

  result.stop_reason = StopReason::Exhausted;
  try {
    store.reach(start);
    open.push(start, Domain::kSkipEstimate ? 0.0 : g_weight * 0.0 + h_weight * start_estimate, 0);

    while (auto popped = open.pop()) {
      const Key p = std::move(*popped);
      const auto closed_g = store.close(p);
      if (!closed_g) continue;  // stale duplicate of a node expanded already
      const double gp = *closed_g;
      [[maybe_unused]] std::uint64_t hops = 0;
      if constexpr (Store::kCanReopen) hops = reopen ? store.hops(p) + 1 : 0;
      if (record) push_charged(result.trace, TraceStep<Node>{domain.node(p), gp, open.len()}, &memory);
      ++expanded;
      if (p == goal) {
        result.stop_reason = StopReason::Goal;
        std::vector<Key> keys = store.path_to(p);
        // The parent links form a tree unless a negative cycle has looped them,
        // which can happen before the edge counts prove that cycle: a chain
        // that misses the start is a loop of strict improvements, a negative
        // cycle reachable from the start.
        if (reopen && !(keys.front() == start)) throw InputError(kNegativeCycle);
        std::vector<Node> path;
        if constexpr (std::is_same_v<Key, Node>) {
          path = std::move(keys);
        } else {
          path.reserve(keys.size());
          for (const Key& k : keys) path.push_back(domain.node(k));
        }
        // Reopening may re-parent an ancestor of the goal onto a cheaper route
        // after the goal's label was set, so the label can be the cost of a
        // walk that is no longer the path: report the path's own cost.
        if constexpr (Store::kCanReopen) {
          result.cost = reopen ? domain.path_cost(path) : gp;
        } else {
          result.cost = gp;
        }
        result.path = std::move(path);
        break;
      }
      if (gate(expanded)) {
        result.stop_reason = gate.reason();
        break;
      }
      if constexpr (requires { domain.prefetch(open, store, p); }) domain.prefetch(open, store, p);
      // One successor `q`, reached by a move costing `w`. Inlined at each use:
      // a call would cost more than the common case, a successor reached
      // already.
      domain.for_each_successor(p, [&](auto&& q, double w, const auto& hint) __attribute__((always_inline)) {
        const double new_g = gp + w;
        switch (store.relax(q, p, new_g, reopen)) {
          case Relaxed::Skipped:
            return;
          case Relaxed::Discovered:
            if (record) push_charged(discovered, q, &memory);
            break;
          case Relaxed::Reopened:
            ++reopened;
            break;
          case Relaxed::Improved:
            break;
        }
        if constexpr (Store::kCanReopen) {
          if (reopen) {
            if (hops >= store.reached_count()) throw InputError(kNegativeCycle);
            if (new_g == -std::numeric_limits<double>::infinity()) throw InputError(kMinusInfinity);
            store.set_hops(q, hops);
          }
        }
        double priority = new_g;
        if constexpr (!Domain::kSkipEstimate) priority = g_weight * new_g + h_weight * domain.estimate(hint);
        open.push(std::move(q), priority, generated++);
        max_frontier = std::max<std::uint64_t>(max_frontier, open.len());
      });
    }
  } catch (const MemoryRefused& refused) {
    std::vector<TraceStep<Node>> trace = std::move(result.trace);
    result = refused_memory(refused, expanded, generated, max_frontier, std::move(trace));
  }

  if (record) {
    result.tree.reserve(discovered.size());
    for (const Key& q : discovered) {
      if (const Key* parent = store.parent(q)) result.tree.emplace_back(domain.node(*parent), domain.node(q));
    }
  }
  result.nodes_expanded = expanded;
  result.nodes_generated = generated;
  result.max_frontier_size = max_frontier;
  result.nodes_reopened = reopened;
  return result;
}

}  // namespace detail
}  // namespace quellostrin
