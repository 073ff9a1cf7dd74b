// The rules every path-at-a-time and layered strategy shares, checked across
// all five through the convenience header.
#include "quellostrin/strategies.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/graph/csr.hpp"

using namespace quellostrin;

namespace {

constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

template <class Node>
using Strategy = std::function<SearchResult<Node>(const Node& start, const Node& goal, bool record)>;

template <class G, class H>
std::vector<std::pair<std::string, Strategy<NodeOf<G>>>> all_strategies(const G& g, const H& h) {
  using Node = NodeOf<G>;
  return {
      {"dls", [&](const Node& s, const Node& t, bool rec) { return dls(g, s, t, 8, rec); }},
      {"iddfs", [&](const Node& s, const Node& t, bool rec) { return iddfs(g, s, t, 8, rec); }},
      {"ida_star", [&](const Node& s, const Node& t, bool rec) { return ida_star(g, h, s, t, rec); }},
      {"beam", [&](const Node& s, const Node& t, bool rec) { return beam_search(g, h, s, t, 2, rec); }},
      {"beam unbounded",
       [&](const Node& s, const Node& t, bool rec) { return beam_search(g, h, s, t, kUnbounded, rec); }},
      {"bidirectional", [&](const Node& s, const Node& t, bool rec) { return bidirectional(g, s, t, rec); }},
  };
}

// The 4-cube: a node is a vector of four bits, each edge flips one, cost 1.
// Nodes are vectors, as in the puzzles, so frames and hash sets copy, move
// and erase heap-owning keys.
struct Hypercube {
  using Node = std::vector<std::uint8_t>;
  void neighbors_into(const Node& node, SuccessorList<Node>& out) const {
    for (std::size_t i = 0; i < node.size(); ++i) {
      Node next = node;
      next[i] ^= 1;
      out.emplace_back(std::move(next), 1.0);
    }
  }
};

struct Hamming {
  double estimate(const Hypercube::Node& a, const Hypercube::Node& b) const {
    double d = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) d += a[i] != b[i] ? 1.0 : 0.0;
    return d;
  }
};

}  // namespace

TEST(Strategies, StartEqualsGoalIsFoundOnTheFirstVisit) {
  auto g = CsrGraph::from_edges(3, std::vector<Edge>{{0, 1, 1.0}, {1, 2, 1.0}}, false);
  oracle::CountingGraph counting{g};
  oracle::CountingHeuristic h{[](std::uint64_t) { return 0.0; }};
  for (const auto& [name, run] : all_strategies(counting, h)) {
    if (name == "bidirectional") continue;  // expands nothing; see its own tests
    SCOPED_TRACE(name);
    counting.fetches = 0;
    h.calls = 0;
    auto r = run(1, 1, true);
    EXPECT_EQ(r.path, std::vector<std::uint64_t>{1});
    EXPECT_EQ(r.cost, 0.0);
    EXPECT_EQ(r.stop_reason, StopReason::Goal);
    EXPECT_EQ(r.nodes_expanded, 1u);
    EXPECT_EQ(r.nodes_generated, 1u);
    EXPECT_EQ(r.max_frontier_size, 1u);
    EXPECT_EQ(r.trace, (std::vector<TraceStep<std::uint64_t>>{{1, 0.0, 0}}));
    EXPECT_EQ(counting.fetches, 0u);
    // IDA* estimates the start for its first bound and again when visiting
    // it; beam search never estimates the start.
    EXPECT_EQ(h.calls, name == "ida_star" ? 2u : 0u);
  }
}

TEST(Strategies, ResultsFollowTheSharedRulesOnRandomGraphs) {
  for (std::uint64_t seed = 0; seed < 200; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed, 10, 1.5);
    for (const auto& [name, run] : all_strategies(g, Zero{})) {
      SCOPED_TRACE(name);
      auto r = run(start, goal, true);
      EXPECT_EQ(r.nodes_reopened, 0u);
      EXPECT_TRUE(r.tree.empty());
      EXPECT_NE(r.stop_reason, StopReason::NodeLimit);
      EXPECT_EQ(r.found(), r.stop_reason == StopReason::Goal);
      if (r.found()) {
        EXPECT_EQ(r.path->front(), start);
        EXPECT_EQ(r.path->back(), goal);
      } else {
        EXPECT_EQ(r.cost, std::numeric_limits<double>::infinity());
      }
      auto quiet = run(start, goal, false);
      EXPECT_EQ(quiet.path, r.path);
      EXPECT_EQ(quiet.nodes_expanded, r.nodes_expanded);
      EXPECT_EQ(quiet.nodes_generated, r.nodes_generated);
      EXPECT_EQ(quiet.max_frontier_size, r.max_frontier_size);
      EXPECT_TRUE(quiet.trace.empty());
    }
  }
}

TEST(Strategies, HeapOwningNodesOnTheHypercube) {
  const Hypercube cube;
  const Hypercube::Node start{0, 0, 0, 0}, goal{1, 1, 1, 1};
  for (const auto& [name, run] : all_strategies(cube, Hamming{})) {
    SCOPED_TRACE(name);
    auto r = run(start, goal, true);
    ASSERT_TRUE(r.found());
    EXPECT_EQ(r.path->front(), start);
    EXPECT_EQ(r.path->back(), goal);
    if (name != "dls") {
      EXPECT_EQ(r.cost, 4.0);  // every other strategy finds a shortest path here
    }
  }
  for (const auto& [name, run] : all_strategies(cube, Zero{})) {
    SCOPED_TRACE(name);
    auto r = run(start, Hypercube::Node{2, 2, 2, 2}, false);  // not a node of the cube
    EXPECT_FALSE(r.found());
  }
}
