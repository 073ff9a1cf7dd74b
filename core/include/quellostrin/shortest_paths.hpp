// Shortest paths over an explicit graph with negative edge costs allowed:
// Bellman-Ford from one source, Floyd-Warshall between every pair.
//
// Rules they keep:
// - relaxations compare strictly (candidate < current), so NaN costs never
//   relax anything and, among equal costs, the first found is kept;
// - a source distance that is not finite (infinite or NaN) is never relaxed
//   from; hence an edge of cost -infinity would be silently ignored, and both
//   routines refuse one with InputError "edge ({u}, {v}) has weight -inf"
//   before doing anything else (check_no_negative_infinity does the same for
//   an edge list, reporting the first such edge in list order);
// - a node count whose arrays this machine cannot hold is refused with
//   OutOfMemory (memory.hpp) before anything is allocated
//   (check_single_source_size, check_all_pairs_size);
// - a node (for all pairs: a pair) whose walks from the source pass a
//   negative cycle has no shortest distance: it gets -infinity and no path.
//   Every other node keeps its distance and path;
// - an edge of weight +infinity is no edge (CsrGraph leaves it out);
// - path rebuilding stops with no path when the predecessors or hops loop,
//   which only a negative cycle can cause.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "quellostrin/domains/csr.hpp"
#include "quellostrin/search/stop.hpp"

namespace quellostrin {

// Throws InputError "edge ({u}, {v}) has weight -inf" at the first edge of
// `edges` whose weight is -infinity. NaN and +infinity are accepted.
void check_no_negative_infinity(std::span<const Edge> edges);

// Throw OutOfMemory when the arrays of bellman_ford / floyd_warshall over
// `num_nodes` nodes would not fit in physical memory.
void check_single_source_size(std::uint64_t num_nodes);
void check_all_pairs_size(std::uint64_t num_nodes);

struct ShortestPaths {
  std::vector<double> dist;                        // +infinity when unreachable, -infinity when unbounded
  std::vector<std::optional<std::uint64_t>> pred;  // absent for the source, unreachable and unbounded nodes
  std::uint64_t source = 0;
  bool negative_cycle = false;  // reachable from the source
  bool cancelled = false;       // the caller's hook stopped the run: the rest is incomplete

  // Source to target, both inclusive; nothing when the target is out of
  // range, not reached (distance not finite) or the predecessors loop.
  std::optional<std::vector<std::uint64_t>> path_to(std::uint64_t target) const;
};

// At most n - 1 passes over the edges in CsrGraph::edges() order, stopping
// after a pass without change, then one scan for a still-relaxable edge,
// whose target and everything it reaches become unbounded (-infinity). An
// out-of-range source gives every node unreachable and no cycle. `stop`, when
// set, is polled before every pass (its period is not used); when it answers
// true the run ends with `cancelled` set.
ShortestPaths bellman_ford(const CsrGraph& graph, std::uint64_t source, const StopHook& stop = {});

// Dijkstra from `source` to every node, for weights >= 0 (the caller checks:
// a negative weight would make the result wrong, not fail). Equal distances
// are settled first-in, first-out; a predecessor is set only on a strict
// improvement, so ties keep the first way found. NaN weights relax nothing.
// `stop` is polled as a StopGate polls it, counting settled nodes; when it
// answers true the run ends with `cancelled` set.
ShortestPaths dijkstra(const CsrGraph& graph, std::uint64_t source, const StopHook& stop = {});

struct AllPairs {
  std::vector<double> dist;                            // n x n, row-major; -infinity where unbounded
  std::vector<std::optional<std::uint64_t>> next_hop;  // n x n, row-major
  std::uint64_t num_nodes = 0;
  bool negative_cycle = false;  // some dist[i][i] < 0
  bool cancelled = false;       // the caller's hook stopped the run: the rest is incomplete

  // dist[from][to], or +infinity when either node is out of range.
  double distance(std::uint64_t from, std::uint64_t to) const;
  // From to `to`, both inclusive, following next_hop; nothing when out of
  // range, not reached, or the hops loop.
  std::optional<std::vector<std::uint64_t>> path(std::uint64_t from, std::uint64_t to) const;
  // A copy of dist, one vector per row.
  std::vector<std::vector<double>> matrix() const;
};

// Seeds the tables with the cheapest edge per pair (a self-loop only when
// below 0.0), then ends with the tables, bit for bit, of relaxing dist[i][j]
// through k in place for k, i, j in that order, skipping row i when
// dist[i][k] is not finite. (The work is reordered for the cache: pivots go
// in blocks, and each row takes a whole block's pivots in turn; every row
// still sees the same operations on the same values in the same order.)
// `stop`, when set, is polled once per pivot k, as for bellman_ford, before
// that pivot's block rows are updated; a block's other rows follow without a
// poll. Last, every pair through a node k with dist[k][k] < 0 becomes
// unbounded: -infinity, no next hop.
AllPairs floyd_warshall(const CsrGraph& graph, const StopHook& stop = {});

}  // namespace quellostrin
