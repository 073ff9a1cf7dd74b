#include "quellostrin/generators/maze.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"

#include <cstdint>
#include <utility>
#include <string>
#include <vector>

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
}

// The grid random_maze draws renders as the text random_maze_ascii writes
// (which tests/test_generators.py holds cell by cell to an independent
// ChaCha8's draws), over sizes and densities of every kind.
TEST(Maze, GridAndTextAgree) {
  for (const std::int32_t width : {1, 2, 9, 31}) {
    for (const std::int32_t height : {2, 5, 17}) {
      for (const double density : {0.0, 0.3, 0.8, 1.0}) {
        const auto seed = static_cast<std::uint64_t>(width * 1000 + height) ^ static_cast<std::uint64_t>(density * 8);
        EXPECT_EQ(random_maze_ascii(width, height, density, seed), ascii(width, height, density, seed))
            << width << "x" << height << ", " << density;
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
