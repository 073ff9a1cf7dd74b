#include "quellostrin/strategies/dls.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/graph/csr.hpp"

using namespace quellostrin;

namespace {

// Depth-limited search written straight from its definition, by recursion:
// visit (count, trace at the current depth, goal test), then, below the
// limit, try every successor not on the current path.
struct RecursiveDls {
  std::vector<std::vector<std::pair<std::uint64_t, double>>> adj;
  std::uint64_t goal;
  Path on_path;
  Trace trace;
  std::uint64_t expanded = 0, generated = 1, deepest = 1;

  bool visit(std::uint64_t node, double g, std::uint64_t depth_left) {
    ++expanded;
    trace.push_back({node, g, on_path.size()});
    if (node == goal) {
      on_path.push_back(node);
      return true;
    }
    if (depth_left == 0) return false;
    on_path.push_back(node);
    deepest = std::max<std::uint64_t>(deepest, on_path.size());
    for (auto [v, w] : adj[node]) {
      if (std::find(on_path.begin(), on_path.end(), v) != on_path.end()) continue;
      ++generated;
      if (visit(v, g + w, depth_left - 1)) return true;
    }
    on_path.pop_back();
    return false;
  }
};

void expect_counters(const SearchResult<std::uint64_t>& r, std::uint64_t expanded, std::uint64_t generated,
                     std::uint64_t max_frontier) {
  EXPECT_EQ(r.nodes_expanded, expanded);
  EXPECT_EQ(r.nodes_generated, generated);
  EXPECT_EQ(r.max_frontier_size, max_frontier);
  EXPECT_EQ(r.nodes_reopened, 0u);
  EXPECT_TRUE(r.tree.empty());
}

}  // namespace

TEST(Dls, LimitZeroVisitsTheStartWithoutFetchingItsSuccessors) {
  auto g = directed(2, {{0, 1, 1.0}});
  oracle::CountingGraph counting{g};
  auto r = dls(counting, 0, 1, 0, true);
  EXPECT_FALSE(r.found());
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  expect_counters(r, 1, 1, 1);
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0}}));
  EXPECT_EQ(counting.fetches, 0u);
}

TEST(Dls, GoalExactlyAtTheLimitIsFoundAndOneBeyondIsNot) {
  auto chain = directed(4, {{0, 1, 1.0}, {1, 2, 2.0}, {2, 3, 4.0}});
  oracle::CountingGraph counting{chain};
  auto at = dls(counting, 0, 3, 3, true);
  EXPECT_EQ(at.path, (Path{0, 1, 2, 3}));
  EXPECT_EQ(at.cost, 7.0);
  EXPECT_EQ(at.stop_reason, StopReason::Goal);
  expect_counters(at, 4, 4, 3);  // the goal is tested before the depth, and never pushed
  EXPECT_EQ(at.trace, (Trace{{0, 0.0, 0}, {1, 1.0, 1}, {2, 3.0, 2}, {3, 7.0, 3}}));

  counting.fetches = 0;
  auto beyond = dls(counting, 0, 3, 2, false);
  EXPECT_FALSE(beyond.found());
  EXPECT_EQ(beyond.cost, kInf);
  EXPECT_EQ(beyond.stop_reason, StopReason::Exhausted);
  expect_counters(beyond, 3, 3, 2);
  EXPECT_EQ(counting.fetches, 2u);  // node 2, at the limit, is visited but not expanded
  EXPECT_TRUE(beyond.trace.empty());
}

TEST(Dls, SelfLoopsAndBackEdgesAreSkippedWithoutBeingCounted) {
  auto g = directed(4, {{0, 0, 1.0}, {0, 1, 1.0}, {1, 0, 1.0}, {1, 1, 1.0}, {1, 2, 1.0}, {2, 0, 1.0}, {2, 1, 1.0}});
  auto r = dls(g, 0, 3, 50, true);
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  expect_counters(r, 3, 3, 3);
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0}, {1, 1.0, 1}, {2, 2.0, 2}}));
}

TEST(Dls, NodeOnTwoSimplePathsIsExpandedOncePerPath) {
  auto diamond = directed(5, {{0, 1, 1.0}, {0, 2, 5.0}, {1, 3, 1.0}, {2, 3, 1.0}, {3, 4, 1.0}});
  auto r = dls(diamond, 0, 4, 2, true);  // 4 lies beyond the limit
  expect_counters(r, 5, 5, 2);
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0}, {1, 1.0, 1}, {3, 2.0, 2}, {2, 5.0, 1}, {3, 6.0, 2}}));
}

// The search follows the first listed of two parallel edges; the reported
// cost takes the cheapest.
TEST(Dls, CostIsRecomputedFromThePath) {
  auto g = directed(2, {{0, 1, 5.0}, {0, 1, 2.0}});
  auto r = dls(g, 0, 1, 1, true);
  EXPECT_EQ(r.trace.back(), (TraceStep<std::uint64_t>{1, 5.0, 1}));
  EXPECT_EQ(r.cost, 2.0);
}

TEST(Dls, DeepChainRunsOnAnExplicitStack) {
  constexpr std::uint64_t n = 100'000;
  std::vector<Edge> edges;
  for (std::uint64_t i = 0; i + 1 < n; ++i) edges.push_back({i, i + 1, 1.0});
  auto chain = directed(n + 1, edges);  // node n is isolated

  auto found = dls(chain, 0, n - 1, 200'000, false);
  ASSERT_TRUE(found.found());
  EXPECT_EQ(found.path->size(), n);
  EXPECT_EQ(found.path->back(), n - 1);
  EXPECT_EQ(found.cost, double(n - 1));
  expect_counters(found, n, n, n - 1);

  auto missing = dls(chain, 0, n, 200'000, false);
  EXPECT_FALSE(missing.found());
  expect_counters(missing, n, n, n);
}

// On a 3-cycle with an unreachable goal, depth d visits min(d, 2) + 1 nodes.
TEST(Iddfs, UnreachableGoalRunsEveryDepthAndSumsTheIterations) {
  auto cycle = directed(4, {{0, 1, 1.0}, {1, 2, 1.0}, {2, 0, 1.0}});
  auto r = iddfs(cycle, 0, 3, 4, true);
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  expect_counters(r, 1 + 2 + 3 + 3 + 3, 12, 3);
  Trace expected;
  for (std::uint64_t d = 0; d <= 4; ++d) {
    for (std::uint64_t k = 0; k <= std::min<std::uint64_t>(d, 2); ++k) expected.push_back({k, double(k), k});
  }
  EXPECT_EQ(r.trace, expected);

  auto once = iddfs(cycle, 0, 3, 0, true);
  expect_counters(once, 1, 1, 1);
  EXPECT_EQ(once.trace, (Trace{{0, 0.0, 0}}));
}

TEST(Iddfs, FindsTheFewestEdgesThenTheFirstInSuccessorOrder) {
  // Depth-first order would reach 3 through 1 and 2 first; 0 -> 4 -> 3 and
  // 0 -> 5 -> 3 tie at two edges.
  auto g = directed(6, {{0, 1, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}, {0, 4, 9.0}, {0, 5, 1.0}, {4, 3, 9.0}, {5, 3, 1.0}});
  auto r = iddfs(g, 0, 3, 10, true);
  EXPECT_EQ(r.path, (Path{0, 4, 3}));
  EXPECT_EQ(r.cost, 18.0);
  // Depth 0: {0}. Depth 1: 0, 1, 4, 5. Depth 2: 0, 1, 2, 4, 3.
  expect_counters(r, 1 + 4 + 5, 1 + 4 + 5, 2);
  EXPECT_EQ(r.stop_reason, StopReason::Goal);
}

TEST(Dls, AgreesWithTheRecursiveDefinitionOnRandomGraphs) {
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed, 16, 2.0);
    const auto hops = oracle::bfs_hops(rg, start);

    std::uint64_t iter_expanded = 0, iter_generated = 0, iter_deepest = 0;
    const std::uint64_t max_depth = 5;
    SearchResult<std::uint64_t> first_hit;
    for (std::uint64_t limit = 0; limit <= max_depth; ++limit) {
      SCOPED_TRACE(limit);
      RecursiveDls ref{oracle::adjacency(rg), goal};
      const bool ref_found = ref.visit(start, 0.0, limit);
      auto r = dls(g, start, goal, limit, true);
      EXPECT_EQ(r.found(), ref_found);
      if (ref_found) {
        EXPECT_EQ(r.path, ref.on_path);
      }
      EXPECT_EQ(r.trace, ref.trace);
      expect_counters(r, ref.expanded, ref.generated, ref.deepest);
      // Found within the limit exactly when the goal is that close.
      EXPECT_EQ(r.found(), hops[goal] >= 0 && std::uint64_t(hops[goal]) <= limit);
      if (r.found()) {
        EXPECT_EQ(r.cost, path_cost(g, *r.path));
      }

      if (!first_hit.found()) {
        iter_expanded += r.nodes_expanded;
        iter_generated += r.nodes_generated;
        iter_deepest = std::max(iter_deepest, r.max_frontier_size);
        if (r.found()) first_hit = r;
      }
    }

    auto it = iddfs(g, start, goal, max_depth, false);
    EXPECT_EQ(it.path, first_hit.path);
    expect_counters(it, iter_expanded, iter_generated, iter_deepest);
    if (it.found()) {
      EXPECT_EQ(std::int64_t(it.path->size()) - 1, hops[goal]);  // fewest edges
      EXPECT_TRUE(oracle::is_real_path(rg, *it.path));
      EXPECT_EQ(it.cost, path_cost(g, *it.path));
    }
  }
}
