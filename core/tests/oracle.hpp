// Independent reference answers for the search tests: seeded random edge
// lists, and textbook Dijkstra, breadth-first search and recursive depth-first
// search written straight from the definitions (std containers, plain
// recursion, nothing shared with the code under test).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/domains/csr.hpp"
#include "quellostrin/search/result.hpp"

// Shorthands shared by the search tests.
using Path = std::vector<std::uint64_t>;
using Trace = std::vector<quellostrin::TraceStep<std::uint64_t>>;
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline quellostrin::CsrGraph directed(std::uint64_t n, std::vector<quellostrin::Edge> edges) {
  return quellostrin::CsrGraph::from_edges(n, edges, false);
}

// The message of the InputError that `f` throws, or "no error".
inline std::string input_error(auto&& f) {
  try {
    f();
  } catch (const quellostrin::InputError& e) {
    return e.what();
  }
  return "no error";
}

namespace oracle {

using quellostrin::Edge;
using Adjacency = std::vector<std::vector<std::pair<std::uint64_t, double>>>;

struct RandomGraph {
  std::uint64_t n;
  std::vector<Edge> edges;
  bool undirected;
};

// One seeded case of the property tests: n in [1, max_nodes], about
// `density` * n edges (self-loops and parallel edges included), integer
// weights in [min_w, max_w] (integers keep sums exact so costs compare with
// ==), the CsrGraph built from the same edge list, and a start and goal
// derived from the seed.
struct Case {
  RandomGraph rg;
  quellostrin::CsrGraph g;
  std::uint64_t start, goal;
};

inline Case random_case(std::uint64_t seed, std::uint64_t max_nodes, double density, int min_w = 1, int max_w = 9) {
  std::mt19937_64 rng(seed);
  RandomGraph rg;
  rg.n = std::uniform_int_distribution<std::uint64_t>(1, max_nodes)(rng);
  rg.undirected = (rng() & 1) != 0;
  const auto m = static_cast<std::uint64_t>(density * static_cast<double>(rg.n));
  std::uniform_int_distribution<std::uint64_t> node(0, rg.n - 1);
  std::uniform_int_distribution<int> weight(min_w, max_w);
  for (std::uint64_t i = 0; i < m; ++i) rg.edges.push_back({node(rng), node(rng), double(weight(rng))});
  auto g = quellostrin::CsrGraph::from_edges(rg.n, rg.edges, rg.undirected,
                                             quellostrin::CsrGraph::Predecessors::listed);
  const std::uint64_t start = seed % rg.n, goal = (seed * 7 + 3) % rg.n;
  return {std::move(rg), std::move(g), start, goal};
}

// `m` edges with uniform endpoints (self-loops and parallel edges come up on
// their own) and weights drawn from `weights`, few values so that costs tie.
inline std::vector<Edge> random_edges(auto& rng, std::uint64_t n, std::uint64_t m, const std::vector<double>& weights) {
  std::vector<Edge> edges;
  for (std::uint64_t i = 0; i < m; ++i) edges.push_back({rng() % n, rng() % n, weights[rng() % weights.size()]});
  return edges;
}

inline Adjacency adjacency(const RandomGraph& g) {
  Adjacency adj(g.n);
  for (const auto& e : g.edges) {
    adj[e.u].push_back({e.v, e.w});
    if (g.undirected) adj[e.v].push_back({e.u, e.w});
  }
  return adj;
}

// Shortest-path cost from `s` to every node (non-negative weights), by
// Bellman-Ford: as many rounds of relaxing every edge as there are nodes.
inline std::vector<double> shortest(const RandomGraph& g, std::uint64_t s) {
  std::vector<double> dist(g.n, kInf);
  dist[s] = 0.0;
  for (std::uint64_t round = 0; round < g.n; ++round) {
    for (const auto& e : g.edges) {
      dist[e.v] = std::min(dist[e.v], dist[e.u] + e.w);
      if (g.undirected) dist[e.u] = std::min(dist[e.u], dist[e.v] + e.w);
    }
  }
  return dist;
}

// Breadth-first search from `s`, a node marked when first seen: the fewest
// edges to every node (-1 when unreachable) and the order nodes leave the queue.
struct Bfs {
  std::vector<std::int64_t> hops;
  Path order;
};

inline Bfs bfs(const RandomGraph& g, std::uint64_t s) {
  const auto adj = adjacency(g);
  Bfs out{std::vector<std::int64_t>(g.n, -1), {s}};
  out.hops[s] = 0;
  for (std::size_t i = 0; i < out.order.size(); ++i) {  // `order` is the queue; nothing leaves it
    for (auto [v, w] : adj[out.order[i]]) {
      if (out.hops[v] >= 0) continue;
      out.hops[v] = out.hops[out.order[i]] + 1;
      out.order.push_back(v);
    }
  }
  return out;
}

// Depth-first search by recursion, cycles cut along the current path only.
// Without `h` it is depth-limited search (a node `limit` edges deep is visited
// but not expanded) run for each limit in turn, as iterative deepening does;
// with `h` it is IDA* (a node with g + h > `limit` is pruned unvisited, and
// the smallest f pruned is the next pass's bound).
struct RecursiveDfs {
  Adjacency adj;
  std::uint64_t goal;
  std::function<double(std::uint64_t)> h;
  double limit = 0.0, least_pruned = kInf;
  Path path;  // the current path; the path found once a walk succeeds
  Trace trace;
  std::uint64_t expanded = 0, generated = 0, deepest = 1;

  bool visit(std::uint64_t u, double g) {
    if (h && g + h(u) > limit) {
      least_pruned = std::min(least_pruned, g + h(u));  // a NaN f is never pruned, so never seen here
      return false;
    }
    ++expanded;
    trace.push_back({u, g, path.size()});
    path.push_back(u);
    if (u == goal) return true;
    if (h || double(path.size()) <= limit) {
      deepest = std::max<std::uint64_t>(deepest, path.size());
      for (auto [v, w] : adj[u]) {
        if (std::find(path.begin(), path.end(), v) != path.end()) continue;
        ++generated;
        if (visit(v, g + w)) return true;
      }
    }
    path.pop_back();
    return false;
  }

  bool deepening(std::uint64_t start, std::uint64_t first, std::uint64_t last) {
    for (std::uint64_t d = first; d <= last; ++d) {
      limit = double(d);
      ++generated;
      if (visit(start, 0.0)) return true;
    }
    return false;
  }

  bool ida(std::uint64_t start) {
    ++generated;
    for (limit = h(start);; limit = least_pruned) {
      least_pruned = kInf;
      if (visit(start, 0.0)) return true;
      if (least_pruned == kInf) return false;
    }
  }
};

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
  bool has_predecessors() const { return inner.has_predecessors(); }
  void predecessors_into(Node node, quellostrin::SuccessorList<Node>& out) const {
    ++fetches;
    inner.predecessors_into(node, out);
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

// A heuristic given as a table, 0 for nodes not in it.
inline CountingHeuristic table_h(std::map<std::uint64_t, double> h) {
  return {[h](std::uint64_t n) { return h.contains(n) ? h.at(n) : 0.0; }};
}

inline Path nodes_of(const Trace& trace) {
  Path out;
  for (const auto& step : trace) out.push_back(step.node);
  return out;
}

}  // namespace oracle
