// The stop gate in every strategy: a node limit or the caller's hook ends a
// search right after the goal test of the expansion it names, before that
// node's successors are taken, with the trace and counters of that moment.
#include "quellostrin/stop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "oracle.hpp"
#include "table.hpp"

using namespace quellostrin;
using table::Algo;
using Result = SearchResult<std::uint64_t>;

namespace {

// A hook that asks to stop on its `stop_at`-th call (never when 0).
struct Poll {
  std::uint64_t stop_at = 0, calls = 0;
  static bool poll(void* self) {
    auto* p = static_cast<Poll*>(self);
    return ++p->calls == p->stop_at;
  }
  StopHook hook(std::uint64_t every) { return {&Poll::poll, this, every}; }
};

// How often a search that is never stopped asks its gate: once per expansion,
// except the goal's (found before the gate is asked); bidirectional search
// polls every node before taking its successors, the meeting layer's too.
std::uint64_t gate_asks(Algo a, const Result& full) {
  return full.nodes_expanded - (full.found() && a != Algo::Bidir ? 1 : 0);
}

// `r` is the unstopped `full` cut after its `m`-th expansion: no path, the
// first `m` trace steps, and successors taken for the earlier expansions only
// (all of them when a whole layer ended, `layer_done`), as far as the walk's
// depth rule fetches them.
void expect_cut(Algo a, const Result& r, const Result& full, std::uint64_t m, StopReason reason,
                std::uint64_t fetches, bool layer_done = false) {
  EXPECT_EQ(r.stop_reason, reason);
  EXPECT_FALSE(r.found());
  EXPECT_EQ(r.cost, kInf);
  ASSERT_EQ(r.nodes_expanded, m);
  ASSERT_LE(m, full.trace.size());
  EXPECT_EQ(r.trace, Trace(full.trace.begin(), full.trace.begin() + static_cast<std::ptrdiff_t>(m)));
  EXPECT_LE(r.nodes_generated, full.nodes_generated);
  EXPECT_GE(r.nodes_generated, m);
  EXPECT_LE(r.max_frontier_size, full.max_frontier_size);
  if (!table::is_frontier(a)) {
    EXPECT_TRUE(r.tree.empty());
  }
  std::uint64_t expected = 0, iteration = 0;
  for (std::uint64_t i = 0; i < (layer_done ? m : m - 1); ++i) {
    if (i > 0 && r.trace[i].frontier_size == 0) ++iteration;  // a new pass starts at the root
    if (r.trace[i].frontier_size < table::fetch_depth(a, iteration)) ++expected;
  }
  EXPECT_EQ(fetches, expected);
}

}  // namespace

TEST(StopGate, NodeLimitStopsEveryStrategyAfterTheGoalTest) {
  for (std::uint64_t seed = 0; seed < 60; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed, 12, 2.0);
    oracle::CountingGraph counting{g};
    const oracle::CountingHeuristic h{[seed](std::uint64_t v) { return double((v * 7 + seed) % 5); }};
    for (const Algo a : table::kAll) {
      SCOPED_TRACE(table::name(a));
      const Result full = table::run(a, counting, h, start, goal);
      const std::uint64_t asks = gate_asks(a, full), e = full.nodes_expanded;
      std::vector<std::uint64_t> limits{0, 1, 2, 3, e, e + 1, e / 2};
      if (e > 0) limits.push_back(e - 1);
      // Bidirectional search tests the limit once per layer: try every limit.
      for (std::uint64_t k = 4; a == Algo::Bidir && k < e; ++k) limits.push_back(k);
      std::vector<std::uint64_t> stops(e + 2, 0);  // where each limit stopped bidirectional search
      for (const std::uint64_t k : limits) {
        SCOPED_TRACE(k);
        counting.fetches = 0;
        const Result r = table::run(a, counting, h, start, goal, {.limits = {.max_nodes = k}});
        const std::uint64_t m = std::max<std::uint64_t>(k, 1);  // at least one node is expanded
        if (a != Algo::Bidir) {
          if (m > asks) {
            table::expect_same(r, full);  // a goal expanded as the last allowed node is found
          } else {
            expect_cut(a, r, full, m, StopReason::NodeLimit, counting.fetches);
          }
        } else if (r.stop_reason != StopReason::NodeLimit) {
          table::expect_same(r, full);  // the meeting layer is finished whatever the limit
        } else {
          ASSERT_GE(r.nodes_expanded, m);
          ASSERT_LE(r.nodes_expanded, e);
          expect_cut(a, r, full, r.nodes_expanded, StopReason::NodeLimit, counting.fetches, true);
          stops[k] = r.nodes_expanded;
        }
      }
      // Bidirectional search stops at the first layer end at or past the
      // limit: where it stops is a fixed point, and the stops never decrease.
      for (std::uint64_t k = 1; a == Algo::Bidir && k <= e; ++k) {
        if (stops[k] == 0) continue;
        EXPECT_NE(stops[k - 1], 0u);
        EXPECT_LE(stops[k - 1], stops[k]);
        EXPECT_EQ(stops[stops[k]], stops[k]);
      }
    }
  }
}

TEST(StopGate, HookIsPolledEveryNExpansionsAndCancels) {
  for (std::uint64_t seed = 0; seed < 60; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed, 12, 2.0);
    oracle::CountingGraph counting{g};
    const oracle::CountingHeuristic h{[seed](std::uint64_t v) { return double((v * 5 + seed) % 4); }};
    for (const Algo a : table::kAll) {
      SCOPED_TRACE(table::name(a));
      const Result full = table::run(a, counting, h, start, goal);
      const std::uint64_t asks = gate_asks(a, full);
      for (const std::uint64_t every : {0, 1, 3}) {  // 0 polls like 1
        for (const std::uint64_t stop_at : {0, 1, 2, 5}) {
          SCOPED_TRACE(testing::Message() << "every " << every << ", stop at " << stop_at);
          Poll p{stop_at};
          counting.fetches = 0;
          const Result r = table::run(a, counting, h, start, goal, {.limits = {.hook = p.hook(every)}});
          const std::uint64_t step = std::max<std::uint64_t>(every, 1), m = stop_at * step;
          if (stop_at == 0 || m > asks) {
            table::expect_same(r, full);
            EXPECT_EQ(p.calls, asks / step);
          } else {
            expect_cut(a, r, full, m, StopReason::Cancelled, counting.fetches);
            EXPECT_EQ(p.calls, stop_at);
          }
        }
      }
      // With both set, whichever comes first stops it; on the same expansion
      // the limit wins and the hook is not polled.
      if (a == Algo::Bidir || asks < 3) continue;
      for (const std::uint64_t limit : {2, 3}) {
        Poll p{2};
        const Result r = table::run(a, counting, h, start, goal, {.limits = {.max_nodes = limit, .hook = p.hook(1)}});
        EXPECT_EQ(r.stop_reason, limit == 2 ? StopReason::NodeLimit : StopReason::Cancelled);
        EXPECT_EQ(r.nodes_expanded, 2u);
        EXPECT_EQ(p.calls, limit == 2 ? 1u : 2u);
      }
    }
  }
}

// Iterative deepening to depth 1000 over a ladder of 2000 nodes, each linked
// to the next two, would meet exponentially many paths; IDA* on a complete
// graph with an unreachable goal would record a trace without end. A limit
// bounds both, counted across all their iterations.
TEST(StopGate, RunawayWalksEndAtTheLimit) {
  std::vector<Edge> ladder, complete;
  for (std::uint64_t i = 0; i < 2000; ++i) {
    for (std::uint64_t j : {i + 1, i + 2}) {
      if (j < 2000) ladder.push_back({i, j, 1.0});
    }
  }
  for (std::uint64_t i = 0; i < 50; ++i) {
    for (std::uint64_t j = 0; j < 50; ++j) complete.push_back({i, j, 1.0});
  }
  const Limits limits{.max_nodes = 200'000};
  auto deep = iddfs(directed(2000, ladder), 0, 1999, 1000, true, limits);
  EXPECT_EQ(deep.stop_reason, StopReason::NodeLimit);
  EXPECT_EQ(deep.nodes_expanded, 200'000u);
  EXPECT_EQ(deep.trace.size(), 200'000u);

  auto wide = ida_star(directed(51, complete), Zero{}, 0, 50, true, limits);
  EXPECT_EQ(wide.stop_reason, StopReason::NodeLimit);
  EXPECT_EQ(wide.nodes_expanded, 200'000u);
  EXPECT_EQ(wide.trace.size(), 200'000u);
  EXPECT_GT(wide.trace.back().g, 1.0);  // the count ran on across passes

  Poll p{3};
  auto cancelled = dls(directed(2000, ladder), 0, 1999, 1000, false, {.hook = p.hook(1000)});
  EXPECT_EQ(cancelled.stop_reason, StopReason::Cancelled);
  EXPECT_EQ(cancelled.nodes_expanded, 3000u);
}

// A count that jumps past several poll points polls once; the next poll is
// due `every` expansions after the count that was seen.
TEST(StopGate, PollsAfterAJumpAreCountedFromIt) {
  Poll p;
  StopGate gate({.hook = p.hook(4)});
  for (const std::uint64_t n : {3, 13, 16, 17, 21}) EXPECT_FALSE(gate(n));
  EXPECT_EQ(p.calls, 3u);  // at 13, 17 and 21
  EXPECT_FALSE(gate.limit_reached(1'000'000));
  StopGate limited({.max_nodes = 5});
  EXPECT_FALSE(limited.cancelled(100));
  EXPECT_TRUE(limited(5));
  EXPECT_EQ(limited.reason(), StopReason::NodeLimit);
}
