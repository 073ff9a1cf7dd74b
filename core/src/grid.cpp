#include "quellostrin/domains/grid.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"

namespace quellostrin {

namespace {

constexpr double kLargest = std::numeric_limits<double>::max();

// The decimal digits of a product of two 64-bit values, exact even when it
// does not fit in 64 bits.
std::string product_text(std::uint64_t a, std::uint64_t b) {
  __extension__ using U128 = unsigned __int128;
  U128 p = static_cast<U128>(a) * b;
  std::string digits;
  do {
    digits.push_back(static_cast<char>('0' + static_cast<int>(p % 10)));
    p /= 10;
  } while (p != 0);
  std::reverse(digits.begin(), digits.end());
  return digits;
}

// Lines of an ASCII map, and its width in columns, by the rules of
// GridGraph::from_ascii.
struct MapLines {
  std::vector<std::string_view> lines;
  std::uint64_t width = 0;
};

// Columns of a line: one per Unicode scalar value, i.e. per byte that is not
// a UTF-8 continuation byte.
std::uint64_t columns(std::string_view line) {
  std::uint64_t n = 0;
  for (const char ch : line) n += (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
  return n;
}

MapLines split_map(std::string_view map) {
  MapLines out;
  std::size_t pos = 0;
  while (pos < map.size()) {
    const std::size_t lf = map.find('\n', pos);
    if (lf == std::string_view::npos) {
      out.lines.push_back(map.substr(pos));  // a final line without LF, CR and all
      break;
    }
    std::size_t end = lf;
    if (end > pos && map[end - 1] == '\r') --end;
    out.lines.push_back(map.substr(pos, end - pos));
    pos = lf + 1;
  }
  auto& lines = out.lines;
  const auto first = std::find_if(lines.begin(), lines.end(), [](std::string_view l) { return !l.empty(); });
  lines.erase(lines.begin(), first);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  for (const std::string_view line : lines) out.width = std::max(out.width, columns(line));
  return out;
}

}  // namespace

void GridGraph::check_size(std::uint64_t width, std::uint64_t height) {
  const bool fits = width <= kMaxGridCells && height <= kMaxGridCells && width * height <= kMaxGridCells;
  if (!fits) {
    fail_input("grid too large: {}\u00d7{} = {} cells (max {})", width, height, product_text(width, height),
               kMaxGridCells);
  }
}

GridGraph GridGraph::shaped(std::uint64_t width, std::uint64_t height) {
  if (width < 1 || height < 1) fail_input("grid must be non-empty");
  check_size(width, height);
  // The walls (with their border) and the costs; check_size keeps both far from overflow.
  require_memory((width + 2) * (height + 2) + width * height * sizeof(double), "a {}\u00d7{} grid", width, height);
  GridGraph g;
  g.width_ = static_cast<std::int32_t>(width);
  g.height_ = static_cast<std::int32_t>(height);
  g.cells_->open.assign((width + 2) * (height + 2), 0);
  return g;
}

GridGraph::GridGraph(std::uint64_t width, std::uint64_t height) : GridGraph(shaped(width, height)) {
  cells_->costs.assign(width * height, 1.0);
  for (std::int64_t r = 0; r < height_; ++r) {
    std::fill_n(cells_->open.begin() + static_cast<std::ptrdiff_t>(padded(r, 0)), width_, std::uint8_t{1});
  }
  min_cost_ = max_cost_ = 1.0;
}

void GridGraph::neighbors_from_outside(Cell cell, SuccessorList<Cell>& out) const {
  const std::int64_t r = cell.row, c = cell.col;
  const std::int64_t orthogonal[4][2] = {{r - 1, c}, {r + 1, c}, {r, c - 1}, {r, c + 1}};
  for (const auto& [tr, tc] : orthogonal) {
    if (open_at(tr, tc)) {
      out.push_back({{static_cast<std::int32_t>(tr), static_cast<std::int32_t>(tc)}, cells_->costs[index(tr, tc)]});
    }
  }
  if (!diagonal_) return;
  for (const std::int64_t dr : {-1, 1}) {
    for (const std::int64_t dc : {-1, 1}) {
      if (open_at(r + dr, c + dc) && open_at(r + dr, c) && open_at(r, c + dc)) {
        out.push_back({{static_cast<std::int32_t>(r + dr), static_cast<std::int32_t>(c + dc)},
                       cells_->costs[index(r + dr, c + dc)] * kSqrt2});
      }
    }
  }
}

const GridBits& GridGraph::bits() const {
  std::call_once(cells_->bits_once, [this] {
    const std::size_t pw = static_cast<std::size_t>(width_) + 2, ph = static_cast<std::size_t>(height_) + 2;
    GridBits b;
    b.row_words = (pw + 63) / 64;
    b.column_words = (ph + 63) / 64;
    b.rows.assign(ph * b.row_words, 0);
    b.columns.assign(pw * b.column_words, 0);
    const std::uint8_t* open = cells_->open.data();
    // Row by row, both reading and writing in order: a row's words from its
    // bytes 64 at a time, and each column's word of this band of 64 rows
    // gathered in `band`, stored once the band is complete.
    std::vector<std::uint64_t> band(pw, 0);
    for (std::size_t r = 0; r < ph; ++r) {
      const std::uint8_t* cells = open + r * pw;
      std::uint64_t* row = b.rows.data() + r * b.row_words;
      for (std::size_t c = 0; c < pw; c += 64) {
        std::uint64_t word = 0;
        for (std::size_t k = 0; k < 64 && c + k < pw; ++k) word |= std::uint64_t{cells[c + k] != 0} << k;
        row[c / 64] = word;
      }
      const unsigned shift = r % 64;
      for (std::size_t c = 0; c < pw; ++c) band[c] |= std::uint64_t{cells[c] != 0} << shift;
      if (shift == 63 || r + 1 == ph) {
        for (std::size_t c = 0; c < pw; ++c) b.columns[c * b.column_words + r / 64] = band[c];
        std::fill(band.begin(), band.end(), std::uint64_t{0});
      }
    }
    cells_->bits = std::move(b);
  });
  return cells_->bits;
}

void GridGraph::summarise_costs() {
  double least = std::numeric_limits<double>::infinity(), largest = 0.0;
  for (std::int64_t r = 0; r < height_; ++r) {
    const std::uint8_t* open = cells_->open.data() + padded(r, 0);
    const double* cost = cells_->costs.data() + index(r, 0);
    for (std::int64_t c = 0; c < width_; ++c) {
      largest = std::max(largest, open[c] ? cost[c] : 0.0);
      least = std::min(least, open[c] ? cost[c] : least);
    }
  }
  min_cost_ = least;
  max_cost_ = largest;
}

CostMatrix CostMatrix::from_rows(const std::vector<std::vector<double>>& rows) {
  CostMatrix m;
  m.height = rows.size();
  for (const auto& row : rows) m.width = std::max<std::uint64_t>(m.width, row.size());
  GridGraph::check_size(m.width, m.height);
  m.cells.assign(m.width * m.height, std::numeric_limits<double>::quiet_NaN());
  for (std::size_t r = 0; r < rows.size(); ++r)
    std::copy(rows[r].begin(), rows[r].end(), m.cells.begin() + static_cast<std::ptrdiff_t>(r * m.width));
  return m;
}

GridGraph GridGraph::from_costs(CostMatrix costs) {
  if (costs.width == 0 || costs.height == 0) fail_input("cost grid must be non-empty");
  GridGraph g = shaped(costs.width, costs.height);
  if (costs.cells.size() != costs.width * costs.height) {
    fail_invariant("a {}x{} cost matrix holds {} entries", costs.width, costs.height, costs.cells.size());
  }
  const double* in = costs.cells.data();
  for (std::int64_t r = 0; r < g.height_; ++r, in += g.width_) {
    std::uint8_t* out = g.cells_->open.data() + g.padded(r, 0);
    // Open exactly when finite and strictly positive: read as integers, the
    // bits of such a double run from 1 (the least subnormal) to those of the
    // largest double; zero, negatives, infinity and NaN fall outside. A test
    // on the bits that the compiler turns into vector code.
    for (std::int64_t c = 0; c < g.width_; ++c) {
      out[c] = std::bit_cast<std::uint64_t>(in[c]) - 1 < std::bit_cast<std::uint64_t>(kLargest);
    }
  }
  g.cells_->costs = std::move(costs.cells);
  g.summarise_costs();
  return g;
}

AsciiGrid GridGraph::from_ascii(std::string_view map) {
  MapGrid parsed = parse_ascii(map);
  if (!parsed.start) fail_input("ASCII map must contain a start cell 'S'");
  if (!parsed.goal) fail_input("ASCII map must contain a goal cell 'G'");
  return {std::move(parsed.grid), *parsed.start, *parsed.goal};
}

MapGrid GridGraph::parse_ascii(std::string_view map) {
  const MapLines parsed = split_map(map);
  GridGraph grid(parsed.width, parsed.lines.size());
  std::optional<Cell> start, goal;
  std::uint64_t i = 0;
  for (std::size_t r = 0; r < parsed.lines.size(); ++r) {
    i = r * parsed.width;
    std::int32_t c = 0;
    for (const char ch : parsed.lines[r]) {
      if ((static_cast<unsigned char>(ch) & 0xC0) == 0x80) continue;  // inside a multi-byte character
      const Cell cell{static_cast<std::int32_t>(r), c};
      if (ch == '#') {
        grid.cells_->open[grid.padded(cell.row, cell.col)] = 0;
        grid.cells_->costs[i] = 0.0;  // never read; 0 shows a wall to whoever views the costs
      } else if (ch == 'S') {
        start = cell;
      } else if (ch == 'G') {
        goal = cell;
      } else if (ch >= '1' && ch <= '9') {
        grid.cells_->costs[i] = ch - '0';
      }
      ++i;
      ++c;
    }
  }
  grid.summarise_costs();
  return {std::move(grid), start, goal};
}

}  // namespace quellostrin
