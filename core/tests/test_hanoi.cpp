#include "quellostrin/domains/hanoi.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/errors.hpp"

using namespace quellostrin;

namespace {

using S = SmallBytes;
using Moves = SuccessorList<S>;

Moves moves(std::initializer_list<S> states) {
  Moves out;
  for (const S& s : states) out.emplace_back(s, 1.0);
  return out;
}

}  // namespace

TEST(Hanoi, StartGoalAndSuccessorOrder) {
  const Hanoi three = Hanoi::with_pegs(3, 3);
  EXPECT_EQ(three.start(), (S{0, 0, 0}));
  EXPECT_EQ(three.goal(), (S{2, 2, 2}));
  EXPECT_EQ(Hanoi::with_pegs(4, 1).goal(), Hanoi::with_pegs(4, 1).start());
  EXPECT_EQ(input_error([] { Hanoi::with_pegs(3, 0); }), "pegs must be between 1 and 16, got 0");
  EXPECT_EQ(input_error([] { Hanoi::with_pegs(3, 17); }), "pegs must be between 1 and 16, got 17");

  // Disks, pegs, a state and its moves.
  const std::tuple<std::uint64_t, std::uint64_t, S, Moves> cases[] = {
      {3, 3, {0, 0, 0}, moves({{1, 0, 0}, {2, 0, 0}})},
      // Disk 1 cannot go onto disk 0 at peg 1; then disk 0 goes to pegs 0 and 2.
      {3, 3, {1, 0, 0}, moves({{1, 2, 0}, {0, 0, 0}, {2, 0, 0}})},
      {4, 1, {0, 0, 0, 0}, {}},
      {0, 3, {}, {}},
      // Disk 0 names a peg past the count and is ignored.
      {2, 3, {5, 0}, moves({{5, 1}, {5, 2}})},
      // Four pegs, tops 0 (over disk 1) and 2; disk 2 may not go onto peg 1.
      {3, 4, {1, 1, 2}, moves({{0, 1, 2}, {2, 1, 2}, {3, 1, 2}, {1, 1, 0}, {1, 1, 3}})},
      // Sixteen pegs: the table is full width.
      {1, 16, {15}, moves({{0}, {1}, {2}, {3}, {4}, {5}, {6}, {7}, {8}, {9}, {10}, {11}, {12}, {13}, {14}})},
  };
  for (const auto& [disks, pegs, state, expected] : cases) {
    EXPECT_EQ(Hanoi::with_pegs(disks, pegs).neighbors(state), expected) << disks << " disks, " << pegs << " pegs";
  }
}

TEST(Hanoi, MisplacedCountsDisksOffTheirGoalPeg) {
  const Hanoi h = Hanoi::with_pegs(5, 3);
  EXPECT_EQ(HanoiMisplaced{}.estimate(h.start(), h.goal()), 5.0);
  EXPECT_EQ(HanoiMisplaced{}.estimate(h.goal(), h.goal()), 0.0);
  EXPECT_EQ(HanoiMisplaced{}.estimate(S{2, 0, 2, 1}, S{2, 2, 2}), 1.0);  // over the shorter length
}
