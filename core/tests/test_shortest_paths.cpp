#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>
#include <random>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/shortest_paths.hpp"

using namespace quellostrin;

namespace {

using Hops = std::vector<std::optional<std::uint64_t>>;
constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();

// Floyd-Warshall as the textbook writes it: a triple loop, in place, on
// tables seeded from the edge list in adjacency order.
struct PlainAllPairs {
  std::vector<double> dist;
  Hops hop;
  bool negative_cycle = false;
};

PlainAllPairs plain_floyd_warshall(const CsrGraph& g) {
  const std::uint64_t n = g.node_count();
  PlainAllPairs r{std::vector<double>(n * n, kInf), Hops(n * n)};
  for (std::uint64_t i = 0; i < n; ++i) r.dist[i * n + i] = 0.0;
  for (const Edge& e : g.edges()) {
    if (e.w < r.dist[e.u * n + e.v]) r.dist[e.u * n + e.v] = e.w, r.hop[e.u * n + e.v] = e.v;
  }
  for (std::uint64_t k = 0; k < n; ++k)
    for (std::uint64_t i = 0; i < n; ++i) {
      const double d = r.dist[i * n + k];
      if (!std::isfinite(d)) continue;
      for (std::uint64_t j = 0; j < n; ++j) {
        if (d + r.dist[k * n + j] < r.dist[i * n + j]) {
          r.dist[i * n + j] = d + r.dist[k * n + j];
          r.hop[i * n + j] = r.hop[i * n + k];
        }
      }
    }
  // Then every pair with a walk through a node on a negative cycle has no
  // shortest distance; walks follow the edges the tables took (not NaN).
  std::vector<std::vector<bool>> reach(n, std::vector<bool>(n, false));
  for (std::uint64_t i = 0; i < n; ++i) reach[i][i] = true;
  for (const Edge& e : g.edges()) reach[e.u][e.v] = reach[e.u][e.v] || e.w == e.w;
  for (std::uint64_t k = 0; k < n; ++k)
    for (std::uint64_t i = 0; i < n; ++i)
      for (std::uint64_t j = 0; j < n; ++j) reach[i][j] = reach[i][j] || (reach[i][k] && reach[k][j]);
  std::vector<bool> on_cycle(n);
  for (std::uint64_t k = 0; k < n; ++k) on_cycle[k] = r.dist[k * n + k] < 0.0;
  for (std::uint64_t k = 0; k < n; ++k) {
    if (!on_cycle[k]) continue;
    r.negative_cycle = true;
    for (std::uint64_t i = 0; i < n; ++i)
      for (std::uint64_t j = 0; j < n; ++j)
        if (reach[i][k] && reach[k][j]) r.dist[i * n + j] = -kInf, r.hop[i * n + j] = std::nullopt;
  }
  return r;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i])) return false;
  return true;
}

}  // namespace

// A source outside the graph reaches nothing (the entry points refuse one;
// paths, the matrix and nodes outside the tables are held to networkx and
// scipy by tests/test_shortest_paths.py).
TEST(BellmanFord, SourceOutsideTheGraph) {
  const auto outside = bellman_ford(directed(2, {{0, 1, 1}}), 5);
  EXPECT_EQ(outside.dist, (std::vector<double>{kInf, kInf}));
  EXPECT_EQ(outside.source, 5u);
  EXPECT_FALSE(outside.negative_cycle);
  EXPECT_EQ(outside.path_to(0), std::nullopt);
}

// Bellman-Ford against the plain loop over every edge in every pass, and
// Floyd-Warshall's fast row update and blocked pivot order against the triple
// loop, on graphs with ties, zero and negative weights, NaN and +inf weights,
// self-loops and negative cycles: distances to the bit, predecessors or next
// hops, and the cycle flag. Sizes run past several vector widths so that loop
// tails are covered, and every tenth past several pivot blocks (with a
// negative cycle, rows above and below a pivot read it before and after its
// own update).
TEST(ShortestPaths, MatchThePlainLoops) {
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937_64 rng(seed);
    const std::uint64_t n = 1 + rng() % (seed % 10 == 0 ? 150 : 40);
    // Ties, zero, negative, NaN and +inf weights; odd seeds flip the negative
    // ones, which keeps some graphs free of cycles.
    std::vector<double> weights{-3, -2, -1, -0.0, 0, 0, 1, 1, 2, 2, 3, 5, kInf, kNaN, 1e308, -1e308};
    if (seed % 2) std::ranges::transform(weights, weights.begin(), [](double w) { return w < 0 ? -w : w; });
    const auto g = directed(n, oracle::random_edges(rng, n, rng() % (3 * n * (seed % 3 + 1)), weights));
    const auto fast = floyd_warshall(g);
    const auto plain = plain_floyd_warshall(g);
    EXPECT_TRUE(same_bits(fast.dist, plain.dist));
    EXPECT_EQ(fast.next_hop, plain.hop);
    EXPECT_EQ(fast.negative_cycle, plain.negative_cycle);

    const std::uint64_t source = rng() % n;
    std::vector<double> dist(n, kInf);
    Hops pred(n);
    dist[source] = 0.0;
    for (std::uint64_t pass = 1; pass < n; ++pass) {
      bool changed = false;
      for (const Edge& e : g.edges()) {
        if (std::isfinite(dist[e.u]) && e.w + dist[e.u] < dist[e.v]) {
          dist[e.v] = e.w + dist[e.u], pred[e.v] = e.u, changed = true;
        }
      }
      if (!changed) break;
    }
    // An edge that still relaxes, and everything its target reaches (not
    // through NaN edges, which are never taken), is unbounded.
    std::vector<bool> unbounded(n, false);
    for (const Edge& e : g.edges()) unbounded[e.v] = unbounded[e.v] || (std::isfinite(dist[e.u]) && e.w + dist[e.u] < dist[e.v]);
    const bool cycle = std::ranges::find(unbounded, true) != unbounded.end();
    for (std::uint64_t pass = 0; pass < n; ++pass)
      for (const Edge& e : g.edges()) unbounded[e.v] = unbounded[e.v] || (unbounded[e.u] && e.w == e.w);
    for (std::uint64_t v = 0; v < n; ++v) {
      if (unbounded[v]) dist[v] = -kInf, pred[v] = std::nullopt;
    }
    const auto single = bellman_ford(g, source);
    EXPECT_TRUE(same_bits(single.dist, dist));
    EXPECT_EQ(single.pred, pred);
    EXPECT_EQ(single.negative_cycle, cycle);
  }
}

TEST(ShortestPaths, RefusesSizesThatCannotBeAllocated) {
  EXPECT_THROW(check_single_source_size(kMax64), std::bad_alloc);  // n + 1 wraps
  EXPECT_THROW(check_single_source_size(kMax64 / 8), std::bad_alloc);
  EXPECT_NO_THROW(check_single_source_size(1'000'000));
  EXPECT_THROW(check_all_pairs_size(kMax64), std::bad_alloc);
  EXPECT_THROW(check_all_pairs_size(std::uint64_t{1} << 32), std::bad_alloc);        // n * n wraps to 0
  EXPECT_THROW(check_all_pairs_size((std::uint64_t{1} << 32) + 1), std::bad_alloc);  // ... or to a small size
  EXPECT_THROW(check_all_pairs_size(std::uint64_t{1} << 30), std::bad_alloc);        // the byte count wraps
  EXPECT_NO_THROW(check_all_pairs_size(1000));
}
