#include "quellostrin/domains/csr_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/search/indexed_search.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/search/packed_heap.hpp"
#include "quellostrin/search/stop.hpp"

namespace quellostrin {

namespace {

// Node indices and push sequence numbers each take 32 bits of a heap entry.
// Without reopening a node is pushed only when its label drops, once per
// adjacency entry at most, so a search pushes at most 1 + entry_count times.
constexpr std::uint64_t kMaxNodes = std::uint64_t{1} << 32;
constexpr std::uint64_t kMaxEntries = (std::uint64_t{1} << 32) - 1;

// Bytes per node of a search's own memory.
constexpr std::uint64_t kBytesPerNode = Workspace::kBytesPerIndex;

// The explicit graph as the indexed loop (search/indexed_search.hpp) walks it:
// successors read straight from the adjacency arrays, under the zero
// heuristic.
struct CsrPolicy {
  using Node = std::uint64_t;
  static constexpr bool kSkipEstimate = false;
  const std::uint64_t* offsets;
  const std::uint64_t* targets;
  const double* weights;

  Node node(std::uint32_t i) const { return i; }
  double estimate(std::uint32_t) const { return 0.0; }  // Zero

  template <class F>
  [[gnu::always_inline]] void for_each_successor(std::uint32_t p, F&& relax) const {
    const std::uint64_t end = offsets[p + 1];
    for (std::uint64_t i = offsets[p]; i < end; ++i) {
      const auto q = static_cast<std::uint32_t>(targets[i]);
      relax(q, weights[i], q);
    }
  }

  // Starts loading the adjacency of the node that will probably be expanded
  // next, and the marks and labels of this node's successors, so that their
  // cache misses overlap instead of following one another.
  [[gnu::always_inline]] void prefetch(const detail::PackedOpen& open, const detail::IndexedStore& store,
                                       std::uint32_t p) const {
    const std::uint32_t next = open.peek().value_or(p);
    __builtin_prefetch(targets + offsets[next]);
    __builtin_prefetch(weights + offsets[next]);
    for (std::uint64_t i = offsets[p]; i < offsets[p + 1]; ++i) {
      __builtin_prefetch(store.marks() + targets[i], 1);
      __builtin_prefetch(store.labels() + targets[i], 1);
    }
  }
};

// The weights' summary, known since the graph was built.
detail::MoveCosts move_costs(const CsrGraph& graph) {
  return {graph.min_weight(), graph.max_abs_weight(), graph.has_nan_weight()};
}

SearchResult<std::uint64_t> search(const CsrGraph& graph, std::uint32_t start, std::uint32_t goal,
                                   const AlgorithmKind& kind, const SearchOptions& options) {
  const CsrPolicy policy{graph.offsets().data(), graph.targets().data(), graph.weights().data()};
  return detail::indexed_best_first(policy, graph.node_count(), start, goal, Zero{}.estimate(start, goal), kind,
                                    move_costs(graph), options);
}

}  // namespace

bool csr_search_applies(const CsrGraph& graph, std::uint64_t start, std::uint64_t goal, const AlgorithmKind& kind,
                        const SearchOptions& options) {
  const std::uint64_t n = graph.node_count();
  if (kind.frontier != FrontierKind::PriorityQueue || options.reopen || start >= n || goal >= n || n > kMaxNodes ||
      graph.entry_count() > kMaxEntries || size_mul(n, kBytesPerNode) > physical_memory()) {
    return false;
  }
  return detail::priorities_are_numbers(kind, move_costs(graph), n);
}

SearchResult<std::uint64_t> csr_search(const CsrGraph& graph, std::uint64_t start, std::uint64_t goal,
                                       const AlgorithmKind& kind, const SearchOptions& options) {
  if (!csr_search_applies(graph, start, goal, kind, options)) {
    fail_invariant("csr_search on a search the general driver must run");
  }
  // The general driver's dense node store refuses a graph beyond the
  // machine's memory up front; so does this search, with its message.
  if (options.dense) {
    const std::uint64_t n = graph.node_count();
    require_memory(size_mul(n, sizeof(double) + sizeof(std::uint64_t) + 1), "the node store of a search over {} nodes",
                   n);
  }
  return timed([&] {
    return search(graph, static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(goal), kind, options);
  });
}

}  // namespace quellostrin
