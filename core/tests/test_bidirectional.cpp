// Bidirectional search's join rules: which meeting node wins, what a directed
// join costs, and what the meeting layer counts.
#include "quellostrin/strategies/bidirectional.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/graph/csr.hpp"

using namespace quellostrin;

namespace {
constexpr auto kNoG = std::nullopt;
}  // namespace

// Start 0 and goal 4 share the neighbours 1, 2, 3; the backward layer meets
// all three. Through 1 costs 6, through 2 and 3 costs 3 each: the cheapest
// wins, and of equal costs the first met. The meeting layer is not counted in
// `max_frontier_size`.
TEST(Bidirectional, CheapestMeetingNodeWinsAndTiesKeepTheFirst) {
  const std::vector<Edge> edges{{0, 1, 1.0}, {1, 4, 5.0}, {0, 2, 2.0}, {2, 4, 1.0}, {0, 3, 1.0}, {3, 4, 2.0}};
  auto g = CsrGraph::from_edges(5, edges, true);
  auto r = bidirectional(g, 0, 4, true);
  EXPECT_EQ(r.path, (Path{0, 2, 4}));
  EXPECT_EQ(r.cost, 3.0);
  EXPECT_EQ(r.nodes_expanded, 2u);
  EXPECT_EQ(r.nodes_generated, 2u + 3 + 3);
  EXPECT_EQ(r.max_frontier_size, 3u);
  EXPECT_EQ(r.trace, (Trace{{0, kNoG, 0}, {4, kNoG, 0}}));
  // The node limit is tested after whole layers: the meeting layer is finished.
  EXPECT_EQ(bidirectional(g, 0, 4, false, {.max_nodes = 1}).stop_reason, StopReason::NodeLimit);
  EXPECT_EQ(bidirectional(g, 0, 4, false, {.max_nodes = 2}).path, r.path);

  auto next_to_start = bidirectional(directed(4, {{0, 1, 1.0}, {0, 2, 4.0}, {0, 3, 1.0}}), 0, 2, false);
  EXPECT_EQ(next_to_start.path, (Path{0, 2}));
  EXPECT_EQ(next_to_start.max_frontier_size, 2u);
}

// On a directed graph the goal side follows the goal's successors, so a
// joined path may run against an edge; its cost is then NaN, and a candidate
// with a real cost is preferred whichever comes first. With no real candidate
// each later NaN candidate displaces the one before.
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
  auto r = bidirectional(directed(4, {{S, X, 1.0}, {S, Y, 1.0}, {G, X, 1.0}, {G, Y, 1.0}}), S, G, false);
  EXPECT_EQ(r.stop_reason, StopReason::Goal);
  EXPECT_EQ(r.path, (Path{S, Y, G}));
  EXPECT_TRUE(std::isnan(r.cost));
}
