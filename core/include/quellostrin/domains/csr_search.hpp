// The priority-queue frontier algorithms (uniform-cost, Dijkstra, greedy,
// A*, weighted A*) on a CsrGraph under the zero heuristic, specialised: the
// same search as `search_with_options` (search/search.hpp) with the same result to
// the last field, about twice as fast.
//
// Both run the one best-first loop (search/best_first.hpp); what differs is
// its parts. Through the domain's interface a search copies a successor list
// out per expansion into a node store behind a variant and a heap of 24-byte
// entries; this one reads successors straight from the adjacency, a node is
// a 32-bit index into the marks, cost labels and parents of a Workspace
// (search/workspace.hpp; the caller's when the options lend one, so that a
// query costs nothing for the nodes it never reaches), and the frontier is
// the 4-ary heap of 16-byte entries of search/packed_heap.hpp, in the same
// (priority, push sequence) order (search/indexed_search.hpp).
//
// `csr_search_applies` says when this path may replace the general one: a
// priority-queue algorithm without reopening, start and goal in the graph, at
// most 2^32 nodes and fewer than 2^32 adjacency entries (node indices and
// push sequence numbers take 32 bits each in a heap entry), finite weights of
// the algorithm, and edge weights for which no priority can be NaN: none NaN,
// and either all non-negative under a positive g weight (a label is then in
// [0, +inf]) or all finite and small enough that no label can overflow. For
// anything else the hashed or dense node store runs.
#pragma once

#include <cstdint>

#include "quellostrin/domains/csr.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/search.hpp"

namespace quellostrin {

bool csr_search_applies(const CsrGraph& graph, std::uint64_t start, std::uint64_t goal, const AlgorithmKind& kind,
                        const SearchOptions& options);

// The search `kind` from `start` to `goal`, which `csr_search_applies` must
// accept; the result equals search_with_options(graph, start, goal, kind,
// Zero{}, options) in every field but the elapsed time.
SearchResult<std::uint64_t> csr_search(const CsrGraph& graph, std::uint64_t start, std::uint64_t goal,
                                       const AlgorithmKind& kind, const SearchOptions& options);

}  // namespace quellostrin
