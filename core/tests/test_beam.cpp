// Beam search's ranking and cut: by estimate, ties in discovery order, NaN
// keys last, the cut keeping the front, first discoveries final.
#include "quellostrin/search/strategies/beam.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/domains/csr.hpp"

using namespace quellostrin;
using oracle::nodes_of;
using oracle::table_h;

namespace {
constexpr std::uint64_t kWide = std::numeric_limits<std::uint64_t>::max();
}  // namespace

// A star of six leaves ranked 6, 2, 5 (ties in discovery order), 4, 1, 3,
// each leading to one new node; a trace step's frontier size is the count of
// candidates gathered so far. A cut to 4 keeps the four best, and width 0
// cuts the whole first layer.
TEST(Beam, LayersAreRankedByEstimateAndCutAtTheFront) {
  std::vector<Edge> edges;
  for (std::uint64_t leaf = 1; leaf <= 6; ++leaf) {
    edges.push_back({0, leaf, double(leaf)});
    edges.push_back({leaf, leaf + 6, 1.0});
  }
  auto g = directed(13, edges);
  const auto h = table_h({{1, 3.0}, {2, 1.0}, {3, 3.0}, {4, 2.0}, {5, 1.0}, {6, 0.0}});
  auto wide = beam_search(g, h, 0, 8, kWide, true);
  EXPECT_EQ(wide.trace, (Trace{{0, 0.0, 0}, {6, 6.0, 0}, {2, 2.0, 1}, {5, 5.0, 2}, {4, 4.0, 3}, {1, 1.0, 4},
                               {3, 3.0, 5}, {12, 7.0, 0}, {8, 3.0, 0}}));
  EXPECT_EQ(wide.path, (Path{0, 2, 8}));

  auto cut = beam_search(g, h, 0, 8, 4, true);
  EXPECT_EQ(nodes_of(cut.trace), (Path{0, 6, 2, 5, 4, 12, 8}));
  EXPECT_EQ(cut.nodes_generated, 1u + 6 + 4);
  EXPECT_EQ(cut.max_frontier_size, 4u);

  auto none = beam_search(g, h, 0, 8, 0, true);
  EXPECT_EQ(none.stop_reason, StopReason::Exhausted);
  EXPECT_EQ(none.nodes_expanded, 1u);
  EXPECT_EQ(none.nodes_generated, 7u);
}

// Real keys come out sorted stably, NaN keys after them in discovery order,
// and a cut drops NaN-keyed nodes first; no node is lost or repeated.
TEST(Beam, NaNKeysGoLastAndAreCutFirst) {
  constexpr std::uint64_t leaves = 3000;
  std::map<std::uint64_t, double> keys;
  std::vector<Edge> edges;
  for (std::uint64_t v = 1; v <= leaves; ++v) {
    edges.push_back({0, v, 1.0});
    keys[v] = v % 7 == 0 ? kNaN : v % 7 == 1 ? -kInf : double((v * 13) % 5);
  }
  auto g = directed(leaves + 2, edges);  // the goal, leaves + 1, is unreachable
  Path real, nan;
  for (std::uint64_t v = 1; v <= leaves; ++v) (std::isnan(keys[v]) ? nan : real).push_back(v);
  std::stable_sort(real.begin(), real.end(), [&](auto a, auto b) { return keys[a] < keys[b]; });
  Path expected{0};
  expected.insert(expected.end(), real.begin(), real.end());
  expected.insert(expected.end(), nan.begin(), nan.end());

  EXPECT_EQ(nodes_of(beam_search(g, table_h(keys), 0, leaves + 1, kWide, true).trace), expected);
  auto cut = beam_search(g, table_h(keys), 0, leaves + 1, real.size(), true);
  EXPECT_EQ(nodes_of(cut.trace), Path(expected.begin(), expected.begin() + std::ptrdiff_t(real.size()) + 1));
}

// Node 3 keeps the parent that discovered it first, though the next node of
// the layer reaches it more cheaply; the cost is recomputed over the cheaper
// parallel edge. A node cut from the beam is never discovered again, so a
// goal behind it is missed.
TEST(Beam, FirstDiscoveryIsFinal) {
  auto g = directed(5, {{0, 1, 1.0}, {0, 2, 1.0}, {1, 3, 10.0}, {1, 3, 8.0}, {2, 3, 1.0}, {3, 4, 1.0}});
  auto r = beam_search(g, Zero{}, 0, 4, kWide, true);
  EXPECT_EQ(r.path, (Path{0, 1, 3, 4}));
  EXPECT_EQ(r.trace[3], (TraceStep<std::uint64_t>{3, 11.0, 0}));
  EXPECT_EQ(r.cost, 10.0);

  auto only_through_cut = directed(4, {{0, 1, 1.0}, {0, 2, 1.0}, {1, 2, 1.0}, {2, 3, 1.0}});
  auto narrow = beam_search(only_through_cut, table_h({{1, 0.0}, {2, 9.0}}), 0, 3, 1, true);
  EXPECT_FALSE(narrow.found());
  EXPECT_EQ(nodes_of(narrow.trace), (Path{0, 1}));
}
