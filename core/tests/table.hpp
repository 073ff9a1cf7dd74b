// Every strategy of the core behind one call, for the tests that hold all of
// them to the same rules: the seven kinds of the frontier driver and the five
// path-at-a-time and layered strategies, two of them (beam) at two widths.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/search/strategies.hpp"

namespace table {

using namespace quellostrin;

enum class Algo { Bfs, Dfs, Ucs, Dijkstra, Greedy, Astar, WeightedAstar, Dls, Iddfs, IdaStar, Beam, BeamWide, Bidir };

inline constexpr Algo kAll[] = {Algo::Bfs,  Algo::Dfs,   Algo::Ucs,     Algo::Dijkstra, Algo::Greedy,
                                Algo::Astar, Algo::WeightedAstar, Algo::Dls, Algo::Iddfs, Algo::IdaStar,
                                Algo::Beam, Algo::BeamWide, Algo::Bidir};

inline constexpr std::uint64_t kDlsDepth = 4;    // the depth limit of the "dls" row
inline constexpr std::uint64_t kIddfsDepth = 6;  // the largest limit of the "iddfs" row
inline constexpr std::uint64_t kWide = std::numeric_limits<std::uint64_t>::max();

inline const char* name(Algo a) {
  constexpr const char* names[] = {"bfs", "dfs",   "ucs",      "dijkstra", "greedy",    "astar",        "wastar",
                                   "dls", "iddfs", "ida_star", "beam 2",   "beam wide", "bidirectional"};
  return names[static_cast<int>(a)];
}

inline bool is_frontier(Algo a) { return a <= Algo::WeightedAstar; }

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
        {.max_nodes = o.limits.max_nodes,
         .max_memory = o.limits.max_memory,
         .record = o.record,
         .reopen = o.reopen,
         .dense = o.dense,
         .stop = o.limits.hook});
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
    case Algo::Beam: return beam_search(g, h, s, t, 2, o.record, o.limits);
    case Algo::BeamWide: return beam_search(g, h, s, t, kWide, o.record, o.limits);
    case Algo::Bidir: return bidirectional(g, s, t, o.record, o.limits);
  }
  return {};
}

// A stop hook that counts its polls and asks to stop at the `stop_at`-th
// (never when 0).
struct CountingHook {
  std::uint64_t stop_at = 0, polls = 0;
  static bool poll(void* self) {
    auto* h = static_cast<CountingHook*>(self);
    return ++h->polls == h->stop_at;
  }
  StopHook hook(std::uint64_t every) { return {&CountingHook::poll, this, every}; }
};

// Every field but `elapsed`, a NaN cost as absent so that it equals itself.
template <class Node>
void expect_same(const SearchResult<Node>& a, const SearchResult<Node>& b) {
  auto fields = [](const SearchResult<Node>& r) {
    return std::tuple(r.path, std::isnan(r.cost) ? std::nullopt : std::optional(r.cost), r.nodes_expanded,
                      r.nodes_generated, r.nodes_reopened, r.max_frontier_size, r.stop_reason, r.trace, r.tree);
  };
  EXPECT_EQ(fields(a), fields(b));
}

// The settings of a fast path's differential test, the same for both
// searches, each search polling a counting hook of its own.
struct FastRun {
  bool record = false;
  bool dense = true;
  std::optional<std::uint64_t> max_nodes;
  std::uint64_t every = 0;  // 0: no hook
  std::uint64_t stop_at = 0;
  Limits limits(CountingHook& hook) const { return {max_nodes, every == 0 ? StopHook{} : hook.hook(every)}; }
  SearchOptions with(CountingHook& hook) const {
    const Limits l = limits(hook);
    return {.max_nodes = l.max_nodes, .record = record, .dense = dense, .stop = l.hook};
  }
  // Runs the fast path and the general search, each given a hook of these
  // settings, and expects the same results and the same polls.
  template <class Fast, class General>
  void expect_same_as(Fast fast, General general) const {
    CountingHook fast_hook{stop_at}, general_hook{stop_at};
    const auto a = fast(fast_hook);
    expect_same(a, general(general_hook));
    EXPECT_EQ(fast_hook.polls, general_hook.polls);
  }
};

// run_algo against the general driver for every frontier algorithm, with and
// without reopening: the same results whichever path run_algo takes (the
// heuristic made for the domain, as run_algo makes it).
template <class G, class H>
void expect_dispatch_same(const G& g, const H& h, const NodeOf<G>& s, const NodeOf<G>& t) {
  for (const char* name : {"ucs", "dijkstra", "greedy", "astar", "weighted_astar", "bfs", "dfs"}) {
    for (const bool reopen : {false, true}) {
      SCOPED_TRACE(testing::Message() << name << (reopen ? " reopening" : ""));
      const AlgorithmInfo& algo = find_algorithm(name);
      expect_same(run_algo(algo, g, h, s, t, {.weight = 3.0, .reopen = reopen, .dense = true}),
                  search_with_options(g, s, t, algo.kind(3.0), for_domain(h, g),
                                      {.record = true, .reopen = reopen, .dense = true}));
    }
  }
}

// The runs every fast path is held to for a search of `expanded` expansions:
// with a trace, over sparse tables, under a node limit anywhere in the search
// (the last expansion included), and with a hook polled every few expansions
// that stops the search midway or not at all.
inline std::vector<FastRun> fast_runs(std::mt19937& rng, std::uint64_t expanded) {
  const std::uint64_t every = rng() % 5 + 1;
  return {{.record = true},
          {.record = rng() % 2 == 0, .dense = false},
          {.record = rng() % 2 == 0, .max_nodes = std::uniform_int_distribution<std::uint64_t>(0, expanded)(rng)},
          {.record = rng() % 2 == 0, .every = every, .stop_at = rng() % (expanded / every + 2) + 1}};
}

// The priority-queue kinds every fast path is held to: the heuristic's weight
// 0, 1, above and below 1, negative, and large enough to overflow a priority.
inline const AlgorithmKind kPriorityKinds[] = {
    AlgorithmKind::ucs(),  AlgorithmKind::dijkstra(), AlgorithmKind::greedy(), AlgorithmKind::astar(),
    AlgorithmKind::weighted_astar(2.0), AlgorithmKind::weighted_astar(0.5), AlgorithmKind::weighted_astar(-1.5),
    AlgorithmKind::weighted_astar(1e308)};

// A fast path against the general driver, each called as search(options),
// under every run of fast_runs: the same results and the same polls. The
// fast path borrows one workspace for every search of the test, as a prepared
// domain lends its pool's.
template <class Fast, class General>
void expect_fast_path_same(std::mt19937& rng, Fast fast, General general) {
  static Workspace shared;
  for (const FastRun& o : fast_runs(rng, fast(SearchOptions{}).nodes_expanded)) {
    o.expect_same_as(
        [&](auto& hook) {
          SearchOptions options = o.with(hook);
          options.workspace = &shared;
          return fast(options);
        },
        [&](auto& hook) { return general(o.with(hook)); });
  }
}

}  // namespace table
