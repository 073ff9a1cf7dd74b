// Beam search: a layered search that keeps, of each new layer, only the
// `beam_width` nodes with the smallest heuristic estimate.
//
// Rules it keeps:
// - a node is discovered at most once: the first node to list it as a
//   successor becomes its parent, and once discovered it is never discovered
//   again, whether or not it survived the cut (so a goal reachable only
//   through cut nodes is never found);
// - the ranking key is `estimate(child, goal)` alone, computed once when the
//   child is discovered; the start is never estimated. g only travels along
//   for the trace;
// - the goal is recognised when it is expanded, so it must first survive the
//   cut, and the nodes ahead of it in its layer are expanded before it;
// - `nodes_expanded` counts nodes taken from layers, `nodes_generated` the
//   start and every node discovered (cut ones included), `max_frontier_size`
//   the largest layer after the cut (at least 1); a trace step's frontier size
//   is the number of candidates gathered for the next layer so far;
// - the node limit and the stop hook (stop.hpp) are asked after each node's
//   goal test, before its successors are taken; a stopped search reports
//   "node_limit" or "cancelled" with counters and trace as they stand, as
//   does one whose tables would grow past its memory cap ("memory_limit");
// - no reopening (`nodes_reopened` 0), no search tree; otherwise the stop
//   reason is "goal" or "exhausted"; the cost is recomputed from the rebuilt
//   path.
//
// Memory: the parent map holds every node ever discovered; besides it, only
// the current layer and the next layer's candidates are kept.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "quellostrin/hash.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

// A node of the next layer with its ranking key and the cost of the path by
// which it was discovered.
template <class Node>
struct BeamCandidate {
  double key;
  Node node;
  double g;
  friend std::uint64_t heap_bytes(const BeamCandidate& c) { return heap_bytes(c.node); }
};

// The path from the first node without a parent (the start) to `node`, by
// following `parent` from `node` while the current node has an entry.
template <class Node, class Hash>
std::vector<Node> reconstruct(const FlatMap<Node, Node, Hash>& parent, const Node& node) {
  std::vector<Node> path{node};
  for (const Node* p = parent.find(node); p != nullptr; p = parent.find(*p)) path.push_back(*p);
  std::reverse(path.begin(), path.end());
  return path;
}

namespace detail {

// Sorts candidates by ascending key, stably: candidates whose keys are not
// NaN end up ordered exactly by `<` on the key, equal keys in discovery order.
//
// NaN keys compare neither less nor greater than anything, so `<` is not a
// strict weak order once a NaN is present, and handing it to std::stable_sort
// would be undefined behaviour. The rule here: NaN-keyed candidates go after
// all the others, in discovery order. No candidate then follows one with a
// strictly greater key, the real-keyed ones keep exactly the order they would
// have without the NaNs, and a beam cut drops NaN-keyed nodes first.
template <class Node>
void sort_candidates(std::vector<BeamCandidate<Node>>& candidates) {
  const auto real_end = std::stable_partition(candidates.begin(), candidates.end(),
                                              [](const BeamCandidate<Node>& c) { return !std::isnan(c.key); });
  std::stable_sort(candidates.begin(), real_end,
                   [](const BeamCandidate<Node>& a, const BeamCandidate<Node>& b) { return a.key < b.key; });
}

}  // namespace detail

// Beam search without the clock: `elapsed` is left at zero.
template <Graph G, Heuristic<NodeOf<G>> H>
SearchResult<NodeOf<G>> beam_search_inner(const G& graph, const H& heuristic, const NodeOf<G>& start,
                                          const NodeOf<G>& goal, std::uint64_t beam_width, bool record,
                                          const Limits& limits) {
  using Node = NodeOf<G>;
  StopGate gate(limits);
  MemoryAccount memory(limits.max_memory);
  // The visited set is the start plus the keys of `parent` (the start has no
  // parent entry), so one probe both tests and records a discovery.
  FlatMap<Node, Node> parent;
  parent.set_account(&memory);
  auto discover = [&](const Node& child, const Node& from) {
    if (child == start) return false;
    auto [slot, fresh] = parent.try_emplace(child);
    if (fresh) *slot = from;
    return fresh;
  };

  // The layer keeps the candidate layout; its keys are no longer read.
  std::vector<BeamCandidate<Node>> layer{{0.0, start, 0.0}};
  std::vector<BeamCandidate<Node>> candidates;
  SuccessorList<Node> successors;
  std::vector<TraceStep<Node>> trace;
  std::uint64_t expanded = 0, generated = 1, max_frontier = 1;

  try {
    while (!layer.empty()) {
      max_frontier = std::max<std::uint64_t>(max_frontier, layer.size());
      candidates.clear();
      for (const BeamCandidate<Node>& entry : layer) {
        if (record) push_charged(trace, TraceStep<Node>{entry.node, entry.g, candidates.size()}, &memory);
        ++expanded;
        if (entry.node == goal) {
          return solved(graph, reconstruct(parent, goal), expanded, generated, max_frontier, std::move(trace));
        }
        if (gate(expanded)) return stopped_early(gate.reason(), expanded, generated, max_frontier, std::move(trace));
        successors.clear();
        graph.neighbors_into(entry.node, successors);
        for (const auto& [child, cost] : successors) {
          if (!discover(child, entry.node)) continue;
          room_for_one(candidates, &memory);
          candidates.push_back({heuristic.estimate(child, goal), child, entry.g + cost});
          ++generated;
        }
      }
      detail::sort_candidates(candidates);
      if (candidates.size() > beam_width) {
        candidates.erase(candidates.begin() + static_cast<std::ptrdiff_t>(beam_width), candidates.end());
      }
      layer.swap(candidates);  // the old layer's storage gathers the next candidates
    }
  } catch (const MemoryRefused& refused) {
    return refused_memory(refused, expanded, generated, max_frontier, std::move(trace));
  }
  return not_found(expanded, generated, max_frontier, std::move(trace));
}

// Beam search from `start` to `goal`, keeping at most `beam_width` nodes per
// layer; the largest width never cuts anything.
template <Graph G, Heuristic<NodeOf<G>> H>
SearchResult<NodeOf<G>> beam_search(const G& graph, const H& heuristic, const NodeOf<G>& start,
                                    const NodeOf<G>& goal, std::uint64_t beam_width, bool record,
                                    const Limits& limits = {}) {
  return timed([&] { return beam_search_inner(graph, heuristic, start, goal, beam_width, record, limits); });
}

}  // namespace quellostrin
