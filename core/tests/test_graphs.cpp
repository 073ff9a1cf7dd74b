#include "quellostrin/domains/graphs.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <set>
#include <utility>
#include <vector>

using namespace quellostrin;

namespace {

using Pairs = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

// The undirected edges as the entry points list them: u < v, grouped by u.
Pairs listed(const CsrGraph& g) {
  Pairs out;
  for (const Edge& e : g.edges()) {
    EXPECT_NE(e.u, e.v) << "self-loop";
    EXPECT_EQ(e.w, 1.0);
    if (e.u < e.v) out.emplace_back(e.u, e.v);
  }
  return out;
}

// Checks the graph is simple (no self-loop, no duplicate) and returns its edges.
Pairs simple_edges(const CsrGraph& g, std::uint64_t n) {
  EXPECT_EQ(g.node_count(), n);
  Pairs edges = listed(g);
  EXPECT_EQ(std::set(edges.begin(), edges.end()).size(), edges.size()) << "duplicate edge";
  EXPECT_EQ(g.entry_count(), 2 * edges.size());
  return edges;
}

}  // namespace

TEST(ErdosRenyi, EdgeCountsAndDeterminism) {
  EXPECT_EQ(erdos_renyi(0, 1.0, 1).node_count(), 0u);
  EXPECT_TRUE(simple_edges(erdos_renyi(1, 1.0, 1), 1).empty());
  EXPECT_EQ(simple_edges(erdos_renyi(9, 1.0, 2), 9).size(), 36u);
  EXPECT_TRUE(simple_edges(erdos_renyi(9, 0.0, 2), 9).empty());
  EXPECT_TRUE(simple_edges(erdos_renyi(9, kNaN, 2), 9).empty());
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    const Pairs edges = simple_edges(erdos_renyi(30, 0.2, seed), 30);
    EXPECT_TRUE(std::is_sorted(edges.begin(), edges.end()));
    EXPECT_EQ(listed(erdos_renyi(30, 0.2, seed)), edges);
  }
}

TEST(WattsStrogatz, RefusalsAndLattice) {
  for (const std::uint64_t k : {5, 3, 6}) {
    EXPECT_EQ(input_error([k] { watts_strogatz(5, k, 0.5, 1); }), "k must be even and < n") << k;
  }
  EXPECT_EQ(simple_edges(watts_strogatz(5, 4, 0.5, 1), 5).size(), 10u);
  EXPECT_TRUE(simple_edges(watts_strogatz(5, 0, 0.5, 1), 5).empty());

  // beta = 0 leaves the ring lattice: u next to u +- 1 .. u +- k/2 (mod n).
  const std::uint64_t n = 11, k = 6;
  const Pairs lattice = simple_edges(watts_strogatz(n, k, 0.0, 9), n);
  std::set<std::pair<std::uint64_t, std::uint64_t>> expected;
  for (std::uint64_t u = 0; u < n; ++u) {
    for (std::uint64_t j = 1; j <= k / 2; ++j) expected.insert(std::minmax(u, (u + j) % n));
  }
  EXPECT_EQ(std::set(lattice.begin(), lattice.end()), expected);
}

TEST(WattsStrogatz, RewiringKeepsTheEdgeCountAndSmallerEnd) {
  // A rewired pair keeps its smaller end and is never touched again, so a
  // node ends with at least as many edges as lattice pairs it is the smaller end of.
  std::vector<std::uint64_t> smaller_end(12);
  for (const auto& [u, v] : listed(watts_strogatz(12, 4, 0.0, 0))) ++smaller_end[u];
  for (const double beta : {0.3, 1.0, kNaN}) {
    for (std::uint64_t seed = 0; seed < 10; ++seed) {
      const auto g = watts_strogatz(12, 4, beta, seed);
      const Pairs edges = simple_edges(g, 12);
      EXPECT_EQ(edges.size(), 24u);
      EXPECT_EQ(listed(watts_strogatz(12, 4, beta, seed)), edges);
      for (std::uint64_t u = 0; u < 12; ++u) EXPECT_GE(g.neighbors(u).size(), smaller_end[u]) << u;
    }
  }
  // A NaN beta rewires every pair, so the graph differs from the lattice.
  EXPECT_NE(listed(watts_strogatz(12, 4, kNaN, 3)), listed(watts_strogatz(12, 4, 0.0, 3)));
}

TEST(BarabasiAlbert, RefusalsCountsAndAttachment) {
  EXPECT_EQ(input_error([] { barabasi_albert(3, 3, 1); }), "need n > m >= 1");
  EXPECT_EQ(input_error([] { barabasi_albert(3, 0, 1); }), "need n > m >= 1");
  for (std::uint64_t seed = 0; seed < 10; ++seed) EXPECT_EQ(listed(barabasi_albert(2, 1, seed)), (Pairs{{0, 1}}));

  for (const std::uint64_t m : {1, 2, 4}) {
    for (std::uint64_t seed = 0; seed < 5; ++seed) {
      const std::uint64_t n = 20;
      const auto g = barabasi_albert(n, m, seed);
      const Pairs edges = simple_edges(g, n);
      EXPECT_EQ(edges.size(), m * (m - 1) / 2 + (n - m) * m);
      EXPECT_EQ(listed(barabasi_albert(n, m, seed)), edges);
      // Every new node has exactly m distinct earlier neighbours.
      for (std::uint64_t t = m; t < n; ++t) {
        std::uint64_t earlier = 0;
        for (const auto& [v, w] : g.neighbors(t)) earlier += v < t;
        EXPECT_EQ(earlier, m) << t;
      }
    }
  }
}

TEST(RandomGraphs, HopelessSizesAreRefusedBeforeDrawing) {
  EXPECT_THROW(erdos_renyi(std::uint64_t{1} << 40, 0.0, 1), std::bad_alloc);
  EXPECT_THROW(watts_strogatz(std::uint64_t{1} << 40, 2, 0.5, 1), std::bad_alloc);
  EXPECT_THROW(watts_strogatz(std::uint64_t{1} << 33, (std::uint64_t{1} << 33) - 2, 0.5, 1), std::bad_alloc);
  EXPECT_THROW(barabasi_albert(std::uint64_t{1} << 62, std::uint64_t{1} << 61, 1), std::bad_alloc);
  EXPECT_THROW(barabasi_albert(std::uint64_t{1} << 40, 1, 1), std::bad_alloc);
}

// Produced by this implementation once checked by hand against the draws: the
// doubles of seed 1 (0.40 0.08 0.60 0.22 0.28 0.71) for erdos_renyi, and the
// first attachments of seed 13 (indices 0 1, then 0 1 below 6). Order included.
TEST(RandomGraphs, Golden) {
  EXPECT_EQ(listed(erdos_renyi(4, 0.5, 1)), (Pairs{{0, 1}, {0, 2}, {1, 2}, {1, 3}}));
  EXPECT_EQ(listed(watts_strogatz(8, 4, 0.3, 12)),
            (Pairs{{0, 6}, {0, 7}, {0, 3}, {0, 1}, {1, 2}, {1, 3}, {1, 7}, {2, 4}, {2, 6}, {3, 4}, {3, 5}, {4, 5},
                   {4, 6}, {5, 6}, {5, 7}, {6, 7}}));
  EXPECT_EQ(listed(barabasi_albert(8, 2, 13)), (Pairs{{0, 1}, {0, 2}, {0, 3}, {0, 5}, {1, 2}, {1, 3}, {1, 4}, {3, 4},
                                                     {4, 5}, {4, 6}, {4, 7}, {5, 6}, {5, 7}}));
}
