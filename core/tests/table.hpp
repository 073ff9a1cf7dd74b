// Every strategy of the core behind one call, for the tests that hold all of
// them to the same rules: the seven kinds of the frontier driver and the five
// path-at-a-time and layered strategies, two of them (beam) at two widths.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "quellostrin/strategies.hpp"

namespace table {

using namespace quellostrin;

enum class Algo { Bfs, Dfs, Ucs, Dijkstra, Greedy, Astar, WeightedAstar, Dls, Iddfs, IdaStar, Beam, BeamWide, Bidir };

inline constexpr Algo kAll[] = {Algo::Bfs,  Algo::Dfs,   Algo::Ucs,     Algo::Dijkstra, Algo::Greedy,
                                Algo::Astar, Algo::WeightedAstar, Algo::Dls, Algo::Iddfs, Algo::IdaStar,
                                Algo::Beam, Algo::BeamWide, Algo::Bidir};

inline constexpr std::uint64_t kDlsDepth = 4;     // the depth limit of the "dls" row
inline constexpr std::uint64_t kIddfsDepth = 6;   // the largest limit of the "iddfs" row
inline constexpr std::uint64_t kBeamWidth = 2;    // the width of the "beam" row
inline constexpr std::uint64_t kWide = std::numeric_limits<std::uint64_t>::max();

inline const char* name(Algo a) {
  constexpr const char* names[] = {"bfs", "dfs",   "ucs",      "dijkstra", "greedy", "astar",         "wastar",
                                   "dls", "iddfs", "ida_star", "beam",     "beam wide", "bidirectional"};
  return names[static_cast<int>(a)];
}

inline bool is_frontier(Algo a) { return a <= Algo::WeightedAstar; }

// How deep a node of a walk may be and still have its successors fetched, in
// the `iteration`-th walk (0-based): depth-limited walks stop at their limit,
// everything else fetches the successors of every node it expands.
inline std::uint64_t fetch_depth(Algo a, std::uint64_t iteration) {
  if (a == Algo::Dls) return kDlsDepth;
  if (a == Algo::Iddfs) return iteration;
  return std::numeric_limits<std::uint64_t>::max();
}

struct Run {
  bool record = true;
  Limits limits{};
  bool dense = false;
  bool reopen = false;
};

template <class G, class H>
SearchResult<NodeOf<G>> run(Algo a, const G& g, const H& h, const NodeOf<G>& s, const NodeOf<G>& t,
                            const Run& o = {}) {
  auto frontier = [&](AlgorithmKind kind) {
    return search_with_options(
        g, s, t, kind, h,
        {.max_nodes = o.limits.max_nodes, .record = o.record, .reopen = o.reopen, .dense = o.dense, .stop = o.limits.hook});
  };
  switch (a) {
    case Algo::Bfs: return frontier(AlgorithmKind::bfs());
    case Algo::Dfs: return frontier(AlgorithmKind::dfs());
    case Algo::Ucs: return frontier(AlgorithmKind::ucs());
    case Algo::Dijkstra: return frontier(AlgorithmKind::dijkstra());
    case Algo::Greedy: return frontier(AlgorithmKind::greedy());
    case Algo::Astar: return frontier(AlgorithmKind::astar());
    case Algo::WeightedAstar: return frontier(AlgorithmKind::weighted_astar(2.0));
    case Algo::Dls: return dls(g, s, t, kDlsDepth, o.record, o.limits);
    case Algo::Iddfs: return iddfs(g, s, t, kIddfsDepth, o.record, o.limits);
    case Algo::IdaStar: return ida_star(g, h, s, t, o.record, o.limits);
    case Algo::Beam: return beam_search(g, h, s, t, kBeamWidth, o.record, o.limits);
    case Algo::BeamWide: return beam_search(g, h, s, t, kWide, o.record, o.limits);
    case Algo::Bidir: return bidirectional(g, s, t, o.record, o.limits);
  }
  return {};
}

// Every field but `elapsed`.
template <class Node>
void expect_same(const SearchResult<Node>& a, const SearchResult<Node>& b) {
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

}  // namespace table
