#include "quellostrin/domains/npuzzle.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/errors.hpp"

using namespace quellostrin;

namespace {

using S = SmallBytes;
using Board = std::vector<std::uint8_t>;

std::uint64_t key(const Board& b) {
  std::uint64_t k = 0;
  for (const std::uint8_t t : b) k = k << 4 | t;
  return k;
}

// Breadth-first distances from `goal` over every board reachable from it,
// with the moves written out from the rules of the puzzle.
std::unordered_map<std::uint64_t, int> distances_from(const Board& goal, int side) {
  std::unordered_map<std::uint64_t, int> dist{{key(goal), 0}};
  std::vector<Board> layer{goal};
  for (int d = 1; !layer.empty(); ++d) {
    std::vector<Board> next;
    for (const Board& b : layer) {
      const int blank = static_cast<int>(std::find(b.begin(), b.end(), 0) - b.begin());
      const int r = blank / side, c = blank % side;
      const int steps[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
      for (const auto& [dr, dc] : steps) {
        if (r + dr < 0 || r + dr >= side || c + dc < 0 || c + dc >= side) continue;
        Board n = b;
        std::swap(n[static_cast<std::size_t>(blank)], n[static_cast<std::size_t>((r + dr) * side + c + dc)]);
        if (dist.emplace(key(n), d).second) next.push_back(std::move(n));
      }
    }
    layer = std::move(next);
  }
  return dist;
}

}  // namespace

TEST(NPuzzle, GoalAndSuccessorOrder) {
  EXPECT_EQ(NPuzzle{1}.goal(), S{0});
  EXPECT_EQ(NPuzzle{3}.goal(), (S{1, 2, 3, 4, 5, 6, 7, 8, 0}));
  Board big(256);
  std::iota(big.begin(), big.end() - 1, std::uint8_t{1});
  EXPECT_EQ(NPuzzle{16}.goal(), S(big));

  // Blank at each cell of a 3x3 board: the cells it swaps with, in order.
  const std::vector<std::vector<std::size_t>> swaps = {{3, 1}, {4, 0, 2}, {5, 1},    {0, 6, 4}, {1, 7, 3, 5},
                                                       {2, 8, 4}, {3, 7},    {4, 6, 8}, {5, 7}};
  const NPuzzle p{3};
  for (std::size_t blank = 0; blank < 9; ++blank) {
    S board{1, 2, 3, 4, 5, 6, 7, 8, 9};
    board[blank] = 0;
    SuccessorList<S> expected;
    for (const std::size_t t : swaps[blank]) {
      S next = board;
      std::swap(next[blank], next[t]);
      expected.emplace_back(next, 1.0);
    }
    EXPECT_EQ(p.neighbors(board), expected) << "blank at " << blank;
  }
  EXPECT_TRUE(NPuzzle{1}.neighbors(S{0}).empty());
  EXPECT_THROW(p.neighbors(S{1, 2, 0}), InvariantError);
  EXPECT_THROW(NPuzzle{0}.neighbors(S{}), InvariantError);
}

// Which boards are solvable is pinned by reachability below (the 2x2 board
// has the even side's rule); here, the pairs that are refused or mismatched.
TEST(NPuzzle, SolvabilityOfMismatchedBoards) {
  EXPECT_FALSE(NPuzzle{3}.is_solvable(NPuzzle{3}.goal(), NPuzzle{4}.goal()));
  // Not permutations: refused rather than walked.
  EXPECT_THROW(NPuzzle{2}.is_solvable(S{1, 1, 2, 0}, S{1, 2, 3, 0}), InvariantError);
  EXPECT_THROW(NPuzzle{2}.is_solvable(S{1, 2, 3, 0}, S{1, 2, 4, 0}), InvariantError);
}

// On 2x2 and 3x3 boards, is_solvable agrees with reachability for every
// start against the canonical goal, and for random pairs of boards (two
// boards can reach each other exactly when they lie in the same class); on
// every reachable board Misplaced <= Manhattan <= the true distance.
TEST(NPuzzle, SolvableExactlyWhenReachableAndHeuristicsAdmissible) {
  for (const int side : {2, 3}) {
    SCOPED_TRACE(side);
    const NPuzzle p{static_cast<std::uint64_t>(side)};
    const Board goal = p.goal().to_vector();
    const auto dist = distances_from(goal, side);
    Board b = goal;
    std::sort(b.begin(), b.end());
    std::size_t all = 0, solvable = 0;
    do {
      const auto it = dist.find(key(b));
      const bool reachable = it != dist.end();
      ASSERT_EQ(p.is_solvable(b, goal), reachable) << testing::PrintToString(b);
      ++all;
      solvable += reachable;
      if (!reachable) continue;
      const double manhattan = PuzzleManhattan{p.side}.estimate(b, goal);
      ASSERT_LE(manhattan, it->second) << testing::PrintToString(b);
      ASSERT_LE(PuzzleMisplaced{}.estimate(b, goal), manhattan);
    } while (std::next_permutation(b.begin(), b.end()));
    EXPECT_EQ(solvable * 2, all);

    std::mt19937 rng(static_cast<unsigned>(side));
    Board a = goal, c = goal;
    for (int i = 0; i < 2000; ++i) {
      std::shuffle(a.begin(), a.end(), rng);
      std::shuffle(c.begin(), c.end(), rng);
      ASSERT_EQ(p.is_solvable(a, c), dist.contains(key(a)) == dist.contains(key(c)));
    }
  }
}

TEST(NPuzzle, HeuristicExamples) {
  const S goal = NPuzzle{3}.goal();
  // Tiles 1 and 8 swapped between cells 0 and 7: two rows and one column
  // each way, two tiles misplaced.
  const std::tuple<S, double, double> cases[] = {
      {goal, 0.0, 0.0}, {S{1, 2, 3, 4, 5, 6, 7, 0, 8}, 1.0, 1.0}, {S{8, 2, 3, 4, 5, 6, 7, 1, 0}, 6.0, 2.0}};
  for (const auto& [board, manhattan, misplaced] : cases) {
    EXPECT_EQ(PuzzleManhattan{3}.estimate(board, goal), manhattan);
    EXPECT_EQ(PuzzleMisplaced{}.estimate(board, goal), misplaced);
  }
}

TEST(NPuzzle, SideOfABoard) {
  const std::uint64_t max_root = 0xFFFFFFFFu;
  const std::pair<std::uint64_t, std::optional<std::uint64_t>> sides[] = {
      {0, std::nullopt}, {1, 1},  {8, std::nullopt}, {9, 3}, {256, 16}, {max_root * max_root, max_root},
      {max_root * max_root + 1, std::nullopt}, {~std::uint64_t{0}, std::nullopt}};
  for (const auto& [cells, side] : sides) EXPECT_EQ(npuzzle_side_for(cells), side) << cells;
}
