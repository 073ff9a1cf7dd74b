// The stop gate in every strategy: a node limit or the caller's hook ends a
// search right after the goal test of the expansion it names, before that
// node's successors are taken, with the trace and counters of that moment;
// and the memory account, whose cap ends a search the same way.
#include "quellostrin/search/stop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

#include "oracle.hpp"
#include "quellostrin/hash.hpp"
#include "quellostrin/memory.hpp"
#include "table.hpp"

using namespace quellostrin;
using table::Algo;
using Result = SearchResult<std::uint64_t>;

namespace {

// Runs `check(a, run, full, asks)` for every strategy on seeded random graphs,
// where `run(limits)` searches again under `limits` and returns the result
// with the count of successor fetches, `full` is the
// unstopped search, and `asks` how often it asked its gate: once per
// expansion but the goal's (found before the gate is asked); bidirectional
// search polls every node before taking its successors, the meeting layer's too.
template <class Check>
void for_every_strategy(Check&& check) {
  for (std::uint64_t seed = 0; seed < 60; ++seed) {
    SCOPED_TRACE(seed);
    const auto [rg, g, start, goal] = oracle::random_case(seed, 12, 2.0);
    oracle::CountingGraph counting{g};
    const oracle::CountingHeuristic h{[seed](std::uint64_t v) { return double((v * 7 + seed) % 5); }};
    for (const Algo a : table::kAll) {
      SCOPED_TRACE(table::name(a));
      const Result full = table::run(a, counting, h, start, goal);
      auto run = [&](const Limits& limits) {
        counting.fetches = 0;
        Result r = table::run(a, counting, h, start, goal, {.limits = limits});
        return std::pair(std::move(r), counting.fetches);
      };
      check(a, run, full, full.nodes_expanded - (full.found() && a != Algo::Bidir ? 1 : 0));
    }
  }
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
  EXPECT_GE(r.nodes_generated, m);
  EXPECT_LE(r.nodes_generated, full.nodes_generated);
  EXPECT_LE(r.max_frontier_size, full.max_frontier_size);
  EXPECT_TRUE(table::is_frontier(a) || r.tree.empty());
  // Depth-limited walks fetch only above their limit; each iteration of
  // iterative deepening restarts at depth 0 with a limit one deeper.
  std::uint64_t expected = 0, iteration = 0;
  for (std::uint64_t i = 0; i < (layer_done ? m : m - 1); ++i) {
    const std::uint64_t depth = r.trace[i].frontier_size;
    if (i > 0 && depth == 0) ++iteration;
    const std::uint64_t limit = a == Algo::Dls     ? table::kDlsDepth
                                : a == Algo::Iddfs ? iteration
                                                   : std::numeric_limits<std::uint64_t>::max();
    expected += depth < limit ? 1 : 0;
  }
  EXPECT_EQ(fetches, expected);
}

}  // namespace

TEST(StopGate, NodeLimitStopsEveryStrategyAfterTheGoalTest) {
  for_every_strategy([](Algo a, auto& run, const Result& full, std::uint64_t asks) {
    const std::uint64_t e = full.nodes_expanded;
    std::vector<std::uint64_t> limits{0, 1, 2, 3, e / 2, e, e + 1, std::max<std::uint64_t>(e, 1) - 1};
    for (std::uint64_t k = 4; a == Algo::Bidir && k < e; ++k) limits.push_back(k);
    std::vector<std::uint64_t> stops(e + 2, 0);  // where each limit stopped bidirectional search
    for (const std::uint64_t k : limits) {
      SCOPED_TRACE(k);
      const auto [r, fetches] = run(Limits{.max_nodes = k});
      const std::uint64_t m = std::max<std::uint64_t>(k, 1);  // at least one node is expanded
      if (a != Algo::Bidir && m <= asks) {
        expect_cut(a, r, full, m, StopReason::NodeLimit, fetches);
      } else if (a == Algo::Bidir && r.stop_reason == StopReason::NodeLimit) {
        ASSERT_GE(r.nodes_expanded, m);
        ASSERT_LE(r.nodes_expanded, e);
        expect_cut(a, r, full, r.nodes_expanded, StopReason::NodeLimit, fetches, true);
        stops[k] = r.nodes_expanded;
      } else {
        table::expect_same(r, full);  // a goal expanded as the last allowed node is found
      }
    }
    // Bidirectional search tests the limit after each layer that met nothing:
    // it stops at the first layer end at or past the limit. So where it stops
    // is a fixed point, and the stops never decrease as the limit grows.
    for (std::uint64_t k = 1; a == Algo::Bidir && k <= e; ++k) {
      if (stops[k] == 0) continue;
      EXPECT_NE(stops[k - 1], 0u);
      EXPECT_LE(stops[k - 1], stops[k]);
      EXPECT_EQ(stops[stops[k]], stops[k]);
    }
  });
}

TEST(StopGate, HookIsPolledEveryNExpansionsAndCancels) {
  for_every_strategy([](Algo a, auto& run, const Result& full, std::uint64_t asks) {
    for (const std::uint64_t every : {0, 1, 3}) {  // 0 polls like 1
      for (const std::uint64_t stop_at : {0, 1, 2, 5}) {
        SCOPED_TRACE(testing::Message() << "every " << every << ", stop at " << stop_at);
        table::CountingHook p{stop_at};
        const auto [r, fetches] = run(Limits{.hook = p.hook(every)});
        const std::uint64_t step = std::max<std::uint64_t>(every, 1), m = stop_at * step;
        if (stop_at == 0 || m > asks) {
          table::expect_same(r, full);
          EXPECT_EQ(p.polls, asks / step);
        } else {
          expect_cut(a, r, full, m, StopReason::Cancelled, fetches);
          EXPECT_EQ(p.polls, stop_at);
        }
      }
    }
    // With both set, whichever comes first stops it; on the same expansion
    // the limit wins and the hook is not polled.
    for (const std::uint64_t limit : {2, 3}) {
      if (a == Algo::Bidir || asks < 3) break;
      table::CountingHook p{2};
      const Result r = run(Limits{.max_nodes = limit, .hook = p.hook(1)}).first;
      EXPECT_EQ(r.stop_reason, limit == 2 ? StopReason::NodeLimit : StopReason::Cancelled);
      EXPECT_EQ(r.nodes_expanded, 2u);
      EXPECT_EQ(p.polls, limit == 2 ? 1u : 2u);
    }
  });
}

// A time limit is read off the clock every kClockEvery expansions: one already
// past stops every strategy at its first reading, with the counters and trace
// of that moment. (The depth-limited rows end before the first reading.)
TEST(StopGate, TimeLimitStopsAtTheFirstClockReadingPastIt) {
  const GridGraph grid(1500, 1500);
  const Cell start{0, 0}, goal{1499, 1499};
  for (const Algo a : table::kAll) {
    if (a == Algo::Dls || a == Algo::Iddfs) continue;
    SCOPED_TRACE(table::name(a));
    const auto r = table::run(a, grid, Zero{}, start, goal, {.limits = {.hook = {.time_limit = 0.0}}});
    EXPECT_EQ(r.stop_reason, StopReason::TimeLimit);
    EXPECT_EQ(r.path, std::nullopt);
    EXPECT_EQ(r.trace.size(), r.nodes_expanded);
    if (a == Algo::Bidir) {
      EXPECT_GE(r.nodes_expanded, kClockEvery);  // a layer at a time
    } else {
      EXPECT_EQ(r.nodes_expanded, kClockEvery);
    }
  }
}

// A memory cap stops every strategy whose tables grow past it, with the
// counters and trace of that moment (the depth-limited rows hold too little).
TEST(MemoryAccount, CapStopsEveryStrategy) {
  const GridGraph grid(1500, 1500);
  for (const Algo a : table::kAll) {
    if (a == Algo::Dls || a == Algo::Iddfs) continue;
    SCOPED_TRACE(table::name(a));
    const auto r = table::run(a, grid, Zero{}, Cell{0, 0}, Cell{1499, 1499}, {.limits = {.max_memory = 1 << 20}});
    EXPECT_EQ(r.stop_reason, StopReason::MemoryLimit);
    EXPECT_EQ(r.path, std::nullopt);
    EXPECT_EQ(r.trace.size(), r.nodes_expanded);
    EXPECT_GT(r.nodes_expanded, 1000u);
  }
}

// A refused growth leaves the table as it was, and the account within its cap.
TEST(MemoryAccount, RefusedGrowthLeavesTheTableWhole) {
  MemoryAccount account(1 << 16);
  FlatMap<std::uint64_t, std::uint64_t> map(0, &account);
  PriorityQueue<std::uint64_t> queue(&account);
  std::uint64_t n = 0;
  try {
    for (;; ++n) {
      *map.try_emplace(n).first = 3 * n;
      queue.push(n, double(n), n);
    }
  } catch (const MemoryRefused& refused) {
    EXPECT_TRUE(refused.cap);
    EXPECT_GT(refused.needed, refused.available);
  }
  EXPECT_LE(account.held(), 1u << 16);
  EXPECT_GT(n, 100u);
  for (std::uint64_t i = 0; i < n; ++i) ASSERT_EQ(*map.find(i), 3 * i);
  for (std::uint64_t i = 0; i < queue.len(); ++i) ASSERT_EQ(queue.pop(), i);
}

// QUELLOSTRIN_AVAILABLE_MEMORY stands for the memory the process may hold in
// all: at 0, an account without a cap refuses a growth once past the bytes it
// may take unchecked, saying what was available.
TEST(MemoryAccount, TheOverrideSetsTheAvailableMemory) {
  ::setenv(kAvailableMemoryVariable, "1T", 1);
  EXPECT_GT(available_memory(), std::uint64_t{1} << 39);
  ::setenv(kAvailableMemoryVariable, "0", 1);
  EXPECT_EQ(available_memory(), 0u);
  MemoryAccount account;
  account.charge(MemoryAccount::kUncheckedBytes);
  try {
    account.charge(1);
    ADD_FAILURE() << "a growth past the available memory was allowed";
  } catch (const MemoryRefused& refused) {
    EXPECT_FALSE(refused.cap);
    EXPECT_EQ(refused.available, 0u);
    EXPECT_EQ(out_of_memory_message(refused, 7),
              "search stopped after 7 expanded nodes: its tables needed 1 bytes more, and only 0 are available");
  }
  ::unsetenv(kAvailableMemoryVariable);
  EXPECT_GT(available_memory(), 0u);
}
