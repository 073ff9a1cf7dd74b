// Every strategy held, on seeded random graphs, to what it promises (checked
// against the oracles of oracle.hpp) and to the rules all of them share.
#include "quellostrin/search/strategies.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "oracle.hpp"
#include "table.hpp"

using namespace quellostrin;
using table::Algo;
using Result = SearchResult<std::uint64_t>;

namespace {

enum class Promise {
  Optimal,      // the cheapest path, found exactly when the goal is reachable
  FewestEdges,  // a path with the fewest edges, found exactly when the goal is reachable within the depth bound
  Complete,     // some path, found exactly when the goal is reachable within the depth bound
  Any,          // some path or none
};

// A* is optimal here because the heuristic below is consistent; bidirectional
// search joins shortest halves, the directed graphs listing their
// predecessors.
Promise promise(Algo a, bool unit_costs) {
  if (a == Algo::Ucs || a == Algo::Dijkstra || a == Algo::Astar || a == Algo::IdaStar) return Promise::Optimal;
  if ((a == Algo::Bfs && unit_costs) || a == Algo::Iddfs || a == Algo::BeamWide || a == Algo::Bidir) {
    return Promise::FewestEdges;  // bidirectional: the random directed graphs list their predecessors
  }
  return a == Algo::Beam ? Promise::Any : Promise::Complete;
}

// Nodes that own heap memory, as the puzzles' do, so that stacks, queues and
// hash sets copy, move and erase them: the 4-cube, each edge flipping one bit.
struct Hypercube {
  using Node = std::vector<std::uint8_t>;
  void neighbors_into(const Node& node, SuccessorList<Node>& out) const {
    for (std::size_t i = 0; i < node.size(); ++i) {
      out.emplace_back(node, 1.0);
      out.back().first[i] ^= 1;
    }
  }
};

std::int64_t depth_bound(Algo a) {
  return a == Algo::Dls ? std::int64_t(table::kDlsDepth) : a == Algo::Iddfs ? std::int64_t(table::kIddfsDepth) : 1 << 30;
}

}  // namespace

TEST(Strategies, KeepTheirPromisesOnRandomGraphs) {
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    const bool unit = seed % 3 == 0;  // otherwise costs from 0 (zero-cost cycles) to 9
    const auto [rg, g, start, goal] = oracle::random_case(seed, 14, 2.0, unit ? 1 : 0, unit ? 1 : 9);
    const auto dist = oracle::shortest(rg, start);
    const auto bfs = oracle::bfs(rg, start);
    // Half the remaining distance: consistent on undirected graphs, where it is
    // symmetric; nothing on directed ones.
    std::vector<double> h_of(rg.n, 0.0);
    if (rg.undirected) {
      const auto to_goal = oracle::shortest(rg, goal);
      for (std::uint64_t v = 0; v < rg.n; ++v) h_of[v] = to_goal[v] == kInf ? 0.0 : 0.5 * to_goal[v];
    }
    oracle::CountingGraph counting{g};
    oracle::CountingHeuristic h{[&](std::uint64_t v) { return h_of[v]; }};

    for (const Algo a : table::kAll) {
      SCOPED_TRACE(table::name(a));
      counting.fetches = h.calls = 0;
      const Result r = table::run(a, counting, h, start, goal);
      const std::uint64_t calls = h.calls, fetches = counting.fetches;

      // What it promises.
      const Promise p = promise(a, unit);
      const bool reachable = bfs.hops[goal] >= 0 && bfs.hops[goal] <= depth_bound(a);
      EXPECT_TRUE(p == Promise::Any || r.found() == reachable);
      EXPECT_TRUE(!r.found() || p != Promise::Optimal || r.cost == dist[goal]);
      EXPECT_TRUE(!r.found() || p != Promise::FewestEdges || std::int64_t(r.path->size()) - 1 == bfs.hops[goal]);

      // The rules they share.
      EXPECT_EQ(r.stop_reason, r.found() ? StopReason::Goal : StopReason::Exhausted);
      if (r.found()) {
        EXPECT_EQ(r.path->front(), start);
        EXPECT_EQ(r.path->back(), goal);
        const double cost = path_cost(g, *r.path);
        EXPECT_TRUE(r.cost == cost || (std::isnan(r.cost) && std::isnan(cost)));
        EXPECT_FALSE(std::isnan(cost));  // a real path
      } else {
        EXPECT_EQ(r.cost, kInf);
      }
      EXPECT_EQ(r.trace.size(), r.nodes_expanded);
      EXPECT_GE(r.nodes_generated, r.nodes_expanded);
      EXPECT_GE(r.max_frontier_size, 1u);
      EXPECT_EQ(r.nodes_reopened, 0u);
      EXPECT_TRUE(a != Algo::Bidir || r.found() || fetches == r.nodes_expanded);  // nothing fetched twice
      // A start that is the goal (every graph of three nodes has one) is
      // found on its first visit, before any successor is taken; bidirectional
      // search expands nothing.
      if (start == goal) {
        EXPECT_EQ(fetches, 0u);
        EXPECT_EQ(r.nodes_generated, 1u);
        EXPECT_EQ(r.max_frontier_size, 1u);
        EXPECT_EQ(r.nodes_expanded, a == Algo::Bidir ? 0u : 1u);
      }

      // Recording off gives the same result, without trace or tree.
      Result quiet = table::run(a, counting, h, start, goal, {.record = false});
      EXPECT_TRUE(quiet.trace.empty() && quiet.tree.empty());
      quiet.trace = r.trace;
      quiet.tree = r.tree;
      table::expect_same(quiet, r);

      // The heuristic is called once per push: the frontier driver for every
      // node it pushes, beam search for every node but the start, IDA* for each
      // node it visits plus each pass's bound (every pass visits the start first).
      const auto passes = std::uint64_t(std::count_if(r.trace.begin(), r.trace.end(),
                                                      [&](auto& s) { return s.node == start && s.frontier_size == 0; }));
      std::uint64_t expected_calls = 0;
      if (table::is_frontier(a)) expected_calls = r.nodes_generated;
      if (a == Algo::IdaStar) expected_calls = passes + r.nodes_generated;
      if (a == Algo::Beam || a == Algo::BeamWide) expected_calls = r.nodes_generated - 1;
      EXPECT_EQ(calls, expected_calls);

      // The search tree: one edge per node the frontier driver discovered,
      // each a real edge; the other strategies keep none.
      std::set<std::uint64_t> children;
      for (auto [parent, child] : r.tree) {
        EXPECT_TRUE(children.insert(child).second);
        EXPECT_NE(child, start);
        EXPECT_FALSE(std::isnan(path_cost(g, {parent, child})));
      }
      EXPECT_TRUE(table::is_frontier(a) || r.tree.empty());

      // Traces against the definitions.
      if (a == Algo::Dls || a == Algo::Iddfs || a == Algo::IdaStar) {
        oracle::RecursiveDfs ref{oracle::adjacency(rg), goal, a == Algo::IdaStar ? h.h : nullptr};
        const bool found = a == Algo::IdaStar ? ref.ida(start)
                                              : ref.deepening(start, a == Algo::Dls ? table::kDlsDepth : 0,
                                                              std::uint64_t(depth_bound(a)));
        EXPECT_EQ(r.path, found ? std::optional<Path>(ref.path) : std::nullopt);
        EXPECT_EQ(r.trace, ref.trace);
        EXPECT_EQ(r.nodes_expanded, ref.expanded);
        EXPECT_EQ(r.nodes_generated, ref.generated);
        EXPECT_EQ(r.max_frontier_size, ref.deepest);
      }
      // Breadth-first order: the driver's on unit costs (nothing is ever
      // re-pushed), beam search's at unbounded width with all estimates equal.
      if ((a == Algo::Bfs && unit) || (a == Algo::BeamWide && !rg.undirected)) {
        Path order = bfs.order;
        if (r.found()) order.erase(std::find(order.begin(), order.end(), goal) + 1, order.end());
        EXPECT_EQ(oracle::nodes_of(r.trace), order);
      }
      if (table::is_frontier(a)) {
        table::expect_same(table::run(a, counting, h, start, goal, {.dense = true}), r);
        // A consistent heuristic never finds a cheaper route to a closed node.
        if (p == Promise::Optimal) table::expect_same(table::run(a, counting, h, start, goal, {.reopen = true}), r);
      }
    }
  }
}

// Depth-first walks keep their path on an explicit stack, so depth limits far
// beyond what recursion would survive are fine.
TEST(Strategies, DeepChainsRunOnExplicitStacks) {
  constexpr std::uint64_t n = 100'000;
  std::vector<Edge> edges;
  for (std::uint64_t i = 0; i + 1 < n; ++i) edges.push_back({i, i + 1, 1.0});
  const auto chain = directed(n + 1, edges);  // node n is isolated
  // The exact remaining distance: every f equals the first bound, one pass.
  const oracle::CountingHeuristic exact{[](std::uint64_t v) { return double(n - 1 - v); }};
  for (const Result& r : {dls(chain, 0, n - 1, 200'000, false), ida_star(chain, exact, 0, n - 1, false)}) {
    ASSERT_TRUE(r.found());
    EXPECT_EQ(r.path->size(), n);
    EXPECT_EQ(r.cost, double(n - 1));
    EXPECT_EQ(r.nodes_expanded, n);
    EXPECT_EQ(r.max_frontier_size, n - 1);
  }
  const Result missing = dls(chain, 0, n, 200'000, false);
  EXPECT_FALSE(missing.found());
  EXPECT_EQ(missing.nodes_expanded, n);
  EXPECT_EQ(missing.max_frontier_size, n);
}

TEST(Strategies, HeapOwningNodesOnTheHypercube) {
  const Hypercube::Node start{0, 0, 0, 0}, goal{1, 1, 1, 1};
  for (const Algo a : table::kAll) {
    SCOPED_TRACE(table::name(a));
    const auto r = table::run(a, Hypercube{}, Zero{}, start, goal);
    ASSERT_TRUE(r.found());
    EXPECT_EQ(r.path->front(), start);
    EXPECT_EQ(r.path->back(), goal);
    EXPECT_EQ(r.cost, a == Algo::Dfs ? double(r.path->size() - 1) : 4.0);  // only depth-first takes a detour
    EXPECT_FALSE(table::run(a, Hypercube{}, Zero{}, start, Hypercube::Node{2, 2, 2, 2}).found());
  }
}
