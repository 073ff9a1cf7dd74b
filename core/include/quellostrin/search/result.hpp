// The outcome record every strategy returns, the descriptor of the seven
// frontier algorithms, and the helpers strategies share to finish a result.
//
// A result is "found" exactly when `path` is present. Without a path the cost
// is +infinity. Search outcomes are never errors.
#pragma once

#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "quellostrin/search/frontier.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

// Cancelled: a caller's stop hook ended the search (see stop.hpp). Such a
// result never reaches a user: the caller that cancels reports why instead.
// TimeLimit: the hook's time limit passed (also stop.hpp). MemoryLimit: a
// table would have grown past the caller's memory cap (memory.hpp).
enum class StopReason : std::uint8_t {
  Goal = 0,
  Exhausted = 1,
  NodeLimit = 2,
  Cancelled = 3,
  TimeLimit = 4,
  MemoryLimit = 5
};

constexpr std::string_view to_string(StopReason r) {
  switch (r) {
    case StopReason::Goal:
      return "goal";
    case StopReason::Exhausted:
      return "exhausted";
    case StopReason::NodeLimit:
      return "node_limit";
    case StopReason::Cancelled:
      return "cancelled";
    case StopReason::TimeLimit:
      return "time_limit";
    case StopReason::MemoryLimit:
      return "memory_limit";
  }
  return "exhausted";
}

// Describes one of the seven frontier algorithms: the queue discipline and the
// weights of priority = g_weight * g + h_weight * h.
struct AlgorithmKind {
  const char* label;
  double g_weight;
  double h_weight;
  FrontierKind frontier;

  static constexpr AlgorithmKind bfs() { return {"BFS", 1.0, 0.0, FrontierKind::Fifo}; }
  static constexpr AlgorithmKind dfs() { return {"DFS", 1.0, 0.0, FrontierKind::Lifo}; }
  static constexpr AlgorithmKind ucs() { return {"UCS", 1.0, 0.0, FrontierKind::PriorityQueue}; }
  static constexpr AlgorithmKind dijkstra() { return {"Dijkstra", 1.0, 0.0, FrontierKind::PriorityQueue}; }
  static constexpr AlgorithmKind greedy() { return {"Greedy", 0.0, 1.0, FrontierKind::PriorityQueue}; }
  static constexpr AlgorithmKind astar() { return {"A*", 1.0, 1.0, FrontierKind::PriorityQueue}; }
  // The weight is used as given; no range check.
  static constexpr AlgorithmKind weighted_astar(double w) {
    return {"Weighted A*", 1.0, w, FrontierKind::PriorityQueue};
  }
};

// Whole seconds plus nanoseconds, read off a monotonic clock.
struct Duration {
  std::uint64_t secs = 0;
  std::uint32_t nanos = 0;

  static Duration from(std::chrono::nanoseconds d) {
    auto ns = static_cast<std::uint64_t>(d.count() < 0 ? 0 : d.count());
    return {ns / 1'000'000'000u, static_cast<std::uint32_t>(ns % 1'000'000'000u)};
  }
  double seconds() const { return static_cast<double>(secs) + static_cast<double>(nanos) / 1e9; }
  friend bool operator==(const Duration&, const Duration&) = default;
};

using Clock = std::chrono::steady_clock;

inline Duration since(Clock::time_point start) { return Duration::from(Clock::now() - start); }

template <class Node>
struct TraceStep {
  Node node;
  std::optional<double> g;  // absent for backward expansions of bidirectional search
  std::uint64_t frontier_size;
  friend bool operator==(const TraceStep&, const TraceStep&) = default;
  friend std::uint64_t heap_bytes(const TraceStep& step) { return heap_bytes(step.node); }
};

template <class Node>
struct SearchResult {
  std::optional<std::vector<Node>> path;
  double cost = std::numeric_limits<double>::infinity();
  std::uint64_t nodes_expanded = 0;
  std::uint64_t nodes_generated = 0;
  std::uint64_t nodes_reopened = 0;
  std::uint64_t max_frontier_size = 0;
  Duration elapsed;
  StopReason stop_reason = StopReason::Exhausted;
  std::vector<TraceStep<Node>> trace;
  std::vector<std::pair<Node, Node>> tree;

  bool found() const { return path.has_value(); }
};

// Runs `search` and stamps the time it took on its result.
template <class F>
auto timed(F&& search) {
  const auto start = Clock::now();
  auto result = std::forward<F>(search)();
  result.elapsed = since(start);
  return result;
}

// The cost of `path` as `path_cost` computes it, or nothing when the path is
// not a walk: some step has no edge in its direction at all.
template <Graph G>
std::optional<double> walk_cost(const G& graph, const std::vector<NodeOf<G>>& path) {
  double total = 0.0;
  SuccessorList<NodeOf<G>> successors;
  for (std::size_t i = 1; i < path.size(); ++i) {
    double best = std::numeric_limits<double>::infinity();
    bool edge = false;
    successors.clear();
    graph.neighbors_into(path[i - 1], successors);
    for (const auto& [node, w] : successors) {
      if (node != path[i]) continue;
      edge = true;
      if (w < best) best = w;
    }
    if (!edge) return std::nullopt;
    const bool finite = best - best == 0.0;  // false for +-inf and NaN
    total += finite ? best : std::numeric_limits<double>::quiet_NaN();
  }
  return total;
}

// The cost of `path` recomputed from the domain: each step takes the cheapest
// real-valued edge between the two nodes (NaN costs passed over); a step with
// no finite edge makes the total NaN. Paths of 0 or 1 nodes cost 0.0.
template <Graph G>
double path_cost(const G& graph, const std::vector<NodeOf<G>>& path) {
  return walk_cost(graph, path).value_or(std::numeric_limits<double>::quiet_NaN());
}

// The result of a search that found `path` at `cost`; `elapsed` is left for
// `timed`.
template <class Node>
SearchResult<Node> found_at(std::vector<Node> path, double cost, std::uint64_t expanded, std::uint64_t generated,
                            std::uint64_t max_frontier, std::vector<TraceStep<Node>> trace) {
  SearchResult<Node> r;
  r.path = std::move(path);
  r.cost = cost;
  r.nodes_expanded = expanded;
  r.nodes_generated = generated;
  r.max_frontier_size = max_frontier;
  r.stop_reason = StopReason::Goal;
  r.trace = std::move(trace);
  return r;
}

// The same with the cost recomputed from the domain by `path_cost`.
template <Graph G>
SearchResult<NodeOf<G>> solved(const G& graph, std::vector<NodeOf<G>> path, std::uint64_t expanded,
                               std::uint64_t generated, std::uint64_t max_frontier,
                               std::vector<TraceStep<NodeOf<G>>> trace) {
  const double cost = path_cost(graph, path);
  return found_at(std::move(path), cost, expanded, generated, max_frontier, std::move(trace));
}

// The result of a search that found nothing.
template <class Node>
SearchResult<Node> not_found(std::uint64_t expanded, std::uint64_t generated, std::uint64_t max_frontier,
                             std::vector<TraceStep<Node>> trace) {
  SearchResult<Node> r;
  r.nodes_expanded = expanded;
  r.nodes_generated = generated;
  r.max_frontier_size = max_frontier;
  r.stop_reason = StopReason::Exhausted;
  r.trace = std::move(trace);
  return r;
}

}  // namespace quellostrin
