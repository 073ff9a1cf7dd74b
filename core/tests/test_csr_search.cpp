// csr_search against the general frontier driver over the same graph and
// algorithm under the zero heuristic: every field of the result but the
// elapsed time, on random graphs with parallel edges, self-loops, tied, zero,
// negative and infinite weights, directed and undirected, under every
// priority-queue algorithm, with and without a trace, with node limits that
// cut the search anywhere and stop hooks whose polls are counted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/domains/csr_search.hpp"
#include "table.hpp"

using namespace quellostrin;

TEST(CsrSearch, SameResultsAsTheGeneralDriver) {
  struct Case {
    std::uint64_t nodes, edges;
    std::vector<double> weights;
    int queries;
  };
  const Case cases[] = {
      {1, 0, {1.0}, 1},
      {1, 3, {0.0, 2.0}, 2},
      {5, 12, {1.0, 2.0}, 6},
      {20, 60, {0.0, 1.0, 1.0, 2.5, 3.0}, 6},
      {30, 70, {1.0, 2.0, -0.0, kInf}, 6},           // labels of +inf under non-negative weights
      {40, 100, {-1.0, 0.5, 2.0, 3.0, 0.0}, 6},      // negative weights: nodes improved while open
      {60, 400, {-3.25, -0.5, 1.0, 7.0, 1e300}, 4},  // large, but far from overflowing
      {200, 700, {1.0, 1.5, 2.0, 4.0, 8.0}, 4},
      {500, 1500, {0.0, 1.0, 2.0, 3.0}, 2},
  };
  std::mt19937 rng(23);
  std::uint64_t searched = 0;
  for (const Case& c : cases) {
    for (int i = 0; i < c.queries; ++i) {
      const bool undirected = rng() % 2 == 0;
      const CsrGraph g = CsrGraph::from_edges(c.nodes, oracle::random_edges(rng, c.nodes, c.edges, c.weights), undirected);
      const std::uint64_t s = rng() % c.nodes;
      const std::uint64_t t = rng() % 8 == 0 ? s : rng() % c.nodes;
      SCOPED_TRACE(testing::Message() << c.nodes << " nodes, query " << i << (undirected ? " undirected" : ""));
      for (const AlgorithmKind& kind : table::kPriorityKinds) {
        SCOPED_TRACE(testing::Message() << kind.label << " weight " << kind.h_weight);
        // Greedy under infinite weights could meet 0 * inf: the general driver's.
        if (!csr_search_applies(g, s, t, kind, {})) {
          EXPECT_TRUE(kind.g_weight == 0.0 && c.weights.back() == kInf);
          continue;
        }
        ++searched;
        table::expect_fast_path_same(
            rng, [&](const SearchOptions& o) { return csr_search(g, s, t, kind, o); },
            [&](const SearchOptions& o) { return search_with_options(g, s, t, kind, Zero{}, o); });
      }
    }
  }
  EXPECT_GT(searched, 200u);
}

// run_algo takes the special path for the priority-queue algorithms under the
// zero heuristic only where no priority can be NaN and no reopening is asked
// for; everywhere else the general driver runs, with its results.
TEST(CsrSearch, DispatchKeepsTheGeneralDriverElsewhere) {
  const double nan = std::nan("");
  const double huge = std::numeric_limits<double>::max() / 4;
  auto graph = [](std::vector<double> w) {
    return CsrGraph::from_edges(4, {{{0, 1, w[0]}, {1, 2, w[1]}, {2, 3, w[2]}, {0, 2, w[3]}, {2, 2, w[4]}}}, false);
  };
  const CsrGraph plain = graph({1.0, 2.0, 0.0, 3.5, 1.0});
  const SearchOptions so{.record = true, .dense = true};
  EXPECT_TRUE(csr_search_applies(plain, 0, 3, AlgorithmKind::dijkstra(), so));
  EXPECT_TRUE(csr_search_applies(plain, 0, 3, AlgorithmKind::greedy(), so));
  EXPECT_FALSE(csr_search_applies(plain, 0, 3, AlgorithmKind::bfs(), so));
  EXPECT_FALSE(csr_search_applies(plain, 0, 3, AlgorithmKind::dfs(), so));
  EXPECT_FALSE(csr_search_applies(plain, 0, 3, AlgorithmKind::dijkstra(), {.reopen = true}));
  EXPECT_FALSE(csr_search_applies(plain, 4, 3, AlgorithmKind::dijkstra(), so));
  EXPECT_FALSE(csr_search_applies(plain, 0, 4, AlgorithmKind::dijkstra(), so));
  EXPECT_FALSE(csr_search_applies(plain, 0, 3, AlgorithmKind::weighted_astar(kInf), so));
  EXPECT_FALSE(csr_search_applies(plain, 0, 3, AlgorithmKind::weighted_astar(nan), so));

  // Weights that could make a priority NaN, under every algorithm: a NaN
  // weight; -inf beside a positive weight; finite weights whose sums could
  // overflow.
  const CsrGraph prone[] = {graph({1.0, nan, 0.0, 3.5, 1.0}), graph({1.0, -kInf, 2.0, 3.5, 1.0}),
                            graph({huge, huge, -1.0, huge, 1.0})};
  for (const CsrGraph& g : prone) {
    for (const auto& kind : {AlgorithmKind::dijkstra(), AlgorithmKind::greedy(), AlgorithmKind::astar()}) {
      EXPECT_FALSE(csr_search_applies(g, 0, 3, kind, so)) << kind.label;
    }
  }
  // An edge of weight +inf is no edge, so it brings no label to +inf.
  const CsrGraph infinite = graph({1.0, kInf, 0.0, kInf, 1.0});
  EXPECT_EQ(infinite.entry_count(), 3u);
  EXPECT_TRUE(csr_search_applies(infinite, 0, 3, AlgorithmKind::greedy(), so));

  for (const CsrGraph* g : {&plain, &infinite, &prone[0], &prone[2]}) {
    table::expect_dispatch_same(*g, Zero{}, std::uint64_t{0}, std::uint64_t{3});
  }
}
