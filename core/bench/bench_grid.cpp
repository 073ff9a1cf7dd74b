// Grid A* on a Moving AI map (maze512-32-9: 512 x 512, corridors 32 wide):
// 8-connected moves, the octile heuristic, no recording, over ten scenarios
// spread over the map's difficulty range; the general frontier driver
// against the grid's own loop (domains/grid_search.hpp), and the grid's own
// loop with the cost matrix turned into a GridGraph inside the timing, as a
// caller holding only the matrix pays it.
//
// The map is read from the repository's data/movingai.
// Counters: `expansions` is nodes expanded per second of CPU time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstddef>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quellostrin/domains/grid_search.hpp"

namespace {

using namespace quellostrin;

struct Query {
  Cell start, goal;
};

struct MapInput {
  CostMatrix costs;
  GridGraph grid{1, 1};
  std::vector<Query> queries;
  bool ok = false;
};

std::string folder() { return QUELLOSTRIN_DATA_DIR "/movingai"; }

// The map's cells ('.', 'G', 'S' open at cost 1, anything else a wall) and
// ten of its scenarios, evenly spaced through the file (which is sorted by
// difficulty).
MapInput load(const std::string& name) {
  MapInput in;
  std::ifstream map(folder() + "/" + name), scen(folder() + "/" + name + ".scen");
  if (!map || !scen) return in;
  std::string line;
  std::uint64_t width = 0, height = 0;
  while (std::getline(map, line) && line != "map") {
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "width") words >> width;
    if (key == "height") words >> height;
  }
  in.costs = CostMatrix{width, height, {}};
  for (std::uint64_t r = 0; r < height && std::getline(map, line); ++r) {
    for (std::uint64_t c = 0; c < width; ++c) {
      const char ch = c < line.size() ? line[c] : '@';
      in.costs.cells.push_back(ch == '.' || ch == 'G' || ch == 'S' ? 1.0 : 0.0);
    }
  }
  std::vector<Query> all;
  std::getline(scen, line);  // version
  while (std::getline(scen, line)) {
    std::istringstream fields(line);
    std::string bucket, map_name, w, h;
    std::int32_t sx = 0, sy = 0, gx = 0, gy = 0;
    if (fields >> bucket >> map_name >> w >> h >> sx >> sy >> gx >> gy) all.push_back({{sy, sx}, {gy, gx}});
  }
  for (std::size_t i = 0; i < 10 && !all.empty(); ++i) in.queries.push_back(all[(2 * i + 1) * all.size() / 20]);
  in.grid = GridGraph::from_costs(in.costs);
  in.grid.set_diagonal(true);
  in.ok = !in.queries.empty();
  return in;
}

const MapInput& maze() {
  static const MapInput in = load("maze512-32-9.map");
  return in;
}

// 0: the general driver; 1: the grid's loop; 2: the grid's loop with the
// GridGraph built from the cost matrix on every query.
void BM_GridAstar(benchmark::State& state) {
  const MapInput& in = maze();
  if (!in.ok) {
    state.SkipWithError("no Moving AI maze512-32-9 map in data/movingai");
    return;
  }
  const SearchOptions options{.dense = true};
  const AlgorithmKind kind = AlgorithmKind::astar();
  std::uint64_t expanded = 0;
  for (auto _ : state) {
    for (const Query& q : in.queries) {
      SearchResult<Cell> r;
      if (state.range(0) == 0) {
        r = search_with_options(in.grid, q.start, q.goal, kind, Octile{}, options);
      } else if (state.range(0) == 1) {
        r = grid_search(in.grid, q.start, q.goal, kind, Octile{}, options);
      } else {
        GridGraph g = GridGraph::from_costs(CostMatrix(in.costs));
        g.set_diagonal(true);
        r = grid_search(g, q.start, q.goal, kind, Octile{}, options);
      }
      if (!r.found()) {
        state.SkipWithError("a scenario found no path");
        return;
      }
      expanded += r.nodes_expanded;
      benchmark::DoNotOptimize(r);
    }
  }
  state.counters["expansions"] = benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_GridAstar)->Name("maze512/astar_octile/general")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridAstar)->Name("maze512/astar_octile/grid_search")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GridAstar)->Name("maze512/astar_octile/grid_search+build")->Arg(2)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
