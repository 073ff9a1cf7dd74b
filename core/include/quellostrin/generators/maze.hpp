// Mazes in the ASCII map format of GridGraph::from_ascii: the two fixed sample
// maps and seeded random mazes.
//
// random_maze scatters walls over a width x height grid: in row-major order
// every cell but the start (0, 0) and the goal (height-1, width-1) takes one
// uniform double x from ChaCha8Rng::seed_from_u64(seed) and becomes a wall
// when x < density (so width*height - 2 draws, none for a 1x1 grid; density is
// not checked). Every open cell costs 1.0 and diagonal moves are off. A path
// from start to goal is not guaranteed.
//
// Rendering: one line per row, "S" at the start, else "G" at the goal, else
// "#" for a wall and "." for an open cell; lines joined by LF with none after
// the last. Start and goal on one cell show "S".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quellostrin/domains/grid.hpp"
#include "quellostrin/search/stop.hpp"

namespace quellostrin {

// The sample map called `name` ("open" or "wall", matched exactly), or nothing.
std::optional<std::string_view> sample_maze(std::string_view name);

// InputError "grid must be non-empty" for a side below 1, "grid too large: ..."
// past GridGraph's cell limit (GridGraph's messages), then OutOfMemory for a
// maze that would not fit in physical memory, before anything is drawn.
// `stop`, when set, is polled as a StopGate polls it, counting cells; when it
// answers true nothing is returned.
std::optional<AsciiGrid> random_maze(std::int32_t width, std::int32_t height, double density, std::uint64_t seed,
                                     const StopHook& stop = {});

// The map text of a grid with its start and goal; OutOfMemory when the text
// would not fit in physical memory.
std::string render_maze(const GridGraph& grid, Cell start, Cell goal);

// random_maze rendered, with every size refusal made before the first draw:
// the grid's own checks first, then the length of the text; nothing when
// `stop` stopped it.
std::optional<std::string> random_maze_ascii(std::int32_t width, std::int32_t height, double density,
                                             std::uint64_t seed, const StopHook& stop = {});

}  // namespace quellostrin
