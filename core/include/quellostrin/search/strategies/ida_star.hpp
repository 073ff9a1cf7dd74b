// IDA*: depth-first passes bounded by f = g + estimate(node, goal), each bound
// the smallest f that the previous pass pruned.
//
// It walks like depth-limited search (explicit stack, cycles cut only along
// the current path, successors fetched once per frame) and shares its result
// rules: no reopening, no search tree, stop reason "goal" or "exhausted", one
// trace step per expansion with g present and the depth as the frontier size.
// The node limit and the stop hook (stop.hpp) are asked after the goal test of
// every expansion, before its successors are fetched, with the count summed
// over all passes; a stopped search reports "node_limit" or "cancelled", or
// "memory_limit" when its stack or trace would grow past its memory cap.
//
// Rules of a pass with bound B:
// - f is computed for every node visited, the goal included, by one call of
//   `estimate`; a node with f > B is pruned (not expanded, not traced). The
//   comparison is strict, so f == B is expanded, and a NaN f is never pruned;
// - each frame keeps the smallest f pruned below it (`min_f`); a popped frame
//   hands its `min_f` to its parent, and the bottom frame's value is the next
//   bound. NaN never wins a minimum; +infinity means nothing was pruned.
// The first bound is estimate(start, goal). The search stops with "exhausted"
// when a pass returns an infinite bound (of either sign). Each new bound is
// strictly larger than the last, and a finite graph has finitely many simple
// paths, so zero-cost cycles and unreachable goals cannot trap it.
//
// Counters run on across passes: every expansion of every pass counts; the
// start counts once as generated, plus every accepted child of every pass,
// pruned or not; `max_frontier_size` is the deepest stack of any pass.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <variant>
#include <vector>

#include "quellostrin/search/result.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/strategies/dls.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

// One entry of the stack of an IDA* pass.
template <class Node>
struct IdaFrame {
  Node node{};
  double g = 0.0;
  SuccessorList<Node> successors;
  std::size_t next = 0;
  double min_f = std::numeric_limits<double>::infinity();  // smallest f pruned below this frame in this pass
};

// The trace and counters of one `ida_star` call, shared by all its passes.
template <class Node>
struct IdaTotals {
  std::vector<TraceStep<Node>> trace;
  std::uint64_t expanded = 0;
  std::uint64_t generated = 1;  // the start, once for the whole search
  std::uint64_t max_frontier = 1;
  MemoryAccount* memory = nullptr;  // what the stack and the trace charge their growths to
};

// What a pass ends with: the path found, the bound for the next pass, the
// reason the stop gate gave for ending the search, or the growth the memory
// account refused.
template <class Node>
using IdaOutcome = std::variant<std::vector<Node>, double, StopReason, MemoryRefused>;

namespace detail {

// The smaller of the two, where a NaN operand is ignored and the other taken.
inline double min_ignoring_nan(double a, double b) {
  if (std::isnan(a)) return b;
  if (std::isnan(b)) return a;
  return b < a ? b : a;
}

}  // namespace detail

// One depth-first pass with the fixed f bound `bound`.
template <Graph G, Heuristic<NodeOf<G>> H>
IdaOutcome<NodeOf<G>> ida_pass(const G& graph, const H& heuristic, const NodeOf<G>& start, const NodeOf<G>& goal,
                               double bound, bool record, IdaTotals<NodeOf<G>>& totals, StopGate& gate) {
  using Node = NodeOf<G>;
  using Frame = IdaFrame<Node>;
  detail::PathStack<Frame, Node> stack(totals.memory);
  Node node = start;
  double g = 0.0;
  double cost = 0.0;
  double next_bound = std::numeric_limits<double>::infinity();
  // Carries a popped frame's `min_f` to its parent; the last frame's becomes the next bound.
  auto hand_up = [&](const Frame& popped, Frame* parent) {
    if (parent == nullptr) {
      next_bound = popped.min_f;
    } else {
      parent->min_f = detail::min_ignoring_nan(parent->min_f, popped.min_f);
    }
  };
  try {
    for (;;) {
      const double f = g + heuristic.estimate(node, goal);
      if (f > bound) {
        if (stack.empty()) return f;  // the start itself is pruned
        stack.top().min_f = detail::min_ignoring_nan(stack.top().min_f, f);
      } else {
        if (record) push_charged(totals.trace, TraceStep<Node>{node, g, stack.depth()}, totals.memory);
        ++totals.expanded;
        if (node == goal) return stack.path_to(node);
        if (gate(totals.expanded)) return gate.reason();
        Frame& fr = stack.push(std::move(node));
        fr.g = g;
        fr.min_f = std::numeric_limits<double>::infinity();
        graph.neighbors_into(fr.node, fr.successors);
        totals.max_frontier = std::max<std::uint64_t>(totals.max_frontier, stack.depth());
      }
      if (!detail::next_child(stack, node, cost, hand_up)) return next_bound;
      ++totals.generated;
      g = stack.top().g + cost;
    }
  } catch (const MemoryRefused& refused) {
    return refused;
  }
}

// IDA* from `start` to `goal` under `heuristic`.
template <Graph G, Heuristic<NodeOf<G>> H>
SearchResult<NodeOf<G>> ida_star(const G& graph, const H& heuristic, const NodeOf<G>& start, const NodeOf<G>& goal,
                                 bool record, const Limits& limits = {}) {
  using Node = NodeOf<G>;
  return timed([&] {
    MemoryAccount memory(limits.max_memory);
    IdaTotals<Node> totals{.memory = &memory};
    StopGate gate(limits);
    double bound = heuristic.estimate(start, goal);
    for (;;) {
      auto outcome = ida_pass(graph, heuristic, start, goal, bound, record, totals, gate);
      if (auto* path = std::get_if<std::vector<Node>>(&outcome)) {
        return solved(graph, std::move(*path), totals.expanded, totals.generated, totals.max_frontier,
                      std::move(totals.trace));
      }
      if (auto* refused = std::get_if<MemoryRefused>(&outcome)) {
        return refused_memory(*refused, totals.expanded, totals.generated, totals.max_frontier,
                              std::move(totals.trace));
      }
      if (auto* reason = std::get_if<StopReason>(&outcome)) {
        return stopped_early(*reason, totals.expanded, totals.generated, totals.max_frontier, std::move(totals.trace));
      }
      bound = std::get<double>(outcome);
      if (std::isinf(bound)) {
        return not_found(totals.expanded, totals.generated, totals.max_frontier, std::move(totals.trace));
      }
    }
  });
}

}  // namespace quellostrin
