// Independent reference answers for the search tests: seeded random edge
// lists, and textbook Dijkstra and BFS written straight from the definitions
// (std::priority_queue, no lazy tricks shared with the code under test).
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <queue>
#include <random>
#include <utility>
#include <vector>

#include "quellostrin/graph/csr.hpp"
#include "quellostrin/result.hpp"

namespace oracle {

using quellostrin::Edge;

inline constexpr double kInf = std::numeric_limits<double>::infinity();

struct RandomGraph {
  std::uint64_t n;
  std::vector<Edge> edges;
  bool undirected;
};

// n in [1, max_nodes], about `density` * n edges, integer weights in
// [min_w, max_w] (integers keep sums exact so costs compare with ==).
inline RandomGraph random_graph(std::uint64_t seed, std::uint64_t max_nodes = 30, double density = 2.0,
                                int min_w = 1, int max_w = 9) {
  std::mt19937_64 rng(seed);
  RandomGraph g;
  g.n = std::uniform_int_distribution<std::uint64_t>(1, max_nodes)(rng);
  g.undirected = (rng() & 1) != 0;
  const auto m = static_cast<std::uint64_t>(density * static_cast<double>(g.n));
  std::uniform_int_distribution<std::uint64_t> node(0, g.n - 1);
  std::uniform_int_distribution<int> weight(min_w, max_w);
  for (std::uint64_t i = 0; i < m; ++i) g.edges.push_back({node(rng), node(rng), double(weight(rng))});
  return g;
}

inline std::vector<std::vector<std::pair<std::uint64_t, double>>> adjacency(const RandomGraph& g) {
  std::vector<std::vector<std::pair<std::uint64_t, double>>> adj(g.n);
  for (const auto& e : g.edges) {
    adj[e.u].push_back({e.v, e.w});
    if (g.undirected) adj[e.v].push_back({e.u, e.w});
  }
  return adj;
}

// Shortest-path cost from `s` to every node (non-negative weights).
inline std::vector<double> dijkstra(const RandomGraph& g, std::uint64_t s) {
  auto adj = adjacency(g);
  std::vector<double> dist(g.n, kInf);
  using Item = std::pair<double, std::uint64_t>;
  std::priority_queue<Item, std::vector<Item>, std::greater<>> pq;
  dist[s] = 0.0;
  pq.push({0.0, s});
  while (!pq.empty()) {
    auto [d, u] = pq.top();
    pq.pop();
    if (d > dist[u]) continue;
    for (auto [v, w] : adj[u]) {
      if (d + w < dist[v]) {
        dist[v] = d + w;
        pq.push({dist[v], v});
      }
    }
  }
  return dist;
}

// Fewest edges from `s` to every node; -1 when unreachable.
inline std::vector<std::int64_t> bfs_hops(const RandomGraph& g, std::uint64_t s) {
  auto adj = adjacency(g);
  std::vector<std::int64_t> hops(g.n, -1);
  std::queue<std::uint64_t> q;
  hops[s] = 0;
  q.push(s);
  while (!q.empty()) {
    auto u = q.front();
    q.pop();
    for (auto [v, w] : adj[u]) {
      if (hops[v] < 0) {
        hops[v] = hops[u] + 1;
        q.push(v);
      }
    }
  }
  return hops;
}

// The graph under test built from the same edge list.
inline quellostrin::CsrGraph csr(const RandomGraph& g) {
  return quellostrin::CsrGraph::from_edges(g.n, g.edges, g.undirected);
}

// One seeded case of the property tests: a random graph, its CsrGraph and a
// start and goal derived from the seed.
struct Case {
  RandomGraph rg;
  quellostrin::CsrGraph g;
  std::uint64_t start, goal;
};

inline Case random_case(std::uint64_t seed, std::uint64_t max_nodes = 30, double density = 2.0) {
  auto rg = random_graph(seed, max_nodes, density);
  auto g = csr(rg);
  const std::uint64_t start = seed % rg.n, goal = (seed * 7 + 3) % rg.n;
  return {std::move(rg), std::move(g), start, goal};
}

// True when every consecutive pair of `path` is an edge of `g`.
inline bool is_real_path(const RandomGraph& g, const std::vector<std::uint64_t>& path) {
  auto adj = adjacency(g);
  for (std::size_t i = 1; i < path.size(); ++i) {
    bool found = false;
    for (auto [v, w] : adj[path[i - 1]]) found = found || v == path[i];
    if (!found) return false;
  }
  return true;
}

// A domain that forwards to a CsrGraph and counts how often its successors
// were fetched, to prove a strategy did exactly the work it should.
struct CountingGraph {
  using Node = std::uint64_t;
  const quellostrin::CsrGraph& inner;
  mutable std::uint64_t fetches = 0;

  void neighbors_into(Node node, quellostrin::SuccessorList<Node>& out) const {
    ++fetches;
    inner.neighbors_into(node, out);
  }
  std::optional<std::uint64_t> node_index(Node node) const { return inner.node_index(node); }
};

// A heuristic given as a function of the node, counting its calls.
struct CountingHeuristic {
  std::function<double(std::uint64_t)> h;
  mutable std::uint64_t calls = 0;

  double estimate(std::uint64_t node, std::uint64_t) const {
    ++calls;
    return h(node);
  }
};

}  // namespace oracle

// Shorthands shared by the search tests.
using Path = std::vector<std::uint64_t>;
using Trace = std::vector<quellostrin::TraceStep<std::uint64_t>>;
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline quellostrin::CsrGraph directed(std::uint64_t n, std::vector<quellostrin::Edge> edges) {
  return quellostrin::CsrGraph::from_edges(n, edges, false);
}
