// Bidirectional search's join rules: which meeting node wins, which joins a
// directed graph allows, and what the meeting layer counts.
#include "quellostrin/search/strategies/bidirectional.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/domains/csr.hpp"

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

// On a directed graph the goal side walks the edges backwards where the graph
// lists its predecessors. Where it does not, it takes successors for
// predecessors: a joined path that runs against an edge is then dropped,
// never reported, and the search goes on through its meeting node.
TEST(Bidirectional, DirectedGraphsNeverYieldAPathAgainstTheEdges) {
  const std::uint64_t S = 0, X = 1, Y = 2, G = 3;
  // The goal side takes G's successors X and Y for predecessors: the join
  // through Y runs against G -> Y and is dropped, the one through X is a walk.
  const std::vector<Edge> edges{{S, Y, 1.0}, {S, X, 1.0}, {X, G, 1.0}, {G, Y, 1.0}, {G, X, 1.0}};
  EXPECT_EQ(bidirectional(directed(4, edges), S, G, false).path, (Path{S, X, G}));
  // S -> X -> G: the goal has no successors, so only its predecessors find it.
  const std::vector<Edge> chain{{S, X, 1.0}, {X, G, 1.0}, {S, Y, 1.0}};
  EXPECT_EQ(bidirectional(directed(4, chain), S, G, false).stop_reason, StopReason::Exhausted);
  EXPECT_EQ(bidirectional(CsrGraph::from_edges(4, chain, false, CsrGraph::Predecessors::listed), S, G, false).path,
            (Path{S, X, G}));
}

