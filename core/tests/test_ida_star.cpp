#include "quellostrin/strategies/ida_star.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/graph/csr.hpp"

using namespace quellostrin;

namespace {

// IDA* written straight from its definition, by recursion: a visit returns
// either "found" or the smallest f pruned below it.
struct RecursiveIda {
  std::vector<std::vector<std::pair<std::uint64_t, double>>> adj;
  std::function<double(std::uint64_t)> h;
  std::uint64_t goal;
  Path on_path;
  Trace trace;
  std::uint64_t expanded = 0, generated = 1, deepest = 1, passes = 0;

  static double min_real(double a, double b) { return std::isnan(a) ? b : std::isnan(b) ? a : std::min(a, b); }

  std::pair<bool, double> visit(std::uint64_t node, double g, double bound) {
    const double f = g + h(node);
    if (f > bound) return {false, f};
    ++expanded;
    trace.push_back({node, g, on_path.size()});
    on_path.push_back(node);
    if (node == goal) return {true, 0.0};
    deepest = std::max<std::uint64_t>(deepest, on_path.size());
    double least = kInf;
    for (auto [v, w] : adj[node]) {
      if (std::find(on_path.begin(), on_path.end(), v) != on_path.end()) continue;
      ++generated;
      auto [found, t] = visit(v, g + w, bound);
      if (found) return {true, 0.0};
      least = min_real(least, t);
    }
    on_path.pop_back();
    return {false, least};
  }

  bool run(std::uint64_t start) {
    double bound = h(start);
    for (;;) {
      ++passes;
      auto [found, next] = visit(start, 0.0, bound);
      if (found) return true;
      if (std::isinf(next)) return false;
      bound = next;
    }
  }
};

// The deepest g expanded in each pass; a pass starts where the trace shows
// the start at depth 0.
std::vector<double> deepest_g_per_pass(const Trace& trace) {
  std::vector<double> out;
  for (const auto& s : trace) {
    if (s.frontier_size == 0) out.push_back(*s.g);
    out.back() = std::max(out.back(), *s.g);
  }
  return out;
}

}  // namespace

TEST(IdaStar, ZeroHeuristicOnUnitCostsRaisesTheBoundOneEdgeAtATime) {
  auto g = directed(5, {{0, 1, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}, {0, 4, 1.0}});
  auto r = ida_star(g, Zero{}, 0, 3, true);
  EXPECT_EQ(r.path, (Path{0, 1, 2, 3}));
  EXPECT_EQ(r.cost, 3.0);
  EXPECT_EQ(r.stop_reason, StopReason::Goal);
  EXPECT_EQ(deepest_g_per_pass(r.trace), (std::vector<double>{0.0, 1.0, 2.0, 3.0}));
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0},                                     // bound 0
                            {0, 0.0, 0}, {1, 1.0, 1}, {4, 1.0, 1},             // bound 1
                            {0, 0.0, 0}, {1, 1.0, 1}, {2, 2.0, 2}, {4, 1.0, 1},  // bound 2
                            {0, 0.0, 0}, {1, 1.0, 1}, {2, 2.0, 2}, {3, 3.0, 3}}));
  EXPECT_EQ(r.nodes_expanded, 12u);
  EXPECT_EQ(r.nodes_generated, 1u + 2 + 3 + 4 + 3);  // pruned children count as generated
  EXPECT_EQ(r.max_frontier_size, 3u);
  EXPECT_EQ(r.nodes_reopened, 0u);
  EXPECT_TRUE(r.tree.empty());
}

TEST(IdaStar, UnreachableGoalEndsOnceAPassPrunesNothing) {
  auto g = directed(4, {{0, 1, 1.0}, {1, 2, 2.0}});
  auto r = ida_star(g, Zero{}, 0, 3, true);
  EXPECT_FALSE(r.found());
  EXPECT_EQ(r.cost, kInf);
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  EXPECT_EQ(deepest_g_per_pass(r.trace), (std::vector<double>{0.0, 1.0, 3.0}));  // bounds 0, 1, 3
  EXPECT_EQ(r.nodes_expanded, 6u);
  EXPECT_EQ(r.nodes_generated, 6u);
}

TEST(IdaStar, ZeroCostCyclesCannotTrapIt) {
  auto g = directed(4, {{0, 1, 0.0}, {1, 0, 0.0}, {1, 1, 0.0}, {1, 2, 1.0}, {2, 1, 0.0}});
  auto found = ida_star(g, Zero{}, 0, 2, false);
  EXPECT_EQ(found.path, (Path{0, 1, 2}));
  EXPECT_EQ(found.cost, 1.0);
  auto missing = ida_star(g, Zero{}, 0, 3, false);
  EXPECT_EQ(missing.stop_reason, StopReason::Exhausted);
}

// A NaN f is never pruned, and the f pruned two frames down reaches the
// next bound.
TEST(IdaStar, NaNEstimatesAreNeverPruned) {
  auto g = directed(3, {{0, 1, 5.0}, {1, 2, 5.0}});
  oracle::CountingHeuristic h{[](std::uint64_t n) { return n == 1 ? kNaN : 0.0; }};
  auto r = ida_star(g, h, 0, 2, true);
  EXPECT_EQ(r.path, (Path{0, 1, 2}));
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0}, {1, 5.0, 1}, {0, 0.0, 0}, {1, 5.0, 1}, {2, 10.0, 2}}));
  EXPECT_EQ(h.calls, 1u + 3 + 3);  // the first bound, then one per node visited in each pass
}

TEST(IdaStar, DeepChainRunsOnAnExplicitStack) {
  constexpr std::uint64_t n = 100'000;
  std::vector<Edge> edges;
  for (std::uint64_t i = 0; i + 1 < n; ++i) edges.push_back({i, i + 1, 1.0});
  auto chain = directed(n, edges);
  // The exact remaining distance: every f equals the first bound, one pass.
  oracle::CountingHeuristic exact{[](std::uint64_t v) { return double(n - 1 - v); }};
  auto r = ida_star(chain, exact, 0, n - 1, false);
  ASSERT_TRUE(r.found());
  EXPECT_EQ(r.path->size(), n);
  EXPECT_EQ(r.nodes_expanded, n);
  EXPECT_EQ(r.max_frontier_size, n - 1);
}

TEST(IdaStar, AgreesWithTheRecursiveDefinitionAndDijkstraOnRandomGraphs) {
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed, 20, 2.5);
    const auto dist = oracle::dijkstra(rg, start);

    // The zero heuristic, and an admissible one when the graph is undirected
    // (half the true remaining distance, which is symmetric there).
    std::vector<std::function<double(std::uint64_t)>> heuristics{[](std::uint64_t) { return 0.0; }};
    if (rg.undirected) {
      auto to_goal = oracle::dijkstra(rg, goal);
      heuristics.push_back([to_goal](std::uint64_t v) { return 0.5 * to_goal[v]; });
    }
    for (const auto& h : heuristics) {
      RecursiveIda ref{oracle::adjacency(rg), h, goal};
      const bool ref_found = ref.run(start);
      oracle::CountingHeuristic counting{h};
      auto r = ida_star(g, counting, start, goal, true);

      EXPECT_EQ(r.found(), dist[goal] != kInf);
      EXPECT_EQ(r.found(), ref_found);
      EXPECT_EQ(r.trace, ref.trace);
      EXPECT_EQ(r.nodes_expanded, ref.expanded);
      EXPECT_EQ(r.nodes_generated, ref.generated);
      EXPECT_EQ(r.max_frontier_size, ref.deepest);
      // One estimate for the first bound, then one per node visited.
      EXPECT_EQ(counting.calls, ref.passes + r.nodes_generated);
      if (r.found()) {
        EXPECT_EQ(r.path, ref.on_path);
        EXPECT_EQ(r.cost, dist[goal]);  // optimal under an admissible heuristic
        EXPECT_TRUE(oracle::is_real_path(rg, *r.path));
        EXPECT_EQ(r.cost, path_cost(g, *r.path));
      }
    }
  }
}
