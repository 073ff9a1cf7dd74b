// libFuzzer target for GridGraph: the ASCII parser, the cost-matrix
// constructor, the size check, the neighbour rules and a short search.
//
// Input layout. Byte 0: bits 0-1 the mode (0 and 3 an ASCII map, 1 a cost
// matrix, 2 a bare width x height), bit 2 diagonal moves, bit 3 the dense
// node store, bits 4-7 the algorithm (an index into kAlgorithms). Byte 1:
// bits 0-1 the heuristic (zero, manhattan, euclidean, octile), bits 2-7 the
// node limit and the depth limit of "dls". Then, by mode:
// - ASCII: the rest of the input is the map text;
// - cost matrix: a row count, then per row a length and one code per entry
//   (see cost_of), then start and goal as four signed bytes (row, col, row,
//   col), which may lie outside the grid;
// - bare: width and height as 64-bit big-endian values.
//
// Every accepted grid is compared with a model built here from the same bytes
// by the documented rules (cells, walls, costs, start and goal); the
// neighbours of a few cells, in and out of bounds, are compared with the move
// rules; and a search result must be a legal path whose cost adds up, and
// optimal where the algorithm promises it (checked against a textbook
// Dijkstra over the model). The only exception a call may raise is InputError.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <optional>
#include <queue>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_common.hpp"
#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/domains/grid.hpp"

using namespace quellostrin;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr std::uint64_t kSearchCells = 1 << 14;  // larger grids are parsed and probed, not searched

// The grid as the documented rules describe it.
struct Model {
  std::int64_t width = 0, height = 0;
  std::vector<char> open;
  std::vector<double> cost;
  bool ok = false;  // false: the input must be refused
  Cell start, goal;

  bool is_open(std::int64_t r, std::int64_t c) const {
    return r >= 0 && r < height && c >= 0 && c < width && open[static_cast<std::size_t>(r * width + c)];
  }
  double cost_at(std::int64_t r, std::int64_t c) const { return cost[static_cast<std::size_t>(r * width + c)]; }

  // The moves out of (r, c), in the documented order.
  std::vector<std::pair<Cell, double>> moves(Cell from, bool diagonal) const {
    std::vector<std::pair<Cell, double>> out;
    const std::int64_t r = from.row, c = from.col;
    const std::int64_t orth[4][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};
    for (const auto& d : orth) {
      if (is_open(r + d[0], c + d[1])) {
        out.push_back(
            {{static_cast<std::int32_t>(r + d[0]), static_cast<std::int32_t>(c + d[1])}, cost_at(r + d[0], c + d[1])});
      }
    }
    if (!diagonal) return out;
    const std::int64_t diag[4][2] = {{-1, -1}, {-1, 1}, {1, -1}, {1, 1}};
    for (const auto& d : diag) {
      if (is_open(r + d[0], c + d[1]) && is_open(r + d[0], c) && is_open(r, c + d[1])) {
        out.push_back({{static_cast<std::int32_t>(r + d[0]), static_cast<std::int32_t>(c + d[1])},
                       cost_at(r + d[0], c + d[1]) * kSqrt2});
      }
    }
    return out;
  }
};

Model ascii_model(std::string_view map) {
  std::vector<std::string_view> lines;
  std::size_t pos = 0;
  while (pos < map.size()) {
    const std::size_t lf = map.find('\n', pos);
    if (lf == std::string_view::npos) {
      lines.push_back(map.substr(pos));
      break;
    }
    std::string_view line = map.substr(pos, lf - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    pos = lf + 1;
  }
  while (!lines.empty() && lines.front().empty()) lines.erase(lines.begin());
  while (!lines.empty() && lines.back().empty()) lines.pop_back();

  auto is_lead = [](char ch) { return (static_cast<unsigned char>(ch) & 0xC0) != 0x80; };
  Model m;
  m.height = static_cast<std::int64_t>(lines.size());
  for (const auto line : lines) {
    std::int64_t cols = 0;
    for (const char ch : line) cols += is_lead(ch);
    m.width = std::max(m.width, cols);
  }
  if (m.width == 0 || m.height == 0) return m;
  m.open.assign(static_cast<std::size_t>(m.width * m.height), 1);
  m.cost.assign(m.open.size(), 1.0);
  bool has_start = false, has_goal = false;
  for (std::int64_t r = 0; r < m.height; ++r) {
    std::int64_t c = -1;
    for (const char ch : lines[static_cast<std::size_t>(r)]) {
      if (!is_lead(ch)) continue;
      ++c;
      const auto at = static_cast<std::size_t>(r * m.width + c);
      const Cell cell{static_cast<std::int32_t>(r), static_cast<std::int32_t>(c)};
      if (ch == '#') m.open[at] = 0;
      if (ch == 'S') m.start = cell, has_start = true;
      if (ch == 'G') m.goal = cell, has_goal = true;
      if (ch >= '1' && ch <= '9') m.cost[at] = ch - '0';
    }
  }
  m.ok = has_start && has_goal;
  return m;
}

// One cost entry from one code byte: small codes name the awkward values, 18
// reads a raw double, anything else is a cost 1-9.
double cost_of(fuzz::Bytes& in) {
  const std::uint8_t b = in.u8();
  switch (b) {
    case 10:
      return -1.0;
    case 11:
      return kInf;
    case 12:
      return -kInf;
    case 13:
      return std::numeric_limits<double>::quiet_NaN();
    case 14:
      return 5e-324;
    case 15:
      return 1e308;
    case 16:
      return 0.5;
    case 17:
      return -0.0;
    case 18:
      return in.f64();
    default:
      return b < 10 ? b : b % 9 + 1;
  }
}

Model costs_model(const std::vector<std::vector<double>>& rows) {
  Model m;
  m.height = static_cast<std::int64_t>(rows.size());
  for (const auto& row : rows) m.width = std::max(m.width, static_cast<std::int64_t>(row.size()));
  if (m.width == 0 || m.height == 0) return m;
  m.open.assign(static_cast<std::size_t>(m.width * m.height), 0);
  m.cost.assign(m.open.size(), std::numeric_limits<double>::quiet_NaN());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const double v = rows[r][c];
      const auto at = r * static_cast<std::size_t>(m.width) + c;
      m.open[at] = v > 0.0 && v < kInf;
      m.cost[at] = v;
    }
  }
  m.ok = true;
  return m;
}

// The grid holds exactly the model's cells.
void check_cells(const GridGraph& g, const Model& m) {
  FUZZ_CHECK(g.width() == m.width && g.height() == m.height);
  FUZZ_CHECK(g.index_space() == static_cast<std::uint64_t>(m.width * m.height));
  for (std::int32_t r = 0; r < g.height(); ++r) {
    for (std::int32_t c = 0; c < g.width(); ++c) {
      const Cell cell{r, c};
      FUZZ_CHECK(g.in_bounds(cell));
      FUZZ_CHECK(g.node_index(cell) == static_cast<std::uint64_t>(std::int64_t{r} * m.width + c));
      FUZZ_CHECK(g.is_open(cell) == m.is_open(r, c));
      if (g.is_open(cell)) FUZZ_CHECK(g.cost(cell) == m.cost_at(r, c));
    }
  }
}

void check_moves(const GridGraph& g, const Model& m, Cell cell) {
  const auto got = g.neighbors(cell);
  const auto want = m.moves(cell, g.diagonal());
  FUZZ_CHECK(got.size() == want.size());
  for (std::size_t i = 0; i < got.size(); ++i) {
    FUZZ_CHECK(got[i].first == want[i].first);
    FUZZ_CHECK(got[i].second == want[i].second);
  }
  if (!g.in_bounds(cell)) FUZZ_CHECK(!g.is_open(cell) && !g.node_index(cell));
}

// Textbook Dijkstra over the model; the cost to `goal`, or nothing when it is
// unreachable. A node counts as reached once discovered, even at cost +inf,
// as in the core's node store.
std::optional<double> dijkstra(const Model& m, bool diagonal) {
  using Key = std::pair<std::int32_t, std::int32_t>;
  std::map<Key, double> dist;
  std::map<Key, bool> done;
  using Item = std::pair<double, Key>;
  std::priority_queue<Item, std::vector<Item>, std::greater<>> pq;
  dist[{m.start.row, m.start.col}] = 0.0;
  pq.push({0.0, {m.start.row, m.start.col}});
  while (!pq.empty()) {
    const auto [d, k] = pq.top();
    pq.pop();
    if (done[k]) continue;
    done[k] = true;
    for (const auto& [to, w] : m.moves({k.first, k.second}, diagonal)) {
      const Key tk{to.row, to.col};
      const double nd = d + w;
      const auto it = dist.find(tk);
      if (it == dist.end() || nd < it->second) {
        dist[tk] = nd;
        pq.push({nd, tk});
      }
    }
  }
  const auto it = dist.find({m.goal.row, m.goal.col});
  if (it == dist.end()) return std::nullopt;
  return it->second;
}

template <class H>
void search(const GridGraph& g, const Model& m, const AlgorithmInfo& algo, const H& h, bool admissible,
            std::uint8_t limit_bits, bool dense) {
  AlgoOptions options;
  options.record = true;
  options.dense = dense;
  options.weight = 1.5;
  options.beam_width = 1 + limit_bits % 8;
  options.depth_limit = limit_bits;
  // Depth-first strategies visit a node once per simple path, so they always
  // run under a node limit; the others get one when the input asks.
  const std::uint64_t limit = limit_bits == 0 ? 20000 : std::uint64_t{limit_bits} * limit_bits;
  const bool walks =
      algo.strategy == Strategy::Dls || algo.strategy == Strategy::Iddfs || algo.strategy == Strategy::IdaStar;
  if (walks || limit_bits != 0) options.limits.max_nodes = limit;
  // Some searches also run under a memory cap, from a few tables' first
  // growth up to a few hundred kilobytes.
  if (limit_bits % 4 == 3) options.limits.max_memory = limit * 64;

  SearchResult<Cell> r;
  const bool ran = fuzz::refuses_only_with_input_error([&] { r = run_algo(algo, g, h, m.start, m.goal, options); });
  // Jump Point Search runs exactly where the open cells cost the same (or
  // there are none) and start and goal lie in the grid; every other search
  // runs on any grid.
  const bool jps = algo.strategy == Strategy::Jps;
  const bool jps_runs = (g.min_cost() == g.max_cost() || !(g.max_cost() > 0.0)) && g.in_bounds(m.start) &&
                        g.in_bounds(m.goal);
  FUZZ_CHECK(ran == (!jps || jps_runs));
  if (!ran) return;
  FUZZ_CHECK(r.found() == (r.stop_reason == StopReason::Goal));
  FUZZ_CHECK(r.stop_reason != StopReason::Cancelled);
  FUZZ_CHECK(r.stop_reason != StopReason::MemoryLimit || options.limits.max_memory);
  if (!r.found()) FUZZ_CHECK(r.cost == kInf);
  if (r.stop_reason == StopReason::MemoryLimit) FUZZ_CHECK(r.trace.size() == r.nodes_expanded);
  if (algo.strategy == Strategy::Frontier && options.limits.max_nodes) {
    FUZZ_CHECK(r.nodes_expanded <= std::max<std::uint64_t>(*options.limits.max_nodes, 1));
  }
  // Bidirectional search walks moves backwards from the goal, which matches
  // the forward moves only between open cells.
  const bool symmetric = g.is_open(m.start) && g.is_open(m.goal);
  if (algo.strategy == Strategy::Bidirectional && !symmetric) return;
  if (r.found()) {
    const auto& path = *r.path;
    FUZZ_CHECK(!path.empty() && path.front() == m.start && path.back() == m.goal);
    double sum = 0.0;
    for (std::size_t i = 1; i < path.size(); ++i) {
      const auto moves = m.moves(path[i - 1], g.diagonal());
      const auto it = std::find_if(moves.begin(), moves.end(), [&](const auto& mv) { return mv.first == path[i]; });
      FUZZ_CHECK(it != moves.end());
      sum += it->second;
    }
    FUZZ_CHECK(fuzz::close(sum, r.cost) || (sum > 1e300 && r.cost > 1e300));
  }
  if (options.limits.max_nodes || options.limits.max_memory || m.width * m.height > static_cast<std::int64_t>(kSearchCells)) return;
  // Without a limit the frontier algorithms see everything reachable.
  const auto best = dijkstra(m, g.diagonal());
  // Jump Point Search finds what A* finds.
  if (algo.strategy == Strategy::Frontier || algo.strategy == Strategy::Bidirectional || jps) {
    FUZZ_CHECK(r.found() == best.has_value());
  }
  const bool optimal =
      algo.name == "ucs" || algo.name == "dijkstra" || ((algo.name == "astar" || jps) && admissible);
  if (optimal && best && *best < 1e300 && r.cost < 1e300) FUZZ_CHECK(fuzz::close(*best, r.cost));
}

void exercise(GridGraph& g, const Model& m, std::uint8_t flags, std::uint8_t opts) {
  g.set_diagonal(flags & 4);
  if (m.width * m.height <= std::int64_t{1} << 18) check_cells(g, m);
  const std::int32_t big = std::numeric_limits<std::int32_t>::max(), small = std::numeric_limits<std::int32_t>::min();
  const auto h = static_cast<std::int32_t>(m.height), w = static_cast<std::int32_t>(m.width);
  const Cell probes[] = {m.start, m.goal,      {0, 0},     {h - 1, w - 1}, {-1, -1},   {h, w},
                         {h, -1}, {-1, w / 2}, {big, big}, {small, small}, {small, 0}, {0, big}};
  for (const Cell c : probes) check_moves(g, m, c);
  if (m.width * m.height > static_cast<std::int64_t>(kSearchCells)) return;

  const AlgorithmInfo& algo = kAlgorithms[(flags >> 4) % std::size(kAlgorithms)];
  // run_algo scales the grid heuristics by the cheapest open cost below 1,
  // which keeps them consistent on any terrain (manhattan with 4 moves).
  const bool dense = flags & 8;
  const std::uint8_t limit_bits = opts >> 2;
  switch (opts & 3) {
    case 0:
      return search(g, m, algo, Zero{}, true, limit_bits, dense);
    case 1:
      return search(g, m, algo, Manhattan{}, !g.diagonal(), limit_bits, dense);
    case 2:
      return search(g, m, algo, Euclidean{}, true, limit_bits, dense);
    default:
      return search(g, m, algo, Octile{}, true, limit_bits, dense);
  }
}

void run_ascii(std::string_view map, std::uint8_t flags, std::uint8_t opts) {
  const Model m = ascii_model(map);
  std::optional<AsciiGrid> parsed;
  const bool ok = fuzz::refuses_only_with_input_error([&] { parsed.emplace(GridGraph::from_ascii(map)); });
  FUZZ_CHECK(ok == m.ok);
  if (!ok) return;
  FUZZ_CHECK(parsed->start == m.start && parsed->goal == m.goal);
  FUZZ_CHECK(parsed->grid.is_open(parsed->start) && parsed->grid.is_open(parsed->goal));
  FUZZ_CHECK(!parsed->grid.diagonal());
  exercise(parsed->grid, m, flags, opts);
}

void run_costs(fuzz::Bytes& in, std::uint8_t flags, std::uint8_t opts) {
  std::vector<std::vector<double>> rows(in.u8() % 64);
  for (auto& row : rows) {
    row.resize(in.u8() % 64);
    for (double& v : row) v = cost_of(in);
  }
  Model m = costs_model(rows);
  auto coord = [&] { return static_cast<std::int32_t>(static_cast<std::int8_t>(in.u8())); };
  m.start = {coord(), coord()};
  m.goal = {coord(), coord()};
  std::optional<GridGraph> g;
  const bool ok = fuzz::refuses_only_with_input_error([&] { g.emplace(GridGraph::from_costs(rows)); });
  FUZZ_CHECK(ok == m.ok);
  if (ok) exercise(*g, m, flags, opts);
}

void run_bare(fuzz::Bytes& in) {
  const std::uint64_t w = in.u64(), h = in.u64();
  const bool fits = w <= kMaxGridCells && h <= kMaxGridCells && (h == 0 || w <= kMaxGridCells / h);
  FUZZ_CHECK(fuzz::refuses_only_with_input_error([&] { GridGraph::check_size(w, h); }) == fits);
  if (!fits || w * h > kSearchCells) return;
  std::optional<GridGraph> g;
  FUZZ_CHECK(fuzz::refuses_only_with_input_error([&] { g.emplace(w, h); }) == (w != 0 && h != 0));
  if (!g) return;
  for (std::int32_t r = 0; r < g->height(); ++r)
    for (std::int32_t c = 0; c < g->width(); ++c) FUZZ_CHECK(g->is_open({r, c}) && g->cost({r, c}) == 1.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Bytes in(data, size);
  const std::uint8_t flags = in.u8(), opts = in.u8();
  switch (flags & 3) {
    case 1:
      run_costs(in, flags, opts);
      break;
    case 2:
      run_bare(in);
      break;
    default:
      run_ascii(in.rest(), flags, opts);
      break;
  }
  return 0;
}
