#include "quellostrin/search.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/graph/csr.hpp"

using namespace quellostrin;
using Tree = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

namespace {

const AlgorithmKind kAllKinds[] = {AlgorithmKind::bfs(),    AlgorithmKind::dfs(),   AlgorithmKind::ucs(),
                                   AlgorithmKind::dijkstra(), AlgorithmKind::greedy(), AlgorithmKind::astar(),
                                   AlgorithmKind::weighted_astar(2.0)};

// A heuristic given as a table, counting its calls (so not pure).
struct TableHeuristic {
  std::map<std::uint64_t, double> h;
  mutable int calls = 0;
  double estimate(std::uint64_t n, std::uint64_t) const {
    ++calls;
    auto it = h.find(n);
    return it == h.end() ? 0.0 : it->second;
  }
};

std::vector<std::uint64_t> expansion_order(const SearchResult<std::uint64_t>& r) {
  std::vector<std::uint64_t> out;
  for (const auto& s : r.trace) out.push_back(s.node);
  return out;
}

// Every field but `elapsed`.
void expect_same(const SearchResult<std::uint64_t>& a, const SearchResult<std::uint64_t>& b) {
  EXPECT_EQ(a.path, b.path);
  EXPECT_TRUE(a.cost == b.cost || (std::isnan(a.cost) && std::isnan(b.cost)));
  EXPECT_EQ(a.nodes_expanded, b.nodes_expanded);
  EXPECT_EQ(a.nodes_generated, b.nodes_generated);
  EXPECT_EQ(a.nodes_reopened, b.nodes_reopened);
  EXPECT_EQ(a.max_frontier_size, b.max_frontier_size);
  EXPECT_EQ(a.stop_reason, b.stop_reason);
  EXPECT_EQ(a.trace, b.trace);
  EXPECT_EQ(a.tree, b.tree);
}

}  // namespace

TEST(Driver, StartEqualsGoalForEveryKindAndStore) {
  auto g = directed(3, {{0, 1, 1.0}, {1, 2, 1.0}});
  for (const auto& kind : kAllKinds) {
    for (bool dense : {false, true}) {
      SCOPED_TRACE(kind.label);
      auto r = search_with_options(g, 1, 1, kind, Zero{}, {.record = true, .dense = dense});
      EXPECT_EQ(r.path, Path{1});
      EXPECT_EQ(r.cost, 0.0);
      EXPECT_EQ(r.nodes_expanded, 1u);
      EXPECT_EQ(r.nodes_generated, 1u);
      EXPECT_EQ(r.max_frontier_size, 1u);
      EXPECT_EQ(r.nodes_reopened, 0u);
      EXPECT_EQ(r.stop_reason, StopReason::Goal);
      EXPECT_EQ(r.trace, (std::vector<TraceStep<std::uint64_t>>{{1, 0.0, 0}}));
      EXPECT_TRUE(r.tree.empty());
    }
  }
}

TEST(Driver, NodeLimit) {
  auto line = directed(5, {{0, 1, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}, {3, 4, 1.0}});
  auto r = search_with_options(line, 0, 4, AlgorithmKind::bfs(), Zero{}, {.max_nodes = 0});
  EXPECT_EQ(r.stop_reason, StopReason::NodeLimit);
  EXPECT_EQ(r.nodes_expanded, 1u);  // the start is always expanded
  EXPECT_EQ(r.nodes_generated, 1u);
  EXPECT_FALSE(r.found());
  EXPECT_EQ(r.cost, kInf);

  // The goal expanded as the k-th node still counts as found.
  r = search_with_options(line, 0, 2, AlgorithmKind::ucs(), Zero{}, {.max_nodes = 3});
  EXPECT_EQ(r.stop_reason, StopReason::Goal);
  EXPECT_EQ(r.path, (Path{0, 1, 2}));
  r = search_with_options(line, 0, 3, AlgorithmKind::ucs(), Zero{}, {.max_nodes = 3});
  EXPECT_EQ(r.stop_reason, StopReason::NodeLimit);
  EXPECT_EQ(r.nodes_expanded, 3u);
}

TEST(Driver, UnreachableGoalStillRecordsTraceAndTree) {
  auto g = directed(5, {{0, 1, 2.0}, {0, 2, 1.0}, {2, 1, 0.5}, {4, 0, 1.0}});
  auto r = search_with_options(g, 0, 4, AlgorithmKind::dijkstra(), Zero{}, {.record = true});
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  EXPECT_FALSE(r.found());
  EXPECT_EQ(r.cost, kInf);
  EXPECT_EQ(expansion_order(r), (Path{0, 2, 1}));
  EXPECT_EQ(r.trace[0].frontier_size, 0u);
  // 1 was discovered from 0 but ends with its better parent 2.
  EXPECT_EQ(r.tree, (Tree{{2, 1}, {0, 2}}));
  EXPECT_EQ(r.nodes_generated, 4u);  // 0, 1, 2, and 1 again when its cost dropped
}

TEST(Driver, SuccessorAtEqualCostIsSkipped) {
  auto diamond = directed(4, {{0, 1, 1.0}, {0, 2, 1.0}, {1, 3, 1.0}, {2, 3, 1.0}});
  auto r = search_with_options(diamond, 0, 3, AlgorithmKind::dijkstra(), Zero{}, {});
  EXPECT_EQ(r.path, (Path{0, 1, 3}));
  EXPECT_EQ(r.nodes_generated, 4u);
  EXPECT_EQ(r.nodes_expanded, 4u);
}

// Admissible but inconsistent h: B is closed at g 3 before the cheaper route
// through A is found.
TEST(Driver, ReopeningWithAnInconsistentHeuristic) {
  const std::uint64_t S = 0, A = 1, B = 2, G = 3;
  auto g = directed(4, {{S, A, 1.0}, {S, B, 3.0}, {A, B, 1.0}, {B, G, 5.0}});
  TableHeuristic h{{{A, 4.0}}};
  auto on = search_with_options(g, S, G, AlgorithmKind::astar(), h, {.record = true, .reopen = true});
  EXPECT_EQ(on.cost, 7.0);
  EXPECT_EQ(on.path, (Path{S, A, B, G}));
  EXPECT_EQ(on.nodes_reopened, 1u);
  EXPECT_EQ(expansion_order(on), (Path{S, B, A, B, G}));

  auto off = search_with_options(g, S, G, AlgorithmKind::astar(), h, {.reopen = false});
  EXPECT_EQ(off.cost, 8.0);
  EXPECT_EQ(off.path, (Path{S, B, G}));
  EXPECT_EQ(off.nodes_reopened, 0u);
}

TEST(Driver, EachKindExpandsInItsOwnOrder) {
  auto g = directed(4, {{0, 1, 5.0}, {0, 2, 1.0}, {1, 3, 1.0}, {2, 3, 10.0}});
  TableHeuristic h{{{1, 1.0}, {2, 5.0}}};
  struct Case {
    AlgorithmKind kind;
    Path order;
    double cost;
  };
  const Case cases[] = {
      {AlgorithmKind::bfs(), {0, 1, 2, 3}, 6.0},
      {AlgorithmKind::dfs(), {0, 2, 3}, 11.0},  // last-listed successor first
      {AlgorithmKind::ucs(), {0, 2, 1, 3}, 6.0},
      {AlgorithmKind::dijkstra(), {0, 2, 1, 3}, 6.0},
      {AlgorithmKind::greedy(), {0, 1, 3}, 6.0},  // by h, cost still the accumulated g
      {AlgorithmKind::astar(), {0, 1, 2, 3}, 6.0},  // f tie 6 = 6: earlier push first
      {AlgorithmKind::weighted_astar(0.5), {0, 2, 1, 3}, 6.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind.label);
    h.calls = 0;
    auto r = search_with_options(g, 0, 3, c.kind, h, {.record = true});
    EXPECT_EQ(expansion_order(r), c.order);
    EXPECT_EQ(r.cost, c.cost);
    EXPECT_EQ(h.calls, static_cast<int>(r.nodes_generated));  // one estimate per push, any frontier
  }
}

// h_weight 0 times an infinite estimate is NaN: the priority queue then
// serves entries in push order, like a FIFO.
TEST(Driver, NaNPrioritiesFallBackToPushOrder) {
  struct Infinite {
    double estimate(std::uint64_t, std::uint64_t) const { return kInf; }
  };
  auto g = directed(5, {{0, 1, 9.0}, {0, 2, 1.0}, {1, 3, 1.0}, {2, 4, 1.0}});
  auto r = search_with_options(g, 0, 4, AlgorithmKind::ucs(), Infinite{}, {.record = true});
  EXPECT_EQ(expansion_order(r), (Path{0, 1, 2, 3, 4}));
}

TEST(Driver, AgreesWithTextbookOraclesOnRandomGraphs) {
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed);
    auto dist = oracle::dijkstra(rg, start);
    auto hops = oracle::bfs_hops(rg, start);

    for (const auto& kind : {AlgorithmKind::ucs(), AlgorithmKind::dijkstra(), AlgorithmKind::astar()}) {
      auto r = search_with_options(g, start, goal, kind, Zero{}, {});
      EXPECT_EQ(r.cost, dist[goal]);
      EXPECT_EQ(r.found(), dist[goal] != kInf);
      if (r.found()) {
        EXPECT_TRUE(oracle::is_real_path(rg, *r.path));
        EXPECT_EQ(path_cost(g, *r.path), r.cost);
      }
    }
    // BFS keeps cost bookkeeping (a cheaper route re-parents a queued node), so
    // it finds the fewest edges on unit costs.
    auto unit_edges = rg.edges;
    for (auto& e : unit_edges) e.w = 1.0;
    auto unit = CsrGraph::from_edges(rg.n, unit_edges, rg.undirected);
    auto bfs = search_with_options(unit, start, goal, AlgorithmKind::bfs(), Zero{}, {});
    EXPECT_EQ(bfs.found(), hops[goal] >= 0);
    if (bfs.found()) {
      EXPECT_EQ(static_cast<std::int64_t>(bfs.path->size()) - 1, hops[goal]);
    }

    // Consistent heuristic and non-negative costs: reopening changes nothing.
    auto plain = search_with_options(g, start, goal, AlgorithmKind::astar(), Zero{}, {.record = true});
    auto reopen = search_with_options(g, start, goal, AlgorithmKind::astar(), Zero{}, {.record = true, .reopen = true});
    expect_same(plain, reopen);

    for (const auto& kind : kAllKinds) {
      SCOPED_TRACE(kind.label);
      SearchOptions opts{.max_nodes = seed % 5 == 0 ? std::optional<std::uint64_t>(seed % 13) : std::nullopt,
                         .record = true};
      auto hash = search_with_options(g, start, goal, kind, Zero{}, opts);
      opts.dense = true;
      auto dense = search_with_options(g, start, goal, kind, Zero{}, opts);
      expect_same(hash, dense);
      opts.record = false;
      auto quiet = search_with_options(g, start, goal, kind, Zero{}, opts);
      EXPECT_EQ(quiet.path, hash.path);
      EXPECT_EQ(quiet.nodes_expanded, hash.nodes_expanded);
      EXPECT_EQ(quiet.nodes_generated, hash.nodes_generated);
      EXPECT_TRUE(quiet.trace.empty());
      EXPECT_TRUE(quiet.tree.empty());
      // One tree edge per discovered node (never the start), each a real edge.
      std::set<std::uint64_t> children;
      for (auto [p, c] : hash.tree) {
        EXPECT_TRUE(children.insert(c).second);
        EXPECT_NE(c, start);
        EXPECT_TRUE(oracle::is_real_path(rg, {p, c}));
      }
    }
  }
}

TEST(PathCost, CheapestParallelEdgeAndNaNForMissingSteps) {
  auto g = directed(3, {{0, 1, 3.0}, {0, 1, 2.0}, {1, 2, kInf}});
  EXPECT_EQ(path_cost(g, Path{0, 1}), 2.0);
  EXPECT_EQ(path_cost(g, Path{0}), 0.0);
  EXPECT_EQ(path_cost(g, Path{}), 0.0);
  EXPECT_TRUE(std::isnan(path_cost(g, Path{1, 0})));
  EXPECT_TRUE(std::isnan(path_cost(g, Path{0, 1, 2})));  // only an infinite edge
}

TEST(Results, SolvedTimedAndStopReasons) {
  auto g = directed(2, {{0, 1, 4.0}});
  auto r = solved(g, Path{0, 1}, 5, 6, 7, {});
  EXPECT_EQ(r.cost, 4.0);
  EXPECT_EQ(r.stop_reason, StopReason::Goal);
  EXPECT_EQ(r.nodes_reopened, 0u);
  EXPECT_TRUE(r.tree.empty());
  EXPECT_EQ(r.elapsed, Duration{});
  auto t = timed([] {
    SearchResult<std::uint64_t> x;
    x.elapsed = Duration{1000, 5};
    return x;
  });
  EXPECT_LT(t.elapsed.secs, 1000u);
  EXPECT_EQ(to_string(StopReason::Goal), "goal");
  EXPECT_EQ(to_string(StopReason::Exhausted), "exhausted");
  EXPECT_EQ(to_string(StopReason::NodeLimit), "node_limit");
  EXPECT_EQ(Duration::from(std::chrono::nanoseconds(2'500'000'001)), (Duration{2, 500'000'001}));
}
