#include "quellostrin/generators/maze.hpp"

#include <limits>
#include <new>
#include <utility>

#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/generators/random.hpp"

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
  require_memory(length, "the text of a {}\u00d7{} maze", width, height);
  return static_cast<std::size_t>(length);
}

// One map character: the start wins over the goal, both over a wall.
char cell_char(Cell cell, Cell start, Cell goal, bool wall) {
  return cell == start ? 'S' : cell == goal ? 'G' : wall ? '#' : '.';
}

// The walls of a random maze in row-major order: `visit(i, cell, wall)` for
// every cell, i its row-major index; one draw per cell but the start and the
// goal. False when `stop` ended it first.
template <class Visit>
bool draw_walls(std::int32_t width, std::int32_t height, double density, std::uint64_t seed, const StopHook& stop,
                Visit&& visit) {
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  const Cell start{0, 0}, goal{height - 1, width - 1};
  StopGate gate(Limits{std::nullopt, stop, std::nullopt});
  std::size_t i = 0;
  for (std::int32_t r = 0; r < height; ++r) {
    for (std::int32_t c = 0; c < width; ++c, ++i) {
      if (gate.cancelled(i)) return false;
      const Cell cell{r, c};
      visit(i, cell, cell != start && cell != goal && rng.chance(density));
    }
  }
  return true;
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
  require_memory(2 * w * h * sizeof(double) + (w + 2) * (h + 2), "a {}\u00d7{} random maze", w, h);
  // Built as a cost matrix: open cells cost 1.0, NaN marks a wall.
  CostMatrix costs;
  costs.width = w;
  costs.height = h;
  costs.cells.assign(w * h, 1.0);
  const bool drawn = draw_walls(width, height, density, seed, stop, [&](std::size_t i, Cell, bool wall) {
    if (wall) costs.cells[i] = std::numeric_limits<double>::quiet_NaN();
  });
  if (!drawn) return std::nullopt;
  return AsciiGrid{GridGraph::from_costs(std::move(costs)), Cell{0, 0}, Cell{height - 1, width - 1}};
}

std::string render_maze(const GridGraph& grid, Cell start, Cell goal) {
  std::string text;
  text.reserve(text_length(static_cast<std::uint64_t>(grid.width()), static_cast<std::uint64_t>(grid.height())));
  for (std::int32_t r = 0; r < grid.height(); ++r) {
    if (r > 0) text.push_back('\n');
    for (std::int32_t c = 0; c < grid.width(); ++c) {
      const Cell cell{r, c};
      text.push_back(cell_char(cell, start, goal, !grid.is_open(cell)));
    }
  }
  return text;
}

std::optional<std::string> random_maze_ascii(std::int32_t width, std::int32_t height, double density,
                                             std::uint64_t seed, const StopHook& stop) {
  check_sides(width, height);
  // The text is written as the walls are drawn: no grid is built, so the
  // only large allocation is the text itself, and every step of the work
  // is inside the polled loop.
  std::string text(text_length(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height)), '\n');
  const Cell start{0, 0}, goal{height - 1, width - 1};
  const std::size_t line = static_cast<std::size_t>(width) + 1;
  const bool drawn = draw_walls(width, height, density, seed, stop, [&](std::size_t, Cell cell, bool wall) {
    text[static_cast<std::size_t>(cell.row) * line + static_cast<std::size_t>(cell.col)] =
        cell_char(cell, start, goal, wall);
  });
  if (!drawn) return std::nullopt;
  return text;
}

}  // namespace quellostrin
