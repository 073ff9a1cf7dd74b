#include "quellostrin/domains/maze.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <cstdint>
#include <deque>
#include <tuple>
#include <utility>
#include <string>
#include <vector>

#include "quellostrin/random.hpp"

using namespace quellostrin;

namespace {

std::string ascii(std::int32_t width, std::int32_t height, double density, std::uint64_t seed) {
  const AsciiGrid maze = random_maze(width, height, density, seed);
  return render_maze(maze.grid, maze.start, maze.goal);
}

// Fewest 4-neighbour moves from start to goal, -1 when there is no path.
std::int64_t hops(const AsciiGrid& map) {
  const GridGraph& g = map.grid;
  std::vector<std::int64_t> dist(static_cast<std::size_t>(g.width()) * static_cast<std::size_t>(g.height()), -1);
  auto at = [&](Cell c) -> std::int64_t& { return dist[static_cast<std::size_t>(c.row * g.width() + c.col)]; };
  std::deque<Cell> queue{map.start};
  at(map.start) = 0;
  while (!queue.empty()) {
    const Cell c = queue.front();
    queue.pop_front();
    for (const Cell n : {Cell{c.row - 1, c.col}, Cell{c.row + 1, c.col}, Cell{c.row, c.col - 1}, Cell{c.row, c.col + 1}}) {
      if (!g.in_bounds(n) || !g.is_open(n) || at(n) >= 0) continue;
      at(n) = at(c) + 1;
      queue.push_back(n);
    }
  }
  return at(map.goal);
}

}  // namespace

TEST(Maze, RenderingExamples) {
  EXPECT_EQ(ascii(3, 2, 0.0, 5), "S..\n..G");
  EXPECT_EQ(ascii(3, 2, 1.0, 5), "S##\n##G");
  EXPECT_EQ(ascii(3, 2, kNaN, 5), "S..\n..G");
  EXPECT_EQ(ascii(1, 1, 1.0, 5), "S");
  EXPECT_EQ(input_error([] { GridGraph::from_ascii("S"); }), "ASCII map must contain a goal cell 'G'");
  EXPECT_EQ(ascii(1, 2, 1.0, 5), "S\nG");
  EXPECT_EQ(random_maze_ascii(4, 3, 0.4, 77), ascii(4, 3, 0.4, 77));
}

TEST(Maze, WallsFollowTheDrawsInRowMajorOrder) {
  for (std::uint64_t seed = 0; seed < 5; ++seed) {
    const std::int32_t width = 7, height = 5;
    const AsciiGrid maze = random_maze(width, height, 0.35, seed);
    auto rng = ChaCha8Rng::seed_from_u64(seed);
    for (std::int32_t r = 0; r < height; ++r) {
      for (std::int32_t c = 0; c < width; ++c) {
        const bool corner = (r == 0 && c == 0) || (r == height - 1 && c == width - 1);
        const bool wall = !corner && rng.uniform_double() < 0.35;
        EXPECT_EQ(maze.grid.is_open({r, c}), !wall) << r << "," << c;
        if (maze.grid.is_open({r, c})) {
          EXPECT_EQ(maze.grid.cost({r, c}), 1.0);
        }
      }
    }
    EXPECT_FALSE(maze.grid.diagonal());
    EXPECT_EQ(maze.goal, (Cell{height - 1, width - 1}));
  }
}

TEST(Maze, RenderedMazesReadBack) {
  for (const std::int32_t width : {1, 2, 9, 31}) {
    for (const std::int32_t height : {2, 5, 17}) {
      for (const double density : {0.0, 0.3, 0.8, 1.0}) {
        const std::uint64_t seed = static_cast<std::uint64_t>(width * 1000 + height) ^ static_cast<std::uint64_t>(density * 8);
        const AsciiGrid maze = random_maze(width, height, density, seed);
        const std::string text = render_maze(maze.grid, maze.start, maze.goal);
        EXPECT_EQ(text, ascii(width, height, density, seed));  // the same seed, the same map
        const AsciiGrid back = GridGraph::from_ascii(text);
        ASSERT_EQ(back.grid.width(), width);
        ASSERT_EQ(back.grid.height(), height);
        EXPECT_EQ(back.start, maze.start);
        EXPECT_EQ(back.goal, maze.goal);
        for (std::int32_t r = 0; r < height; ++r) {
          for (std::int32_t c = 0; c < width; ++c) EXPECT_EQ(back.grid.is_open({r, c}), maze.grid.is_open({r, c}));
        }
      }
    }
  }
}

TEST(Maze, SampleMaps) {
  EXPECT_FALSE(sample_maze("Open"));
  EXPECT_FALSE(sample_maze(""));
  for (const auto& [name, goal, steps] : {std::tuple{"open", Cell{5, 8}, 13}, std::tuple{"wall", Cell{4, 8}, 20}}) {
    const auto text = sample_maze(name);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 59u);
    const AsciiGrid map = GridGraph::from_ascii(*text);
    EXPECT_EQ(map.grid.width(), 9);
    EXPECT_EQ(map.grid.height(), 6);
    EXPECT_EQ(map.start, (Cell{0, 0}));
    EXPECT_EQ(map.goal, goal);
    EXPECT_EQ(hops(map), steps) << name;
    EXPECT_EQ(render_maze(map.grid, map.start, map.goal), *text);
  }
}

TEST(Maze, Refusals) {
  for (const auto& [w, h] : {std::pair{0, 3}, std::pair{3, 0}, std::pair{-1, 5}, std::pair{5, -2147483647 - 1}}) {
    EXPECT_EQ(input_error([=] { random_maze(w, h, 0.5, 1); }), "grid must be non-empty") << w << "x" << h;
    EXPECT_EQ(input_error([=] { random_maze_ascii(w, h, 0.5, 1); }), "grid must be non-empty");
  }
  const std::string too_large = "grid too large: 65536\u00d732768 = 2147483648 cells (max 2147483647)";
  EXPECT_EQ(input_error([] { random_maze(65536, 32768, 0.5, 1); }), too_large);
  EXPECT_EQ(input_error([] { random_maze_ascii(65536, 32768, 0.5, 1); }), too_large);
  EXPECT_EQ(input_error([] { random_maze_ascii(2147483647, 2147483647, 0.5, 1); }),
            "grid too large: 2147483647\u00d72147483647 = 4611686014132420609 cells (max 2147483647)");
}
