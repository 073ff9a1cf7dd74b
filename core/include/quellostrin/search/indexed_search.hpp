// The best-first loop of the specialised searches (domains/csr_search.hpp,
// domains/grid_search.hpp): the priority-queue algorithms of the general driver
// (search.hpp), without reopening, over a domain whose nodes are 32-bit
// indices into a Workspace (workspace.hpp) and whose frontier is the packed
// 4-ary heap (packed_heap.hpp). One loop for every such domain, which a
// policy describes at compile time:
//
//   using Node;                          the node type of the results
//   Node node(std::uint32_t i) const;    the node at index i
//   double estimate(const Hint& h) const;   the heuristic of a successor,
//                                        from what for_each_successor hands
//                                        over with it (its cell, its index)
//   template <class F>
//   void for_each_successor(std::uint32_t p, F&& relax) const;
//                                        calls relax(q, w, hint) for each
//                                        successor q of p, in the domain's
//                                        order, w the cost of the move
//   void prefetch(std::uint32_t next, Workspace&, std::uint32_t p) const;
//                                        optional hints before p's successors
//                                        are taken, next the index that will
//                                        probably be expanded after p (p
//                                        itself when none is waiting)
//
// Rules kept from the general driver, on which the counters depend: the goal
// test on pop; stale heap entries skipped on pop; a successor pushed only
// when new or strictly cheaper, never when closed; successors in the domain's
// order; the heuristic called once per push (the start's included); the stop
// gate asked after the goal test; `nodes_generated` counting the pushes, which
// also number the pushes as the general frontier does; trace and tree as the
// general driver records them. The heap orders entries by (priority, push
// sequence), the general frontier's order and, with no NaN priority, a total
// order, so any correct heap pops the same entries in the same order. The
// callers refuse any search in which a priority could be NaN.
#pragma once

#include <algorithm>
#include <cmath>
#include <limits>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/search/packed_heap.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/search.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/workspace.hpp"

namespace quellostrin::detail {

// What a domain knows of its move costs when it is built.
struct MoveCosts {
  double least;    // the smallest move cost (+inf: no move)
  double largest;  // the largest magnitude of a move cost
  bool nan;        // whether some move costs NaN
};

// The rule deciding whether the indexed loop may run a search: whether no
// priority g_weight * g + h_weight * h can be NaN, the heap having no place
// for one. It holds for a search without reopening, whose labels are sums of
// fewer than `count` moves, and a heuristic whose values are finite and not
// negative (the zero and the grid heuristics). A label is the start's 0.0 or
// a closed node's label plus one move. With no move NaN or negative, every
// label is in [0, +inf]; a positive g_weight keeps g_weight * g there, and a
// non-negative h_weight keeps h_weight * h in [0, +inf], so no sum is
// inf - inf. Otherwise (a negative move could meet a label of +inf, greedy's
// 0 * g could meet one, h_weight * h could be -inf) the labels must stay
// finite: with every |move| below max / (4 * (count + 1)) none comes near the
// largest double.
inline bool priorities_are_numbers(const AlgorithmKind& kind, const MoveCosts& moves, std::uint64_t count) {
  if (!std::isfinite(kind.h_weight) || !(kind.g_weight >= 0.0 && kind.g_weight <= 1.0) || moves.nan) return false;
  if (kind.g_weight > 0.0 && kind.h_weight >= 0.0 && moves.least >= 0.0) return true;
  return moves.largest <= std::numeric_limits<double>::max() / (4.0 * (static_cast<double>(count) + 1.0));
}

template <class Policy>
SearchResult<typename Policy::Node> indexed_best_first(const Policy& domain, std::size_t index_space,
                                                       std::uint32_t start, std::uint32_t goal,
                                                       double start_estimate, const AlgorithmKind& kind,
                                                       const SearchOptions& options) {
  using Node = typename Policy::Node;
  // The search's memory: the caller's workspace, or one of its own.
  std::optional<Workspace> own;
  Workspace& ws = options.workspace ? *options.workspace : own.emplace();
  ws.begin(index_space);
  std::uint16_t* const marks = ws.marks();
  const std::uint16_t reached = ws.reached(), closed = ws.closed();
  double* const g = ws.labels();
  std::uint32_t* const parent = ws.parents();
  const double g_weight = kind.g_weight, h_weight = kind.h_weight;
  const bool record = options.record;

  QuadHeap& frontier = ws.heap();
  std::vector<std::uint32_t>& discovered = ws.discovered();
  SearchResult<Node> result;
  std::uint64_t expanded = 0, generated = 0, max_frontier = 1;
  StopGate gate(Limits{options.max_nodes, options.stop});

  marks[start] = reached;
  g[start] = 0.0;
  parent[start] = start;  // the path walk stops at the start
  frontier.push(packed_entry(g_weight * 0.0 + h_weight * start_estimate, generated++, start));

  result.stop_reason = StopReason::Exhausted;
  while (!frontier.empty()) {
    const std::uint32_t p = packed_index(frontier.pop());
    if (marks[p] == closed) continue;  // stale duplicate of a node expanded already
    marks[p] = closed;
    const double gp = g[p];
    if (record) result.trace.push_back(TraceStep<Node>{domain.node(p), gp, frontier.size()});
    ++expanded;
    if (p == goal) {
      result.stop_reason = StopReason::Goal;
      std::vector<Node> path{domain.node(p)};
      for (std::uint32_t q = p; q != start; q = parent[q]) path.push_back(domain.node(parent[q]));
      std::reverse(path.begin(), path.end());
      result.path = std::move(path);
      result.cost = gp;
      break;
    }
    if (gate(expanded)) {
      result.stop_reason = gate.reason();
      break;
    }
    if constexpr (requires(Workspace& w, std::uint32_t i) { domain.prefetch(i, w, i); }) {
      domain.prefetch(frontier.empty() ? p : packed_index(frontier.top()), ws, p);
    }
    // The general driver's relaxation of one successor `q`, reached by a move
    // costing `w`. Inlined at each use: a call would cost more than the
    // common case, a successor reached already.
    domain.for_each_successor(p, [&](std::uint32_t q, double w, const auto& hint) __attribute__((always_inline)) {
      const std::uint16_t m = marks[q];
      const double new_g = gp + w;
      if (m >= reached) {
        if (m == closed || !(new_g < g[q])) return;
      } else {
        marks[q] = reached;
        if (record) discovered.push_back(q);
      }
      g[q] = new_g;
      parent[q] = p;
      frontier.push(packed_entry(g_weight * new_g + h_weight * domain.estimate(hint), generated++, q));
      max_frontier = std::max<std::uint64_t>(max_frontier, frontier.size());
    });
  }

  if (record) {
    result.tree.reserve(discovered.size());
    for (const std::uint32_t q : discovered) result.tree.emplace_back(domain.node(parent[q]), domain.node(q));
  }
  result.nodes_expanded = expanded;
  result.nodes_generated = generated;
  result.max_frontier_size = max_frontier;
  return result;
}

}  // namespace quellostrin::detail
