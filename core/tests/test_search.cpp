// The frontier driver's own rules, on graphs small enough to follow by hand;
// what it shares with the other strategies is in test_strategies.cpp.
#include "quellostrin/search/search.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/domains/csr.hpp"

using namespace quellostrin;
using oracle::nodes_of;
using oracle::table_h;
using Tree = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

// Ties in each discipline: FIFO and LIFO by push order, the priority queue by
// push order among equal priorities (the f tie 6 = 6 of A*), and a trace
// step's frontier size is taken before the node's successors are pushed.
TEST(Driver, EachKindExpandsInItsOwnOrder) {
  auto g = directed(4, {{0, 1, 5.0}, {0, 2, 1.0}, {1, 3, 1.0}, {2, 3, 10.0}});
  const auto h = table_h({{1, 1.0}, {2, 5.0}});
  const std::pair<AlgorithmKind, Trace> cases[] = {
      {AlgorithmKind::bfs(), {{0, 0.0, 0}, {1, 5.0, 1}, {2, 1.0, 1}, {3, 6.0, 0}}},
      {AlgorithmKind::dfs(), {{0, 0.0, 0}, {2, 1.0, 1}, {3, 11.0, 1}}},  // last-listed successor first
      {AlgorithmKind::dijkstra(), {{0, 0.0, 0}, {2, 1.0, 1}, {1, 5.0, 1}, {3, 6.0, 1}}},
      {AlgorithmKind::greedy(), {{0, 0.0, 0}, {1, 5.0, 1}, {3, 6.0, 1}}},  // by h; the cost is still g
      {AlgorithmKind::astar(), {{0, 0.0, 0}, {1, 5.0, 1}, {2, 1.0, 1}, {3, 6.0, 0}}},
      {AlgorithmKind::weighted_astar(0.5), {{0, 0.0, 0}, {2, 1.0, 1}, {1, 5.0, 1}, {3, 6.0, 1}}},
  };
  for (const auto& [kind, trace] : cases) {
    SCOPED_TRACE(kind.label);
    auto r = search_with_options(g, 0, 3, kind, h, {.record = true});
    EXPECT_EQ(r.trace, trace);
    EXPECT_EQ(r.cost, trace.back().g);
  }
}

// 1 is first reached at 2 from 0, then improved to 1.5 through 2, which
// re-parents it and pushes it again; 3 is reached through 2 at its old cost 1,
// which changes nothing. The stale entry of 1 is turned away when popped.
TEST(Driver, ImprovementsRepushAndReparentEqualCostsDoNot) {
  auto g = directed(5, {{0, 1, 2.0}, {0, 2, 1.0}, {0, 3, 1.0}, {2, 1, 0.5}, {2, 3, 0.0}, {4, 0, 1.0}});
  auto r = search_with_options(g, 0, 4, AlgorithmKind::dijkstra(), Zero{}, {.record = true});
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0}, {2, 1.0, 2}, {3, 1.0, 2}, {1, 1.5, 1}}));
  EXPECT_EQ(r.tree, (Tree{{2, 1}, {0, 2}, {0, 3}}));  // in discovery order, each with its final parent
  EXPECT_EQ(r.nodes_generated, 5u);
  EXPECT_EQ(r.nodes_expanded, 4u);
  EXPECT_EQ(r.max_frontier_size, 3u);
}

// Admissible but inconsistent h: B is closed at g 3 before the cheaper route
// through A is found; only with reopening is it expanded again.
TEST(Driver, ReopeningWithAnInconsistentHeuristic) {
  const std::uint64_t S = 0, A = 1, B = 2, G = 3;
  auto g = directed(4, {{S, A, 1.0}, {S, B, 3.0}, {A, B, 1.0}, {B, G, 5.0}});
  const auto h = table_h({{A, 4.0}});
  for (const bool dense : {false, true}) {
    auto on = search_with_options(g, S, G, AlgorithmKind::astar(), h, {.record = true, .reopen = true, .dense = dense});
    EXPECT_EQ(on.path, (Path{S, A, B, G}));
    EXPECT_EQ(on.cost, 7.0);
    EXPECT_EQ(on.nodes_reopened, 1u);
    EXPECT_EQ(on.trace.size(), 5u);  // S, B, A, B again, G

    auto off = search_with_options(g, S, G, AlgorithmKind::astar(), h, {.dense = dense});
    EXPECT_EQ(off.path, (Path{S, B, G}));
    EXPECT_EQ(off.cost, 8.0);
    EXPECT_EQ(off.nodes_reopened, 0u);
  }
}

// h_weight 0 times an infinite estimate is NaN: the priority queue then
// serves entries in push order, like a FIFO.
TEST(Driver, NaNPrioritiesFallBackToPushOrder) {
  auto g = directed(5, {{0, 1, 9.0}, {0, 2, 1.0}, {1, 3, 1.0}, {2, 4, 1.0}});
  const auto infinite = table_h({{0, kInf}, {1, kInf}, {2, kInf}, {3, kInf}, {4, kInf}});
  auto r = search_with_options(g, 0, 4, AlgorithmKind::ucs(), infinite, {.record = true});
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0}, {1, 9.0, 1}, {2, 1.0, 1}, {3, 10.0, 1}, {4, 2.0, 0}}));
}

TEST(PathCost, CheapestParallelEdgeAndNaNForMissingSteps) {
  auto g = directed(3, {{0, 1, 3.0}, {0, 1, 2.0}, {1, 2, kInf}});
  EXPECT_EQ(path_cost(g, Path{0, 1}), 2.0);
  EXPECT_EQ(path_cost(g, Path{0}), 0.0);
  EXPECT_TRUE(std::isnan(path_cost(g, Path{1, 0})));
  EXPECT_TRUE(std::isnan(path_cost(g, Path{0, 1, 2})));  // only an infinite edge
}
