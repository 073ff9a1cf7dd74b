// grid_search against the general frontier driver over the same grid,
// algorithm and heuristic: every field of the result but the elapsed time, on
// random grids of walls and terrain costs, with and without diagonal moves,
// under every built-in grid heuristic and every priority-queue algorithm,
// with and without a trace, with node limits that cut the search anywhere and
// stop hooks whose polls are counted.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

#include "quellostrin/domains/grid_search.hpp"
#include "table.hpp"

using namespace quellostrin;

namespace {

// A random grid: walls with probability `walls`, open cells of cost 1 or, with
// `terrain`, of a cost drawn from a few values (some below 1, which makes the
// heuristics inconsistent, so that cells are improved while open).
GridGraph random_grid(std::mt19937& rng, std::int32_t width, std::int32_t height, double walls, bool terrain) {
  static constexpr double kCosts[] = {1.0, 0.25, 0.5, 2.0, 3.7, 9.0};
  CostMatrix m{static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height), {}};
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (std::int64_t i = 0; i < std::int64_t{width} * height; ++i) {
    m.cells.push_back(u(rng) < walls ? 0.0 : terrain ? kCosts[rng() % std::size(kCosts)] : 1.0);
  }
  return GridGraph::from_costs(std::move(m));
}

Cell random_cell(std::mt19937& rng, const GridGraph& g) {
  return {static_cast<std::int32_t>(rng() % static_cast<std::uint32_t>(g.height())),
          static_cast<std::int32_t>(rng() % static_cast<std::uint32_t>(g.width()))};
}

}  // namespace

TEST(GridSearch, SameResultsAsTheGeneralDriver) {
  struct Case {
    std::int32_t width, height;
    double walls;
    bool terrain;
    int queries;
  };
  const Case cases[] = {
      {1, 1, 0.0, false, 1},   {1, 9, 0.1, false, 4},   {7, 5, 0.2, true, 8},    {16, 16, 0.3, false, 8},
      {16, 16, 0.25, true, 8}, {40, 23, 0.35, true, 6}, {64, 64, 0.2, false, 3}, {33, 47, 0.45, false, 6},
  };
  std::mt19937 rng(11);
  for (const Case& c : cases) {
    for (int i = 0; i < c.queries; ++i) {
      GridGraph g = random_grid(rng, c.width, c.height, c.walls, c.terrain);
      g.set_diagonal(rng() % 2 == 0);
      // Start and goal anywhere, walls included (the start is expanded all
      // the same, a wall goal is never reached); now and then the same cell.
      const Cell s = random_cell(rng, g);
      const Cell t = rng() % 8 == 0 ? s : random_cell(rng, g);
      SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " query " << i << " diagonal " << g.diagonal());
      for (const AlgorithmKind& kind : table::kPriorityKinds) {
        SCOPED_TRACE(testing::Message() << kind.label << " weight " << kind.h_weight);
        ASSERT_TRUE(grid_search_applies(g, s, t, kind, {}));
        const auto same = [&](const auto& h) {
          table::expect_fast_path_same(
              rng, [&](const SearchOptions& o) { return grid_search(g, s, t, kind, h, o); },
              [&](const SearchOptions& o) { return search_with_options(g, s, t, kind, h, o); });
        };
        std::apply([&](const auto&... h) { (same(h), ...); }, std::tuple(Zero{}, Manhattan{}, Euclidean{}, Octile{}));
      }
    }
  }
}

// run_algo takes the special path for the priority-queue algorithms under a
// grid heuristic only where no priority can be NaN and no reopening is
// asked for; everywhere else the general driver runs, with its results.
TEST(GridSearch, DispatchKeepsTheGeneralDriverElsewhere) {
  std::mt19937 rng(5);
  GridGraph g = random_grid(rng, 12, 9, 0.2, true);
  g.set_diagonal(true);
  const Cell s{0, 0}, t{8, 11};
  const SearchOptions plain{.record = true, .dense = true};
  EXPECT_TRUE(grid_search_applies(g, s, t, AlgorithmKind::astar(), plain));
  EXPECT_FALSE(grid_search_applies(g, s, t, AlgorithmKind::bfs(), plain));
  EXPECT_FALSE(grid_search_applies(g, s, t, AlgorithmKind::astar(), {.reopen = true}));
  EXPECT_FALSE(grid_search_applies(g, s, Cell{9, 0}, AlgorithmKind::astar(), plain));
  EXPECT_FALSE(grid_search_applies(g, Cell{-1, 3}, t, AlgorithmKind::astar(), plain));
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(grid_search_applies(g, s, t, AlgorithmKind::weighted_astar(inf), plain));
  EXPECT_FALSE(grid_search_applies(g, s, t, AlgorithmKind::weighted_astar(std::nan("")), plain));
  // Costs so large that a label can overflow to infinity, where greedy's
  // 0 * g is NaN.
  const GridGraph huge = GridGraph::from_costs({{1e308, 1e308, 1e308}, {1e308, 1e308, 1e308}});
  EXPECT_FALSE(grid_search_applies(huge, Cell{0, 0}, Cell{1, 2}, AlgorithmKind::greedy(), plain));
  EXPECT_FALSE(grid_search_applies(huge, Cell{0, 0}, Cell{1, 2}, AlgorithmKind::weighted_astar(-1.0), plain));
  // With g_weight 1 and a non-negative h_weight an infinite label stays a
  // NaN-free priority.
  EXPECT_TRUE(grid_search_applies(huge, Cell{0, 0}, Cell{1, 2}, AlgorithmKind::astar(), plain));

  table::expect_dispatch_same(g, Octile{}, s, t);
  table::expect_dispatch_same(huge, Manhattan{}, Cell{0, 0}, Cell{1, 2});
}

// A workspace's marks are 16-bit generation stamps, cleared once every 32766
// queries: searches past that point still see only their own marks.
TEST(GridSearch, WorkspaceGenerationsWrapAround) {
  std::mt19937 rng(3);
  const GridGraph g = random_grid(rng, 6, 5, 0.2, true);
  Workspace ws;
  for (int i = 0; i < 70'000; ++i) {
    const Cell s = random_cell(rng, g), t = random_cell(rng, g);
    const auto r = grid_search(g, s, t, AlgorithmKind::astar(), Manhattan{}, {.workspace = &ws});
    if (i % 997 == 0 || i > 65'530) {
      table::expect_same(r, grid_search(g, s, t, AlgorithmKind::astar(), Manhattan{}, {}));
    }
  }
}
