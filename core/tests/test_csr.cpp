#include "quellostrin/graph/csr.hpp"

#include <gtest/gtest.h>

#include <vector>

using namespace quellostrin;
using Succ = SuccessorList<std::uint64_t>;

namespace {
const std::vector<Edge> kEdges{{0, 1, 1.0}, {0, 2, 5.0}, {0, 1, 2.0}};
}

TEST(CsrGraph, DirectedKeepsInputOrderAndDuplicates) {
  auto g = CsrGraph::from_edges(3, kEdges, false);
  EXPECT_EQ(g.neighbors(0), (Succ{{1, 1.0}, {2, 5.0}, {1, 2.0}}));
  EXPECT_TRUE(g.neighbors(1).empty());
  EXPECT_EQ(g.node_index(2), std::optional<std::uint64_t>(2));
  EXPECT_EQ(g.offsets(), (std::vector<std::uint64_t>{0, 3, 3, 3}));
}

TEST(CsrGraph, UndirectedListsEveryEdgeBothWays) {
  auto g = CsrGraph::from_edges(3, kEdges, true);
  EXPECT_EQ(g.neighbors(1), (Succ{{0, 1.0}, {0, 2.0}}));
  EXPECT_EQ(g.edges(), (std::vector<Edge>{{0, 1, 1.0}, {0, 2, 5.0}, {0, 1, 2.0}, {1, 0, 1.0}, {1, 0, 2.0}, {2, 0, 5.0}}));
}

TEST(CsrGraph, UndirectedSelfLoopAppearsTwice) {
  auto g = CsrGraph::from_edges(4, std::vector<Edge>{{3, 3, 0.5}}, true);
  EXPECT_EQ(g.neighbors(3), (Succ{{3, 0.5}, {3, 0.5}}));
  auto d = CsrGraph::from_edges(4, std::vector<Edge>{{3, 3, 0.5}}, false);
  EXPECT_EQ(d.neighbors(3), (Succ{{3, 0.5}}));
}

TEST(CsrGraph, WeightsStoredUnchangedAndNeighborsIntoAppends) {
  auto g = CsrGraph::from_edges(2, std::vector<Edge>{{0, 1, -2.5}, {0, 1, 0.0}}, false);
  Succ out{{9, 9.0}};
  g.neighbors_into(0, out);
  EXPECT_EQ(out, (Succ{{9, 9.0}, {1, -2.5}, {1, 0.0}}));
}

TEST(CsrGraph, OutOfRangeErrors) {
  try {
    CsrGraph::from_edges(3, std::vector<Edge>{{0, 1, 1.0}, {1, 3, 1.0}}, false);
    FAIL();
  } catch (const InputError& e) {
    EXPECT_STREQ(e.what(), "edge (1, 3) is out of range for a 3-node graph");
  }
  auto empty = CsrGraph::from_edges(0, {}, false);
  EXPECT_EQ(empty.offsets(), std::vector<std::uint64_t>{0});
  try {
    empty.neighbors(0);
    FAIL();
  } catch (const InvariantError& e) {
    EXPECT_STREQ(e.what(), "node 0 is out of range for a 0-node graph");
  }
  Succ out;
  auto g = CsrGraph::from_edges(3, kEdges, false);
  EXPECT_THROW(g.neighbors_into(3, out), InvariantError);
}
