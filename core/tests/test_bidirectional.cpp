#include "quellostrin/strategies/bidirectional.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <set>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/graph/csr.hpp"

using namespace quellostrin;

namespace {

constexpr auto kNoG = std::nullopt;

CsrGraph undirected(std::uint64_t n, std::vector<Edge> edges) { return CsrGraph::from_edges(n, edges, true); }

}  // namespace

TEST(Bidirectional, StartEqualsGoalExpandsNothing) {
  auto g = undirected(2, {{0, 1, 1.0}});
  oracle::CountingGraph counting{g};
  auto r = bidirectional(counting, 1, 1, true);
  EXPECT_EQ(r.path, Path{1});
  EXPECT_EQ(r.cost, 0.0);
  EXPECT_EQ(r.stop_reason, StopReason::Goal);
  EXPECT_EQ(r.nodes_expanded, 0u);
  EXPECT_EQ(r.nodes_generated, 1u);
  EXPECT_EQ(r.max_frontier_size, 1u);
  EXPECT_TRUE(r.trace.empty());
  EXPECT_EQ(counting.fetches, 0u);
}

TEST(Bidirectional, GoalNextToTheStartMeetsInTheFirstLayer) {
  auto g = directed(4, {{0, 1, 1.0}, {0, 2, 4.0}, {0, 3, 1.0}});
  auto r = bidirectional(g, 0, 2, true);
  EXPECT_EQ(r.path, (Path{0, 2}));
  EXPECT_EQ(r.cost, 4.0);
  EXPECT_EQ(r.nodes_expanded, 1u);
  EXPECT_EQ(r.nodes_generated, 2u + 3);
  EXPECT_EQ(r.max_frontier_size, 2u);  // the meeting layer does not count
  EXPECT_EQ(r.trace, (Trace{{0, kNoG, 0}}));
  EXPECT_EQ(r.nodes_reopened, 0u);
  EXPECT_TRUE(r.tree.empty());
}

// Start 0 and goal 4 share the neighbours 1, 2, 3; the backward layer meets
// all three. Through 1 costs 6, through 2 and 3 costs 3 each.
TEST(Bidirectional, CheapestMeetingNodeWinsAndTiesKeepTheFirst) {
  auto g = undirected(5, {{0, 1, 1.0}, {1, 4, 5.0}, {0, 2, 2.0}, {2, 4, 1.0}, {0, 3, 1.0}, {3, 4, 2.0}});
  auto r = bidirectional(g, 0, 4, true);
  EXPECT_EQ(r.path, (Path{0, 2, 4}));
  EXPECT_EQ(r.cost, 3.0);
  EXPECT_EQ(r.nodes_expanded, 2u);
  EXPECT_EQ(r.nodes_generated, 2u + 3 + 3);
  EXPECT_EQ(r.max_frontier_size, 3u);
  EXPECT_EQ(r.trace, (Trace{{0, kNoG, 0}, {4, kNoG, 0}}));
}

// On a directed graph the goal side follows the goal's successors, so a
// joined path may run against an edge; its cost is then NaN, and a candidate
// with a real cost is preferred whichever comes first.
TEST(Bidirectional, DirectedJoinsAgainstAnEdgeCostNaN) {
  const std::uint64_t S = 0, X = 1, Y = 2, G = 3;
  for (bool y_first : {true, false}) {
    SCOPED_TRACE(y_first);
    std::vector<Edge> edges{{S, Y, 1.0}, {S, X, 1.0}, {X, G, 1.0}};
    if (y_first) {
      edges.insert(edges.end(), {{G, Y, 1.0}, {G, X, 1.0}});
    } else {
      edges.insert(edges.end(), {{G, X, 1.0}, {G, Y, 1.0}});
    }
    auto r = bidirectional(directed(4, edges), S, G, false);
    EXPECT_EQ(r.path, (Path{S, X, G}));
    EXPECT_EQ(r.cost, 2.0);
  }

  // No real candidate: the path is reported with cost NaN; among NaN costs
  // each later candidate displaces the one before.
  auto against = directed(4, {{S, X, 1.0}, {S, Y, 1.0}, {G, X, 1.0}, {G, Y, 1.0}});
  auto r = bidirectional(against, S, G, false);
  EXPECT_EQ(r.stop_reason, StopReason::Goal);
  EXPECT_EQ(r.path, (Path{S, Y, G}));
  EXPECT_TRUE(std::isnan(r.cost));
}

TEST(Bidirectional, DisconnectedStartAndGoalExhaustOneSide) {
  auto g = undirected(4, {{0, 1, 1.0}, {2, 3, 1.0}});
  oracle::CountingGraph counting{g};
  auto r = bidirectional(counting, 0, 3, true);
  EXPECT_FALSE(r.found());
  EXPECT_EQ(r.cost, kInf);
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  // Forward {0} finds 1; forward {1} finds nothing new.
  EXPECT_EQ(r.trace, (Trace{{0, kNoG, 0}, {1, kNoG, 0}}));
  EXPECT_EQ(r.nodes_expanded, 2u);
  EXPECT_EQ(r.nodes_generated, 3u);
  EXPECT_EQ(r.max_frontier_size, 2u);
  EXPECT_EQ(counting.fetches, 2u);
}

TEST(Bidirectional, AgreesWithBreadthFirstSearchOnRandomGraphs) {
  for (std::uint64_t seed = 0; seed < 400; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed);
    const auto hops = oracle::bfs_hops(rg, start);

    oracle::CountingGraph counting{g};
    auto r = bidirectional(counting, start, goal, true);
    EXPECT_EQ(r.trace.size(), start == goal ? 0 : r.nodes_expanded);
    for (const auto& step : r.trace) EXPECT_FALSE(step.g.has_value());
    EXPECT_GE(r.max_frontier_size, start == goal ? 1u : 2u);
    if (r.found()) {
      EXPECT_EQ(r.path->front(), start);
      EXPECT_EQ(r.path->back(), goal);
      EXPECT_EQ(std::set<std::uint64_t>(r.path->begin(), r.path->end()).size(), r.path->size());
      const double cost = path_cost(g, *r.path);
      EXPECT_TRUE(r.cost == cost || (std::isnan(r.cost) && std::isnan(cost)));
    } else {
      EXPECT_EQ(counting.fetches, r.nodes_expanded);  // one fetch per expanded node, nothing else
    }

    if (!rg.undirected) continue;
    // Symmetric successors: a real path with the fewest edges, found exactly
    // when the goal is reachable.
    EXPECT_EQ(r.found(), hops[goal] >= 0);
    if (r.found()) {
      EXPECT_EQ(std::int64_t(r.path->size()) - 1, hops[goal]);
      EXPECT_TRUE(oracle::is_real_path(rg, *r.path));
      EXPECT_FALSE(std::isnan(r.cost));
    }
  }
}
