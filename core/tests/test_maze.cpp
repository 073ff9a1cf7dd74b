#include "quellostrin/generators/maze.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <cstdint>
#include <tuple>
#include <utility>
#include <string>
#include <vector>

#include "quellostrin/generators/random.hpp"
#include "quellostrin/search/search.hpp"

using namespace quellostrin;

namespace {

std::string ascii(std::int32_t width, std::int32_t height, double density, std::uint64_t seed) {
  const AsciiGrid maze = *random_maze(width, height, density, seed);
  return render_maze(maze.grid, maze.start, maze.goal);
}

}  // namespace

// Sizes and densities of every kind are drawn below; here what they leave out.
TEST(Maze, RenderingExamples) {
  EXPECT_EQ(ascii(3, 2, kNaN, 5), "S..\n..G");  // a NaN density draws no walls
  // A single cell holds the start, which hides the goal: the text does not read back.
  EXPECT_EQ(ascii(1, 1, 1.0, 5), "S");
  EXPECT_EQ(input_error([] { GridGraph::from_ascii("S"); }), "ASCII map must contain a goal cell 'G'");
  EXPECT_EQ(random_maze_ascii(4, 3, 0.4, 77), ascii(4, 3, 0.4, 77));
}

// Every cell but the two corners takes the next uniform double of the seed,
// row by row, and is a wall when it falls below the density; the text reads
// back as the same grid with S and G where they were drawn.
TEST(Maze, WallsFollowTheDrawsAndReadBack) {
  for (const std::int32_t width : {1, 2, 9, 31}) {
    for (const std::int32_t height : {2, 5, 17}) {
      for (const double density : {0.0, 0.3, 0.8, 1.0}) {
        const std::uint64_t seed = static_cast<std::uint64_t>(width * 1000 + height) ^ static_cast<std::uint64_t>(density * 8);
        const AsciiGrid maze = *random_maze(width, height, density, seed);
        EXPECT_FALSE(maze.grid.diagonal());
        const std::string text = render_maze(maze.grid, maze.start, maze.goal);
        EXPECT_EQ(text, ascii(width, height, density, seed));  // the same seed, the same map
        const AsciiGrid back = GridGraph::from_ascii(text);
        ASSERT_EQ(back.grid.width(), width);
        ASSERT_EQ(back.grid.height(), height);
        EXPECT_EQ(back.start, (Cell{0, 0}));
        EXPECT_EQ(back.goal, (Cell{height - 1, width - 1}));
        auto rng = ChaCha8Rng::seed_from_u64(seed);
        for (std::int32_t r = 0; r < height; ++r) {
          for (std::int32_t c = 0; c < width; ++c) {
            const bool corner = Cell{r, c} == back.start || Cell{r, c} == back.goal;
            const bool wall = !corner && rng.uniform_double() < density;
            EXPECT_EQ(maze.grid.is_open({r, c}), !wall) << r << "," << c;
            EXPECT_EQ(back.grid.is_open({r, c}), !wall);
          }
        }
      }
    }
  }
}

TEST(Maze, SampleMaps) {
  EXPECT_FALSE(sample_maze("Open"));
  for (const auto& [name, goal, steps] : {std::tuple{"open", Cell{5, 8}, 13}, std::tuple{"wall", Cell{4, 8}, 20}}) {
    const auto text = sample_maze(name);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 59u);
    const AsciiGrid map = GridGraph::from_ascii(*text);
    EXPECT_EQ(map.grid.width(), 9);
    EXPECT_EQ(map.grid.height(), 6);
    EXPECT_EQ(map.start, (Cell{0, 0}));
    EXPECT_EQ(map.goal, goal);
    const auto fewest = search_with_options(map.grid, map.start, map.goal, AlgorithmKind::bfs(), Zero{}, {});
    EXPECT_EQ(fewest.path->size() - 1, std::size_t(steps)) << name;
    EXPECT_EQ(render_maze(map.grid, map.start, map.goal), *text);
  }
}
