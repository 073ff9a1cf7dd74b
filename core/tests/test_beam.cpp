#include "quellostrin/strategies/beam.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <queue>
#include <random>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/graph/csr.hpp"

using namespace quellostrin;

namespace {

constexpr std::uint64_t kUnbounded = std::numeric_limits<std::uint64_t>::max();

oracle::CountingHeuristic table(std::map<std::uint64_t, double> h) {
  return {[h](std::uint64_t n) {
    auto it = h.find(n);
    return it == h.end() ? 0.0 : it->second;
  }};
}

Path expansion_order(const Trace& trace) {
  Path out;
  for (const auto& s : trace) out.push_back(s.node);
  return out;
}

// Textbook breadth-first order from `s`, a node marked when first seen.
Path bfs_order(const oracle::RandomGraph& g, std::uint64_t s) {
  auto adj = oracle::adjacency(g);
  std::vector<bool> seen(g.n, false);
  Path order;
  std::queue<std::uint64_t> q;
  seen[s] = true;
  q.push(s);
  while (!q.empty()) {
    auto u = q.front();
    q.pop();
    order.push_back(u);
    for (auto [v, w] : adj[u]) {
      if (!seen[v]) {
        seen[v] = true;
        q.push(v);
      }
    }
  }
  return order;
}

}  // namespace

TEST(Beam, WidthZeroDiscoversTheFirstLayerAndCutsIt) {
  auto star = directed(4, {{0, 1, 1.0}, {0, 2, 1.0}, {0, 3, 1.0}});
  auto r = beam_search(star, Zero{}, 0, 1, 0, true);
  EXPECT_FALSE(r.found());
  EXPECT_EQ(r.cost, kInf);
  EXPECT_EQ(r.stop_reason, StopReason::Exhausted);
  EXPECT_EQ(r.nodes_expanded, 1u);
  EXPECT_EQ(r.nodes_generated, 4u);
  EXPECT_EQ(r.max_frontier_size, 1u);
  EXPECT_EQ(r.nodes_reopened, 0u);
  EXPECT_TRUE(r.tree.empty());
}

// Width 1 follows the smallest estimate (the first discovered among equals)
// into a dead end, although the goal 4 hangs off the node it passed over;
// node 3 leads back only to nodes already discovered.
TEST(Beam, WidthOneIsAGreedyDescentThatCanMissAReachableGoal) {
  auto g = directed(6, {{0, 1, 1.0}, {0, 2, 1.0}, {0, 5, 1.0}, {1, 3, 1.0}, {3, 0, 1.0}, {3, 2, 1.0}, {2, 4, 1.0}});
  auto h = table({{1, 1.0}, {2, 5.0}, {5, 1.0}, {3, 0.0}, {4, 0.0}});
  auto narrow = beam_search(g, h, 0, 4, 1, true);
  EXPECT_FALSE(narrow.found());
  EXPECT_EQ(narrow.trace, (Trace{{0, 0.0, 0}, {1, 1.0, 0}, {3, 2.0, 0}}));
  EXPECT_EQ(narrow.nodes_expanded, 3u);
  EXPECT_EQ(narrow.nodes_generated, 5u);
  EXPECT_EQ(narrow.max_frontier_size, 1u);
  EXPECT_EQ(h.calls, 4u);  // once per discovered node, never for the start

  auto wide = beam_search(g, h, 0, 4, kUnbounded, true);
  EXPECT_EQ(wide.path, (Path{0, 2, 4}));
  // Layer 1 ranked 1, 5, 2; the goal waits behind 3 in layer 2.
  EXPECT_EQ(expansion_order(wide.trace), (Path{0, 1, 5, 2, 3, 4}));
  EXPECT_EQ(wide.max_frontier_size, 3u);
}

TEST(Beam, LayersAreRankedByEstimateWithEqualKeysInDiscoveryOrder) {
  std::vector<Edge> edges;
  for (std::uint64_t leaf = 1; leaf <= 6; ++leaf) {
    edges.push_back({0, leaf, double(leaf)});
    edges.push_back({leaf, leaf + 6, 1.0});  // one new node each, to show the frontier sizes
  }
  auto g = directed(13, edges);
  auto h = table({{1, 3.0}, {2, 1.0}, {3, 3.0}, {4, 2.0}, {5, 1.0}, {6, 0.0}});
  auto r = beam_search(g, h, 0, 8, kUnbounded, true);
  EXPECT_EQ(r.trace, (Trace{{0, 0.0, 0},
                            {6, 6.0, 0}, {2, 2.0, 1}, {5, 5.0, 2}, {4, 4.0, 3}, {1, 1.0, 4}, {3, 3.0, 5},
                            {12, 7.0, 0}, {8, 3.0, 0}}));
  EXPECT_EQ(r.path, (Path{0, 2, 8}));

  auto cut = beam_search(g, h, 0, 8, 4, true);
  EXPECT_EQ(expansion_order(cut.trace), (Path{0, 6, 2, 5, 4, 12, 8}));
  EXPECT_EQ(cut.nodes_generated, 1u + 6 + 4);
  EXPECT_EQ(cut.max_frontier_size, 4u);
}

// The ranking keeps every node once whatever the keys; real keys come out
// sorted stably, NaN keys after them in discovery order, and a cut drops
// NaN-keyed nodes first.
TEST(Beam, NaNKeysNeitherCrashNorLoseNodes) {
  constexpr std::uint64_t leaves = 3000;
  std::mt19937_64 rng(7);
  std::map<std::uint64_t, double> keys;
  std::vector<Edge> edges;
  for (std::uint64_t v = 1; v <= leaves; ++v) {
    edges.push_back({0, v, 1.0});
    const auto roll = rng() % 4;
    keys[v] = roll == 0 ? kNaN : roll == 1 ? -kInf : double(rng() % 5);
  }
  auto g = directed(leaves + 2, edges);  // the goal, leaves + 1, is unreachable

  Path real, nan;
  for (std::uint64_t v = 1; v <= leaves; ++v) (std::isnan(keys[v]) ? nan : real).push_back(v);
  std::stable_sort(real.begin(), real.end(), [&](auto a, auto b) { return keys[a] < keys[b]; });
  Path expected{0};
  expected.insert(expected.end(), real.begin(), real.end());
  expected.insert(expected.end(), nan.begin(), nan.end());

  auto all = beam_search(g, table(keys), 0, leaves + 1, kUnbounded, true);
  EXPECT_EQ(expansion_order(all.trace), expected);
  EXPECT_EQ(all.nodes_expanded, leaves + 1);

  auto cut = beam_search(g, table(keys), 0, leaves + 1, real.size(), true);
  EXPECT_EQ(expansion_order(cut.trace), Path(expected.begin(), expected.begin() + std::ptrdiff_t(real.size()) + 1));

  std::map<std::uint64_t, double> all_nan;
  for (std::uint64_t v = 1; v <= leaves; ++v) all_nan[v] = kNaN;
  auto blind = beam_search(g, table(all_nan), 0, leaves + 1, kUnbounded, true);
  Path discovery(leaves + 1);
  for (std::uint64_t v = 0; v <= leaves; ++v) discovery[v] = v;
  EXPECT_EQ(expansion_order(blind.trace), discovery);
}

// Node 3 keeps the parent that discovered it first, though the next node of
// the layer reaches it more cheaply; a node cut from the beam is never
// discovered again.
TEST(Beam, FirstDiscoveryIsFinal) {
  auto g = directed(5, {{0, 1, 1.0}, {0, 2, 1.0}, {1, 3, 10.0}, {1, 3, 8.0}, {2, 3, 1.0}, {3, 4, 1.0}});
  auto r = beam_search(g, Zero{}, 0, 4, kUnbounded, true);
  EXPECT_EQ(r.path, (Path{0, 1, 3, 4}));
  EXPECT_EQ(r.trace[3], (TraceStep<std::uint64_t>{3, 11.0, 0}));
  EXPECT_EQ(r.cost, 10.0);  // recomputed over the cheaper parallel edge

  auto only_through_cut = directed(4, {{0, 1, 1.0}, {0, 2, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}});
  auto narrow = beam_search(only_through_cut, table({{1, 0.0}, {2, 9.0}}), 0, 3, 1, true);
  EXPECT_FALSE(narrow.found());
  EXPECT_EQ(expansion_order(narrow.trace), (Path{0, 1}));
}

TEST(Beam, AgreesWithBreadthFirstSearchOnRandomGraphs) {
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed);
    const auto hops = oracle::bfs_hops(rg, start);
    const bool reachable = hops[goal] >= 0;
    const auto reachable_count = std::uint64_t(std::count_if(hops.begin(), hops.end(), [](auto d) { return d >= 0; }));

    // Unbounded width and equal keys: breadth-first search that marks nodes
    // when first seen, stopping when the goal comes off the queue.
    oracle::CountingGraph counting{g};
    auto r = beam_search(counting, Zero{}, start, goal, kUnbounded, true);
    auto order = bfs_order(rg, start);
    if (reachable) order.erase(std::find(order.begin(), order.end(), goal) + 1, order.end());
    EXPECT_EQ(expansion_order(r.trace), order);
    EXPECT_EQ(r.found(), reachable);
    // Every expanded node but the goal, plus one per step when the cost is recomputed.
    const std::uint64_t recompute = r.found() ? r.path->size() - 1 : 0;
    EXPECT_EQ(counting.fetches, r.nodes_expanded - (r.found() ? 1 : 0) + recompute);
    if (reachable) {
      EXPECT_EQ(std::int64_t(r.path->size()) - 1, hops[goal]);  // fewest edges
      EXPECT_TRUE(oracle::is_real_path(rg, *r.path));
      EXPECT_EQ(r.cost, path_cost(g, *r.path));
    } else {
      EXPECT_EQ(r.nodes_expanded, reachable_count);  // every reachable node, once
      EXPECT_EQ(r.nodes_generated, reachable_count);
    }

    // Any width and arbitrary estimates: a bounded layer, one estimate per
    // discovered node, and only real paths.
    const std::uint64_t width = seed % 4;
    std::vector<double> est(rg.n);
    std::mt19937_64 rng(seed);
    for (auto& e : est) e = double(rng() % 6);
    oracle::CountingHeuristic h{[&](std::uint64_t v) { return est[v]; }};
    auto narrow = beam_search(g, h, start, goal, width, true);
    EXPECT_LE(narrow.max_frontier_size, std::max<std::uint64_t>(width, 1));
    EXPECT_LE(narrow.nodes_generated, reachable_count);
    EXPECT_EQ(h.calls, narrow.nodes_generated - 1);
    EXPECT_EQ(narrow.trace.size(), narrow.nodes_expanded);
    if (narrow.found()) {
      EXPECT_TRUE(oracle::is_real_path(rg, *narrow.path));
      EXPECT_EQ(narrow.cost, path_cost(g, *narrow.path));
    }
  }
}
