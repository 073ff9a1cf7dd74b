#include "quellostrin/domains/maze.hpp"

#include <limits>
#include <new>
#include <utility>

#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/random.hpp"

namespace quellostrin {

namespace {

constexpr std::string_view kOpen =
    "S........\n"
    ".........\n"
    "....#....\n"
    "....#....\n"
    "....#....\n"
    "........G";

constexpr std::string_view kWall =
    "S.#......\n"
    "..#.####.\n"
    "..#.#..#.\n"
    "..#.#.##.\n"
    "....#...G\n"
    "#####.#..";

// The sizes GridGraph refuses, refused with its messages before anything is
// allocated: a side below 1, then too many cells.
void check_sides(std::int32_t width, std::int32_t height) {
  if (width < 1 || height < 1) fail_input("grid must be non-empty");
  GridGraph::check_size(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
}

// Characters of the map text: width per row plus an LF between rows; refused
// when this machine could not hold it.
std::size_t text_length(std::uint64_t width, std::uint64_t height) {
  const std::uint64_t length = size_mul(size_add(width, 1), height) - 1;
  require_memory(length, detail::format("the text of a {}\u00d7{} maze", width, height));
  return static_cast<std::size_t>(length);
}

}  // namespace

std::optional<std::string_view> sample_maze(std::string_view name) {
  if (name == "open") return kOpen;
  if (name == "wall") return kWall;
  return std::nullopt;
}

std::optional<AsciiGrid> random_maze(std::int32_t width, std::int32_t height, double density, std::uint64_t seed,
                                     const StopHook& stop) {
  check_sides(width, height);
  // At its peak the matrix and the grid made from it (walls with a border,
  // and costs) live together.
  const auto w = static_cast<std::uint64_t>(width), h = static_cast<std::uint64_t>(height);
  require_memory(2 * w * h * sizeof(double) + (w + 2) * (h + 2), detail::format("a {}\u00d7{} random maze", w, h));
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  // Built as a cost matrix: open cells cost 1.0, NaN marks a wall.
  CostMatrix costs;
  costs.width = static_cast<std::uint64_t>(width);
  costs.height = static_cast<std::uint64_t>(height);
  costs.cells.assign(costs.width * costs.height, 1.0);
  const Cell start{0, 0}, goal{height - 1, width - 1};
  StopGate gate(Limits{std::nullopt, stop});
  std::size_t i = 0;
  for (std::int32_t r = 0; r < height; ++r) {
    for (std::int32_t c = 0; c < width; ++c, ++i) {
      if (gate.cancelled(i)) return std::nullopt;
      const Cell cell{r, c};
      if (cell == start || cell == goal) continue;
      if (rng.chance(density)) costs.cells[i] = std::numeric_limits<double>::quiet_NaN();
    }
  }
  return AsciiGrid{GridGraph::from_costs(std::move(costs)), start, goal};
}

std::string render_maze(const GridGraph& grid, Cell start, Cell goal) {
  std::string text;
  text.reserve(text_length(static_cast<std::uint64_t>(grid.width()), static_cast<std::uint64_t>(grid.height())));
  for (std::int32_t r = 0; r < grid.height(); ++r) {
    if (r > 0) text.push_back('\n');
    for (std::int32_t c = 0; c < grid.width(); ++c) {
      const Cell cell{r, c};
      text.push_back(cell == start ? 'S' : cell == goal ? 'G' : grid.is_open(cell) ? '.' : '#');
    }
  }
  return text;
}

std::optional<std::string> random_maze_ascii(std::int32_t width, std::int32_t height, double density,
                                             std::uint64_t seed, const StopHook& stop) {
  check_sides(width, height);
  static_cast<void>(text_length(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)));
  const std::optional<AsciiGrid> maze = random_maze(width, height, density, seed, stop);
  if (!maze) return std::nullopt;
  return render_maze(maze->grid, maze->start, maze->goal);
}

}  // namespace quellostrin
