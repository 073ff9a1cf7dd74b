// Bidirectional breadth-first search: one side grows from the start, the other
// from the goal, a whole layer at a time, always on the side whose current
// layer is smaller (the forward side on ties, the first layer included), until
// a layer discovers nodes that the other side already knows.
//
// Rules it keeps:
// - the start side follows successors; the goal side follows predecessors
//   where the domain lists them (`knows_predecessors`: directed explicit
//   graphs, word ladders, implicit graphs given a predecessor function), and
//   otherwise successors too, taking them for predecessors. Either way a
//   joined path is a walk with the fewest edges when the domain lists its
//   predecessors or is symmetric (undirected graphs, grids, puzzles);
// - a joined path that is not a walk of the domain (its second half runs
//   against an edge, which can happen only where successors were taken for
//   predecessors) is never reported: it is dropped, and its meeting node joins
//   the next layer of the side that found it, so that the search goes on
//   through it. A layer whose joined paths are all dropped met nothing;
// - each side's parent map records every node that side discovered, mapped to
//   the node whose expansion discovered it; a side's root maps to itself. A
//   node enters each map at most once, so it can become a meeting node only
//   when the second side first discovers it, and it never enters a layer;
// - the whole layer is expanded even after the first meeting node. Of the
//   joined paths, in discovery order of their meeting nodes, the first is kept
//   unless a later one costs strictly less, or the kept one costs NaN: ties
//   keep the earlier, and a NaN cost never displaces a real one;
// - edge costs matter only for choosing among meeting nodes and for the
//   reported cost, never for the search itself;
// - `nodes_expanded` counts nodes taken from layers, `nodes_generated` the
//   start, the goal and every entry into either parent map, and
//   `max_frontier_size` the largest single layer (at least 2), not updated by
//   the layer that met; trace steps have g absent and, as frontier size, the
//   size of the next layer gathered so far;
// - the node limit is tested a layer at a time: after a layer that met
//   nothing, before the next layer's size counts toward `max_frontier_size`,
//   so a layer that crosses the limit is finished and its meeting nodes are
//   found. The stop hook (stop.hpp) is polled per node, before that node's
//   successors are taken, with the nodes expanded so far. A stopped search
//   reports "node_limit" or "cancelled" with counters and trace as they stand,
//   as does one whose tables would grow past its memory cap ("memory_limit");
// - no reopening (`nodes_reopened` 0), no search tree; otherwise the stop
//   reason is "goal" or "exhausted".
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/hash.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

// The path from the start to the goal through `meeting`: its forward parents
// back to the start, reversed, then its backward parents on to the goal. The
// walks stop at a node with no entry or one that maps to itself (a root).
template <class Node, class Hash>
std::vector<Node> join(const FlatMap<Node, Node, Hash>& forward, const FlatMap<Node, Node, Hash>& backward,
                       const Node& meeting) {
  std::vector<Node> path{meeting};
  for (const Node* cur = &meeting;;) {
    const Node* p = forward.find(*cur);
    if (p == nullptr || *p == *cur) break;
    path.push_back(*p);
    cur = p;
  }
  std::reverse(path.begin(), path.end());
  for (const Node* cur = &meeting;;) {
    const Node* p = backward.find(*cur);
    if (p == nullptr || *p == *cur) break;
    path.push_back(*p);
    cur = p;
  }
  return path;
}

namespace detail {

template <Graph G>
SearchResult<NodeOf<G>> bidirectional_inner(const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                                            bool record, const Limits& limits) {
  using Node = NodeOf<G>;
  if (start == goal) return solved(graph, std::vector<Node>{start}, 0, 1, 1, {});

  MemoryAccount memory(limits.max_memory);
  FlatMap<Node, Node> forward_parent, backward_parent;
  forward_parent.set_account(&memory);
  backward_parent.set_account(&memory);
  std::vector<Node> forward_layer{start}, backward_layer{goal};
  std::vector<Node> next, meetings;
  SuccessorList<Node> successors;
  std::vector<TraceStep<Node>> trace;
  std::uint64_t expanded = 0, generated = 2, max_frontier = 2;
  StopGate gate(limits);
  const bool backward_by_predecessors = knows_predecessors(graph);

  try {
    forward_parent.insert_or_assign(start, start);
    backward_parent.insert_or_assign(goal, goal);

    while (!forward_layer.empty() && !backward_layer.empty()) {
      const bool forward = forward_layer.size() <= backward_layer.size();
      auto& own = forward ? forward_parent : backward_parent;
      const auto& other = forward ? backward_parent : forward_parent;
      auto& layer = forward ? forward_layer : backward_layer;

      next.clear();
      meetings.clear();
      for (const Node& node : layer) {
        if (record) push_charged(trace, TraceStep<Node>{node, std::nullopt, next.size()}, &memory);
        ++expanded;
        if (gate.cancelled(expanded)) {
          return stopped_early(gate.reason(), expanded, generated, max_frontier, std::move(trace));
        }
        successors.clear();
        if (forward || !backward_by_predecessors) {
          graph.neighbors_into(node, successors);
        } else {
          predecessors_into(graph, node, successors);
        }
        for (const auto& [succ, cost] : successors) {  // costs play no part in the search
          auto [slot, fresh] = own.try_emplace(succ);
          if (!fresh) continue;
          *slot = node;
          ++generated;
          auto& into = other.contains(succ) ? meetings : next;
          room_for_one(into, &memory);
          into.push_back(succ);
        }
      }

      std::optional<std::vector<Node>> best;
      double best_cost = 0.0;
      for (const Node& meeting : meetings) {
        std::vector<Node> path = join(forward_parent, backward_parent, meeting);
        const std::optional<double> cost = walk_cost(graph, path);
        if (!cost) {
          next.push_back(meeting);  // not a walk: search on through it
          continue;
        }
        if (!best || std::isnan(best_cost) || *cost < best_cost) {
          best = std::move(path);
          best_cost = *cost;
        }
      }
      if (best) return found_at(std::move(*best), best_cost, expanded, generated, max_frontier, std::move(trace));

      if (gate.limit_reached(expanded)) {
        return stopped_early(gate.reason(), expanded, generated, max_frontier, std::move(trace));
      }
      max_frontier = std::max<std::uint64_t>(max_frontier, next.size());
      layer.swap(next);
    }
  } catch (const MemoryRefused& refused) {
    return refused_memory(refused, expanded, generated, max_frontier, std::move(trace));
  }
  return not_found(expanded, generated, max_frontier, std::move(trace));
}

}  // namespace detail

// Bidirectional breadth-first search from `start` to `goal`.
template <Graph G>
SearchResult<NodeOf<G>> bidirectional(const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal, bool record,
                                      const Limits& limits = {}) {
  return timed([&] { return detail::bidirectional_inner(graph, start, goal, record, limits); });
}

}  // namespace quellostrin
