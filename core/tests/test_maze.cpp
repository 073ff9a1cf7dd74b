#include "quellostrin/generators/maze.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <cstdint>
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

// Each sample reads back as it renders and has a way through (the README's
// doctests show the open one's optimum; the command line's compare holds every
// optimal algorithm to the wall's).
TEST(Maze, SampleMaps) {
  EXPECT_FALSE(sample_maze("Open"));
  for (const char* name : {"open", "wall"}) {
    const auto text = sample_maze(name);
    ASSERT_TRUE(text);
    const AsciiGrid map = GridGraph::from_ascii(*text);
    EXPECT_EQ(render_maze(map.grid, map.start, map.goal), *text);
    EXPECT_TRUE(search_with_options(map.grid, map.start, map.goal, AlgorithmKind::bfs(), Zero{}, {}).found()) << name;
  }
}
