// npuzzle_ida_star against the general ida_star over the same puzzle and
// heuristic: every field of the result but the elapsed time, on random boards
// of sides 1 to 5 and random goals, with and without a trace, a node limit
// that cuts the search anywhere, and a stop hook whose polls are counted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/domains/npuzzle_ida.hpp"
#include "table.hpp"

using namespace quellostrin;

namespace {

using S = SmallBytes;

// `steps` random slides away from `goal`; a shuffle of it (solvable or not) for 0.
S scrambled(const NPuzzle& p, const S& goal, int steps, std::mt19937& rng) {
  S s = goal;
  if (steps == 0) std::shuffle(s.begin(), s.end(), rng);
  for (int i = 0; i < steps; ++i) {
    const auto next = p.neighbors(s);
    s = next[rng() % next.size()].first;
  }
  return s;
}

}  // namespace

TEST(NPuzzleIda, SameResultsAsTheGeneralStrategy) {
  struct Case {
    std::uint64_t side;
    int boards;
    int steps;         // slides from the goal; 0: a shuffle
    bool random_goal;  // a shuffled goal, else the canonical one
  };
  const Case cases[] = {
      {1, 1, 0, false},   {2, 40, 0, true},  {3, 150, 0, false}, {3, 60, 0, true},
      {4, 30, 36, false}, {4, 20, 40, true}, {5, 8, 24, false},  {5, 4, 28, true},
  };
  std::mt19937 rng(7);
  for (const Case& c : cases) {
    const NPuzzle p{c.side};
    for (int i = 0; i < c.boards; ++i) {
      S goal = p.goal();
      if (c.random_goal) std::shuffle(goal.begin(), goal.end(), rng);
      S start = scrambled(p, goal, c.steps, rng);
      // Only side 2 keeps unsolvable boards: there a search ends "exhausted" after a few passes.
      while (c.side > 2 && !p.is_solvable(start, goal)) start = scrambled(p, goal, c.steps, rng);
      SCOPED_TRACE(testing::Message() << "side " << c.side << ", board " << i);

      const PuzzleManhattan h{p.side};
      for (const table::FastRun& o : table::fast_runs(rng, npuzzle_ida_star(p, start, goal, false).nodes_expanded)) {
        o.expect_same_as([&](auto& hook) { return npuzzle_ida_star(p, start, goal, o.record, o.limits(hook)); },
                         [&](auto& hook) { return ida_star(p, h, start, goal, o.record, o.limits(hook)); });
      }
    }
  }
}

// run_algo takes the special path for ida_star with PuzzleManhattan of the
// puzzle's side only; a heuristic of another side (which measures another
// board) and boards that are not permutations keep the general strategy.
TEST(NPuzzleIda, DispatchKeepsTheGeneralStrategyElsewhere) {
  const AlgorithmInfo& ida = find_algorithm("ida_star");
  const NPuzzle p{3};
  const S goal = p.goal();
  const S start{8, 6, 7, 2, 5, 4, 3, 0, 1};
  table::expect_same(run_algo(ida, p, PuzzleManhattan{3}, start, goal, {}),
                     ida_star(p, PuzzleManhattan{3}, start, goal, true));
  table::expect_same(run_algo(ida, p, PuzzleManhattan{4}, start, goal, {}),
                     ida_star(p, PuzzleManhattan{4}, start, goal, true));
  EXPECT_TRUE(npuzzle_ida_applies(p, PuzzleManhattan{3}, start, goal));
  EXPECT_FALSE(npuzzle_ida_applies(p, PuzzleManhattan{4}, start, goal));
  EXPECT_FALSE(npuzzle_ida_applies(p, PuzzleManhattan{3}, S{8, 6, 7, 2, 5, 4, 3, 0, 0}, goal));
  EXPECT_FALSE(npuzzle_ida_applies(p, PuzzleManhattan{3}, start, S{1, 2, 3}));
  EXPECT_FALSE(npuzzle_ida_applies(NPuzzle{std::uint64_t{1} << 32}, PuzzleManhattan{std::uint64_t{1} << 32}, S{}, S{}));
}
