#include "quellostrin/domains/csr.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <random>
#include <vector>

using namespace quellostrin;
using Succ = SuccessorList<std::uint64_t>;

// Successors keep the input order, duplicates and weights as given; an
// undirected graph lists every edge both ways, a self-loop twice.
TEST(CsrGraph, ListsEdgesInInputOrder) {
  const std::vector<Edge> edges{{0, 1, 1.0}, {0, 2, -5.0}, {0, 1, 2.0}, {2, 2, 0.5}};
  auto d = CsrGraph::from_edges(3, edges, false);
  EXPECT_EQ(d.neighbors(0), (Succ{{1, 1.0}, {2, -5.0}, {1, 2.0}}));
  EXPECT_TRUE(d.neighbors(1).empty());
  EXPECT_EQ(d.neighbors(2), (Succ{{2, 0.5}}));
  EXPECT_EQ(d.node_index(2), std::optional<std::uint64_t>(2));
  EXPECT_EQ(d.edges(), edges);

  auto u = CsrGraph::from_edges(3, edges, true);
  EXPECT_EQ(u.neighbors(1), (Succ{{0, 1.0}, {0, 2.0}}));
  EXPECT_EQ(u.neighbors(2), (Succ{{0, -5.0}, {2, 0.5}, {2, 0.5}}));
  Succ out{{9, 9.0}};
  u.neighbors_into(1, out);  // appends
  EXPECT_EQ(out, (Succ{{9, 9.0}, {0, 1.0}, {0, 2.0}}));
}

// (The message for an edge out of range is held by the entry points' tests.)
TEST(CsrGraph, NodesOutOfRange) {
  Succ out;
  EXPECT_THROW(CsrGraph::from_edges(0, {}, false).neighbors(0), InvariantError);
  EXPECT_THROW(CsrGraph::from_edges(3, {}, false).neighbors_into(3, out), InvariantError);
}

// The edge list of an undirected graph without the graph: against the
// built graph's entries with u < v, on multigraphs with self-loops.
TEST(CsrGraph, UndirectedEdgesOnceListsWhatTheGraphLists) {
  std::mt19937_64 rng(5);
  for (int round = 0; round < 50; ++round) {
    const std::uint64_t n = 1 + rng() % 12;
    std::vector<Edge> edges;
    for (std::uint64_t e = rng() % 40; e > 0; --e) edges.push_back({rng() % n, rng() % n, double(rng() % 4)});
    std::vector<Edge> expected;
    for (const Edge& e : CsrGraph::from_edges(n, edges, true).edges()) {
      if (e.u < e.v) expected.push_back(e);
    }
    EXPECT_EQ(undirected_edges_once(n, edges), expected) << round;
  }
}
