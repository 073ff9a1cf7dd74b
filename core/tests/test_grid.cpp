#include "quellostrin/domains/grid.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "quellostrin/errors.hpp"

using namespace quellostrin;

namespace {

using Moves = std::vector<std::pair<Cell, double>>;

// The map read back as text: '#' walls, digits for costs other than 1, '.'.
std::string render(const GridGraph& g) {
  std::string out;
  for (std::int32_t r = 0; r < g.height(); ++r) {
    for (std::int32_t c = 0; c < g.width(); ++c) {
      const Cell cell{r, c};
      out += !g.is_open(cell) ? '#' : g.cost(cell) == 1.0 ? '.' : static_cast<char>('0' + g.cost(cell));
    }
    out += '|';
  }
  return out;
}

}  // namespace

TEST(Grid, ParsesTheAsciiFormat) {
  // A map, its cells read back, its start and its goal.
  const std::tuple<std::string, std::string, Cell, Cell> cases[] = {
      {"S.#\n..G", "..#|...|", {0, 0}, {1, 2}},
      {"\n\nS\n\nG\n\n", ".|.|.|", {0, 0}, {2, 0}},           // outer empty lines dropped, inner kept
      {"S1\r\n9G\r\n", "..|9.|", {0, 0}, {1, 1}},              // CR LF; digits are costs
      {"SG\r", "...|", {0, 0}, {0, 1}},                         // a lone final CR is a cell
      {"S \xc3\xa9 G", ".....|", {0, 0}, {0, 4}},               // one column per character
      {"S..\nS.G\nG", "...|...|...|", {1, 0}, {2, 0}},          // the later S and G win
      {std::string("S\0G", 3), "...|", {0, 0}, {0, 2}},         // NUL is an ordinary character
      {"  \nS#\n#G  \n", "....|.#..|#...|", {1, 0}, {2, 1}},        // a line of spaces is not empty
  };
  for (const auto& [map, cells, start, goal] : cases) {
    SCOPED_TRACE(map);
    const AsciiGrid parsed = GridGraph::from_ascii(map);
    EXPECT_EQ(render(parsed.grid), cells);  // short rows are padded with open cells
    EXPECT_EQ(parsed.start, start);
    EXPECT_EQ(parsed.goal, goal);
  }
}

TEST(Grid, RefusesWithMessages) {
  // (The entry points' tests hold the smaller products' messages.)
  EXPECT_EQ(input_error([] { GridGraph::check_size(std::uint64_t{1} << 63, std::uint64_t{1} << 63); }),
            "grid too large: 9223372036854775808\u00d79223372036854775808 = "
            "85070591730234615865843651857942052864 cells (max 2147483647)");
  EXPECT_EQ(input_error([] { GridGraph::check_size(2147483647, 1); }), "no error");
  EXPECT_EQ(input_error([] { GridGraph(0, 3); }), "grid must be non-empty");
  EXPECT_EQ(input_error([] { GridGraph::from_ascii("\n\r\n"); }), "grid must be non-empty");
  EXPECT_EQ(input_error([] { GridGraph::from_ascii("G."); }), "ASCII map must contain a start cell 'S'");
  EXPECT_EQ(input_error([] { GridGraph::from_ascii("S."); }), "ASCII map must contain a goal cell 'G'");
}

TEST(Grid, CostMatrixWalls) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const GridGraph g = GridGraph::from_costs({{1.0, 0.0, -2.0, inf}, {2.5}, {nan, 5e-324, 7.0}});
  EXPECT_EQ(render(g), ".###|2###|#07#|");
  EXPECT_EQ(g.cost({1, 0}), 2.5);
  EXPECT_EQ(g.cost({2, 1}), 5e-324);  // a subnormal positive cost is open
}

TEST(Grid, MoveOrderAndCorners) {
  GridGraph open(3, 3);
  EXPECT_EQ(open.neighbors({0, 0}), (Moves{{{1, 0}, 1.0}, {{0, 1}, 1.0}}));
  open.set_diagonal(true);
  const Moves all = open.neighbors({1, 1});
  ASSERT_EQ(all.size(), 8u);
  const Cell order[] = {{0, 1}, {2, 1}, {1, 0}, {1, 2}, {0, 0}, {0, 2}, {2, 0}, {2, 2}};
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(all[i].first, order[i]);
    EXPECT_EQ(all[i].second, i < 4 ? 1.0 : kSqrt2);
  }

  AsciiGrid walled = GridGraph::from_ascii("S#.\n...\n.3G");
  walled.grid.set_diagonal(true);
  // Both upper diagonals pass beside the wall at (0, 1); the lower ones are free.
  EXPECT_EQ(walled.grid.neighbors({1, 1}),
            (Moves{{{2, 1}, 3.0}, {{1, 0}, 1.0}, {{1, 2}, 1.0}, {{2, 0}, kSqrt2}, {{2, 2}, kSqrt2}}));
  // Out of bounds: only the moves whose targets are open.
  EXPECT_EQ(walled.grid.neighbors({-1, 0}), (Moves{{{0, 0}, 1.0}}));
  EXPECT_EQ(walled.grid.neighbors({std::numeric_limits<std::int32_t>::min(), 0}), Moves{});
  EXPECT_EQ(walled.grid.node_index({2, 1}), 7u);
  EXPECT_EQ(walled.grid.node_index({3, 0}), std::nullopt);
}

TEST(Grid, HeuristicValuesAreExactToTheBit) {
  volatile std::int32_t zero = 0;  // keeps the compiler from folding the estimates at compile time
  const Cell o{zero, zero};
  EXPECT_EQ(Manhattan{}.estimate(o, {3, 5}), 8.0);
  EXPECT_EQ(Manhattan{}.estimate({-3, 7}, {4, -1}), 15.0);
  EXPECT_EQ(Euclidean{}.estimate(o, {3, 5}), 0x1.752e50db3a3a2p+2);  // sqrt(34)
  EXPECT_EQ(Octile{}.estimate(o, {3, 5}), 0x1.8f876ccdf6cdap+2);    // 2 + 3 * sqrt2
  // (13 - 9) + 9 * sqrt2 rounded in two steps; a fused multiply-add gives ...a3p+4.
  EXPECT_EQ(Octile{}.estimate({9, 13}, o), 0x1.0ba5919a791a4p+4);
}
