// Pattern databases: the 3x3 whole-board database against the distances of a
// breadth-first search from the goal, every database against the Manhattan
// distance (never below it), and npuzzle_ida_star over them against the
// general ida_star with the same heuristic, field by field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <vector>

#include "quellostrin/domains/npuzzle_ida.hpp"
#include "quellostrin/domains/npuzzle_pdb.hpp"
#include "quellostrin/search/algorithms.hpp"
#include "table.hpp"

using namespace quellostrin;

namespace {

using S = SmallBytes;

PuzzlePatterns built(PatternSpec spec) { return std::move(*PuzzlePatterns::build(std::move(spec)).patterns); }

S korf_goal(std::uint64_t side) {
  S g(static_cast<std::size_t>(side * side), std::uint8_t{0});
  for (std::size_t i = 0; i < g.size(); ++i) g[i] = static_cast<std::uint8_t>(i);
  return g;
}

}  // namespace

TEST(NPuzzlePdb, WholeBoardIsTheExactDistanceAndNeverBelowManhattan) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 2; ++trial) {
    const NPuzzle p{3};
    S goal = p.goal();
    if (trial == 1) std::shuffle(goal.begin(), goal.end(), rng);
    const PuzzlePatterns db = built(*default_patterns(3, goal));
    // A board as a key: four bits per cell.
    auto key = [](const S& s) {
      std::uint64_t k = 0;
      for (const std::uint8_t t : s) k = k << 4 | t;
      return k;
    };
    std::map<std::uint64_t, int> dist{{key(goal), 0}};
    std::deque<S> queue{goal};
    while (!queue.empty()) {
      const S s = queue.front();
      queue.pop_front();
      const int d = dist[key(s)];
      for (const auto& [t, w] : p.neighbors(s)) {
        if (dist.emplace(key(t), d + 1).second) queue.push_back(t);
      }
    }
    ASSERT_EQ(dist.size(), 181440u);
    for (const auto& [k, d] : dist) {
      S s(9, std::uint8_t{0});
      for (std::size_t c = 0; c < 9; ++c) s[c] = static_cast<std::uint8_t>(k >> (4 * (8 - c)) & 15);
      ASSERT_EQ(db.estimate(s.data()), d);
      ASSERT_GE(db.estimate(s.data()), PuzzleManhattan{3}.estimate(s, goal));
    }
  }
}

TEST(NPuzzlePdb, SameResultsAsTheGeneralStrategy) {
  struct Case {
    PatternSpec spec;
    int boards;
    int steps;
  };
  std::vector<Case> cases;
  cases.push_back({*default_patterns(2, NPuzzle{2}.goal()), 10, 6});
  cases.push_back({*default_patterns(3, NPuzzle{3}.goal()), 20, 30});
  cases.push_back({PatternSpec{3, korf_goal(3), {{1, 2}, {3, 4, 5}, {6, 7, 8}}, true}, 20, 30});
  cases.push_back(
      {PatternSpec{4, korf_goal(4), {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15}}, true}, 8, 36});
  cases.push_back(
      {PatternSpec{4, NPuzzle{4}.goal(), {{1, 5, 9, 13}, {2, 6, 10, 14}, {3, 7, 11, 15}, {4, 8, 12}}, false}, 8, 36});
  cases.push_back(
      {PatternSpec{
           5,
           NPuzzle{5}.goal(),
           {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}, {19, 20, 21}, {22, 23, 24}},
           false},
       3, 20});
  std::mt19937 rng(11);
  for (const Case& c : cases) {
    const NPuzzle p{c.spec.side};
    const PuzzlePatterns db = built(c.spec);
    const PuzzlePdb h{&db};
    for (int i = 0; i < c.boards; ++i) {
      S start = c.spec.goal;
      for (int k = 0; k < c.steps; ++k) {
        const auto next = p.neighbors(start);
        start = next[rng() % next.size()].first;
      }
      SCOPED_TRACE(testing::Message() << "side " << c.spec.side << ", board " << i);
      // Never below the Manhattan distance, never above the optimal length.
      const double optimal = npuzzle_ida_star(p, start, c.spec.goal, false).cost;
      EXPECT_GE(db.estimate(start.data()), PuzzleManhattan{p.side}.estimate(start, c.spec.goal));
      EXPECT_LE(db.estimate(start.data()), optimal);
      EXPECT_EQ(npuzzle_ida_star(p, h, start, c.spec.goal, false).cost, optimal);
      for (const table::FastRun& o :
           table::fast_runs(rng, npuzzle_ida_star(p, h, start, c.spec.goal, false).nodes_expanded)) {
        o.expect_same_as(
            [&](auto& hook) { return npuzzle_ida_star(p, h, start, c.spec.goal, o.record, o.limits(hook)); },
            [&](auto& hook) { return ida_star(p, h, start, c.spec.goal, o.record, o.limits(hook)); });
      }
    }
  }
}

// A group that a symmetry of the board maps onto an earlier one takes its
// table from it: the same table as built on its own.
TEST(NPuzzlePdb, MirroredGroupsMatchTheirOwnSearch) {
  const S goal = korf_goal(3);
  const PuzzlePatterns a = built(PatternSpec{3, goal, {{1, 2}, {3, 6}, {4, 5, 7, 8}}, false});
  const PuzzlePatterns b = built(PatternSpec{3, goal, {{3, 6}, {1, 2}, {4, 5, 7, 8}}, false});
  EXPECT_EQ(a.tables()[0], b.tables()[1]);
  EXPECT_EQ(a.tables()[1], b.tables()[0]);
  const S goal4 = korf_goal(4);
  const PuzzlePatterns c =
      built(PatternSpec{4, goal4, {{4, 8, 12}, {7, 11, 15}, {1, 2, 3}, {5, 6, 9}, {10, 13, 14}}, false});
  const PuzzlePatterns d =
      built(PatternSpec{4, goal4, {{7, 11, 15}, {4, 8, 12}, {1, 2, 3}, {5, 6, 9}, {10, 13, 14}}, false});
  EXPECT_EQ(c.tables()[1], d.tables()[0]);
}

TEST(NPuzzlePdb, RefusesWhatItCannotBuild) {
  const S goal = NPuzzle{4}.goal();
  EXPECT_THROW(check_patterns(PatternSpec{4, goal, {{1, 2}, {2, 3}}, false}), InputError);
  EXPECT_THROW(check_patterns(PatternSpec{4, goal, {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}}, false}),
               InputError);
  EXPECT_THROW(check_patterns(PatternSpec{4, korf_goal(4), {{1, 2, 3}, {}}, false}), InputError);
  EXPECT_THROW(named_patterns(5, NPuzzle{5}.goal(), "6-6-3"), InputError);
  S off_diagonal = goal;
  std::swap(off_diagonal[15], off_diagonal[14]);
  EXPECT_FALSE(named_patterns(4, off_diagonal, "7-8").reflected);
  EXPECT_TRUE(named_patterns(4, goal, "7-8").reflected);
  // Twelve tiles of 25 cells: 25!/13! bytes, more than any machine holds.
  PatternSpec huge{5,
                   NPuzzle{5}.goal(),
                   {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24}},
                   false};
  EXPECT_THROW(PuzzlePatterns::build(huge), OutOfMemory);
  // A hook that stops at once cancels the build.
  int polls = 0;
  const StopHook stop{[](void* c) { return ++*static_cast<int*>(c) > 0; }, &polls};
  EXPECT_TRUE(PuzzlePatterns::build(*default_patterns(4, goal), stop).cancelled);
  EXPECT_EQ(polls, 1);
}
