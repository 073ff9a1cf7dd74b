#include "quellostrin/graph/csr_search.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/packed_heap.hpp"
#include "quellostrin/stop.hpp"

namespace quellostrin {

namespace {

// Node indices and push sequence numbers each take 32 bits of a heap entry.
// Without reopening a node is pushed only when its label drops, once per
// adjacency entry at most, so a search pushes at most 1 + entry_count times.
constexpr std::uint64_t kMaxNodes = std::uint64_t{1} << 32;
constexpr std::uint64_t kMaxEntries = (std::uint64_t{1} << 32) - 1;

// Bytes per node of a search's own memory.
constexpr std::uint64_t kBytesPerNode = Workspace::kBytesPerIndex;

using detail::packed_entry;
using detail::packed_index;
using detail::QuadHeap;

SearchResult<std::uint64_t> search(const CsrGraph& graph, std::uint32_t start, std::uint32_t goal,
                                   const AlgorithmKind& kind, const SearchOptions& options) {
  const std::size_t n = graph.node_count();
  // The search's memory: the caller's workspace, or one of its own.
  std::optional<Workspace> own;
  Workspace& ws = options.workspace ? *options.workspace : own.emplace();
  ws.begin(n);
  std::uint16_t* const marks = ws.marks();
  const std::uint16_t reached = ws.reached(), closed = ws.closed();
  double* const g = ws.labels();
  std::uint32_t* const parent = ws.parents();
  const std::uint64_t* const offsets = graph.offsets().data();
  const std::uint64_t* const targets = graph.targets().data();
  const double* const weights = graph.weights().data();
  // The priority g_weight * g + h_weight * h of the general driver, with the
  // zero heuristic's h = 0.0 (h_weight * 0.0 is a zero of either sign).
  const double g_weight = kind.g_weight, h_term = kind.h_weight * Zero{}.estimate(start, goal);
  const bool record = options.record;

  QuadHeap& frontier = ws.heap();
  std::vector<std::uint32_t>& discovered = ws.discovered();
  SearchResult<std::uint64_t> result;
  // `generated` counts the pushes, and numbers each push as the general
  // frontier does.
  std::uint64_t expanded = 0, generated = 0, max_frontier = 1;
  StopGate gate(Limits{options.max_nodes, options.stop});

  marks[start] = reached;
  g[start] = 0.0;
  parent[start] = start;  // the path walk stops at the start
  frontier.push(packed_entry(g_weight * 0.0 + h_term, generated++, start));

  result.stop_reason = StopReason::Exhausted;
  while (!frontier.empty()) {
    const std::uint32_t p = packed_index(frontier.pop());
    if (marks[p] == closed) continue;  // stale duplicate of a node expanded already
    marks[p] = closed;
    const double gp = g[p];
    if (record) result.trace.push_back(TraceStep<std::uint64_t>{p, gp, frontier.size()});
    ++expanded;
    if (p == goal) {
      result.stop_reason = StopReason::Goal;
      std::vector<std::uint64_t> path{p};
      for (std::uint32_t q = p; q != start; q = parent[q]) path.push_back(parent[q]);
      std::reverse(path.begin(), path.end());
      result.path = std::move(path);
      result.cost = gp;
      break;
    }
    if (gate(expanded)) {
      result.stop_reason = gate.reason();
      break;
    }

    // Start loading the adjacency of the node that will probably be expanded
    // next, and the marks and labels of this node's successors, so that
    // their cache misses overlap instead of following one another.
    if (!frontier.empty()) {
      const std::uint64_t next = offsets[packed_index(frontier.top())];
      __builtin_prefetch(targets + next);
      __builtin_prefetch(weights + next);
    }
    const std::uint64_t begin = offsets[p], end = offsets[p + 1];
    for (std::uint64_t i = begin; i < end; ++i) {
      const std::uint64_t q = targets[i];
      __builtin_prefetch(marks + q, 1);
      __builtin_prefetch(g + q, 1);
    }
    for (std::uint64_t i = begin; i < end; ++i) {
      const auto q = static_cast<std::uint32_t>(targets[i]);
      const std::uint16_t m = marks[q];
      const double new_g = gp + weights[i];
      if (m >= reached) {
        if (m == closed || !(new_g < g[q])) continue;
      } else {
        marks[q] = reached;
        if (record) discovered.push_back(q);
      }
      g[q] = new_g;
      parent[q] = p;
      frontier.push(packed_entry(g_weight * new_g + h_term, generated++, q));
      max_frontier = std::max<std::uint64_t>(max_frontier, frontier.size());
    }
  }

  if (record) {
    result.tree.reserve(discovered.size());
    for (const std::uint32_t q : discovered) result.tree.emplace_back(parent[q], q);
  }
  result.nodes_expanded = expanded;
  result.nodes_generated = generated;
  result.max_frontier_size = max_frontier;
  return result;
}

}  // namespace

bool csr_search_applies(const CsrGraph& graph, std::uint64_t start, std::uint64_t goal, const AlgorithmKind& kind,
                        const SearchOptions& options) {
  const std::uint64_t n = graph.node_count();
  if (kind.frontier != FrontierKind::PriorityQueue || options.reopen || start >= n || goal >= n || n > kMaxNodes ||
      graph.entry_count() > kMaxEntries || size_mul(n, kBytesPerNode) > physical_memory()) {
    return false;
  }
  // The priority is g_weight * g + h_weight * 0.0, NaN only when h_weight is
  // not finite, when a label g is NaN, or when g_weight is 0 and g infinite.
  // A label is the start's 0.0 or a closed node's label plus one weight.
  // With no weight NaN or negative, every label is in [0, +inf], which a
  // positive g_weight keeps NaN-free. Otherwise (a negative weight could
  // meet a label of +inf, greedy's 0 * g could meet one) the labels must
  // stay finite: without reopening a label is a sum of fewer than n weights
  // (each along a chain of nodes closed one after another), so with every
  // |w| below max / (4 * (n + 1)) none comes near the largest double.
  if (!std::isfinite(kind.h_weight) || !(kind.g_weight >= 0.0 && kind.g_weight <= 1.0)) return false;
  if (graph.has_nan_weight()) return false;
  if (kind.g_weight > 0.0 && graph.min_weight() >= 0.0) return true;
  const double bound = std::numeric_limits<double>::max() / (4.0 * (static_cast<double>(n) + 1.0));
  return graph.max_abs_weight() <= bound;
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
