#include "quellostrin/domains/npuzzle_pdb.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <bitset>
#include <utility>

#include "quellostrin/domains/npuzzle.hpp"
#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"

namespace quellostrin {

namespace {

constexpr std::uint8_t kUnreached = 0xFF;
constexpr std::uint64_t kPollEvery = 1u << 14;  // states expanded between two polls of the stop hook

// The cells of a 4x4 board by group, for the goal with the blank in cell 0.
using Cells = std::vector<std::vector<std::uint16_t>>;
const Cells k663 = {{1, 4, 5, 8, 9, 12}, {2, 3, 6, 7, 10, 11}, {13, 14, 15}};
const Cells k78 = {{1, 2, 3, 4, 5, 6, 7}, {8, 9, 10, 11, 12, 13, 14, 15}};

std::size_t blank_of(const SmallBytes& goal) {
  return static_cast<std::size_t>(std::find(goal.begin(), goal.end(), std::uint8_t{0}) - goal.begin());
}

std::uint16_t reflected_cell(std::size_t c, std::size_t side) {
  return static_cast<std::uint16_t>((c % side) * side + c / side);
}

// The groups of cells `base` (for the blank in cell 0 of a 4x4 board) for
// `goal`, as tiles.
std::vector<std::vector<std::uint8_t>> carried(const Cells& base, const SmallBytes& goal) {
  const std::size_t blank = blank_of(goal), row = blank / 4, col = blank % 4;
  const bool corner = (row == 0 || row == 3) && (col == 0 || col == 3);
  std::vector<std::vector<std::uint8_t>> out;
  if (corner) {
    // Flip the rows, the columns or both so that cell 0 lands on the blank.
    for (const auto& cells : base) {
      std::vector<std::uint8_t> tiles;
      for (const std::uint16_t c : cells) {
        const std::size_t r = row == 0 ? c / 4 : 3 - c / 4, k = col == 0 ? c % 4 : 3 - c % 4;
        tiles.push_back(goal[r * 4 + k]);
      }
      out.push_back(std::move(tiles));
    }
    return out;
  }
  std::size_t at = 0;
  for (const auto& cells : base) {
    std::vector<std::uint8_t> tiles;
    while (tiles.size() < cells.size()) {
      if (at != blank) tiles.push_back(goal[at]);
      ++at;
    }
    out.push_back(std::move(tiles));
  }
  return out;
}

// The number of set bits, inline: without a target flag for the popcnt
// instruction, std::popcount is a library call. Sets of up to 16 cells are
// counted by a table.
constexpr std::array<std::uint8_t, 1u << 16> count_bits() {
  std::array<std::uint8_t, 1u << 16> of{};
  for (std::size_t m = 1; m < of.size(); ++m) of[m] = static_cast<std::uint8_t>(of[m >> 1] + (m & 1));
  return of;
}
// Filled when the library loads: clang's constant evaluator gives up on 65536 steps.
const std::array<std::uint8_t, 1u << 16> kBitCounts = count_bits();

inline std::size_t bits_in(std::uint64_t x) {
  if (x < (1u << 16)) return kBitCounts[x];
  x = x - ((x >> 1) & 0x5555555555555555u);
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
  return static_cast<std::size_t>((x * 0x0101010101010101u) >> 56);
}

// A set of cells as bits: a 64-bit word for boards of up to 64 cells, a
// bitset beyond. The helpers below give both the same operations.
using Wide = std::bitset<kMaxPuzzleCells>;

template <class Mask>
Mask bit_at(std::size_t c) {
  if constexpr (std::is_same_v<Mask, std::uint64_t>) {
    return std::uint64_t{1} << c;
  } else {
    Mask m;
    m.set(c);
    return m;
  }
}

template <class Mask>
bool none(const Mask& m) {
  if constexpr (std::is_same_v<Mask, std::uint64_t>) {
    return m == 0;
  } else {
    return m.none();
  }
}

template <class Mask>
std::size_t lowest(const Mask& m) {
  if constexpr (std::is_same_v<Mask, std::uint64_t>) {
    return static_cast<std::size_t>(std::countr_zero(m));
  } else {
    std::size_t c = 0;
    while (!m.test(c)) ++c;
    return c;
  }
}

// The number of cells of `m` below cell `c`.
template <class Mask>
std::size_t count_below(const Mask& m, std::size_t c) {
  if constexpr (std::is_same_v<Mask, std::uint64_t>) {
    return bits_in(m & ((std::uint64_t{1} << c) - 1));
  } else {
    std::size_t count = 0;
    for (std::size_t i = 0; i < c; ++i) count += m.test(i);
    return count;
  }
}

// The cell of `m` with `d` cells of `m` below it.
std::size_t nth_cell(std::uint64_t m, std::size_t d) {
  for (; d > 0; --d) m &= m - 1;
  return static_cast<std::size_t>(std::countr_zero(m));
}

std::size_t nth_cell(const Wide& m, std::size_t d) {
  for (std::size_t c = 0;; ++c) {
    if (!m.test(c)) continue;
    if (d == 0) return c;
    --d;
  }
}

// The board's geometry as masks, and the region a blank can reach.
template <class Mask>
struct Board {
  std::size_t side;
  std::size_t n;
  Mask all{};
  Mask not_first_col{};
  Mask not_last_col{};
  std::vector<Mask> adjacent;  // [cell]: its neighbours

  explicit Board(std::size_t s) : side(s), n(s * s), adjacent(s * s) {
    for (std::size_t c = 0; c < n; ++c) {
      all |= bit_at<Mask>(c);
      if (c % s != 0) not_first_col |= bit_at<Mask>(c);
      if (c % s != s - 1) not_last_col |= bit_at<Mask>(c);
      if (c >= s) adjacent[c] |= bit_at<Mask>(c - s);
      if (c + s < n) adjacent[c] |= bit_at<Mask>(c + s);
      if (c % s != 0) adjacent[c] |= bit_at<Mask>(c - 1);
      if (c % s != s - 1) adjacent[c] |= bit_at<Mask>(c + 1);
    }
  }

  // The cells of `free` connected to cell `seed` (one of `free`) through `free`.
  Mask region(std::size_t seed, const Mask& free) const {
    if constexpr (std::is_same_v<Mask, std::uint64_t>) {
      if (!regions.empty()) return regions[(free << 4) | seed];
    }
    return flood(bit_at<Mask>(seed), free);
  }

  Mask flood(Mask seed, const Mask& free) const {
    for (;;) {
      Mask grown =
          seed | (seed << side) | (seed >> side) | ((seed << 1) & not_first_col) | ((seed >> 1) & not_last_col);
      grown &= free;
      if (grown == seed) return seed;
      seed = grown;
    }
  }

  // On boards of up to 16 cells, every region flooded once: [free << 4 | seed],
  // 2^20 entries, of which a group's search reads a few hundred thousand.
  void tabulate_regions() {
    if constexpr (std::is_same_v<Mask, std::uint64_t>) {
      if (n > 16) return;
      regions.assign(std::size_t{1} << 20, 0);
      for (std::uint64_t free = 0; free < (std::uint64_t{1} << n); ++free) {
        for (std::size_t c = 0; c < n; ++c) {
          if ((free >> c) & 1) regions[(free << 4) | c] = static_cast<std::uint16_t>(flood(bit_at<Mask>(c), free));
        }
      }
    }
  }
  std::vector<std::uint16_t> regions;
};

std::uint64_t rank_of(const std::uint16_t* cells, std::size_t k, std::size_t n) {
  // Groups are small (a table of more than a dozen tiles does not fit in
  // memory), so the quadratic count of smaller cells before each is cheap and
  // needs no bit counting.
  std::uint64_t r = 0;
  for (std::size_t j = 0; j < k; ++j) {
    std::uint64_t d = cells[j];
    for (std::size_t i = 0; i < j; ++i) d -= cells[i] < cells[j];
    r = r * (n - j) + d;
  }
  return r;
}

// A bit per (rank, region) state of a group's search.
class StateBits {
 public:
  explicit StateBits(std::uint64_t states) : words_((states + 63) / 64, 0) {}
  bool test(std::uint64_t s) const { return (words_[s >> 6] >> (s & 63)) & 1; }
  void set(std::uint64_t s) { words_[s >> 6] |= std::uint64_t{1} << (s & 63); }
  void clear() { std::fill(words_.begin(), words_.end(), 0); }
  std::vector<std::uint64_t>& words() { return words_; }
  void swap(StateBits& other) { words_.swap(other.words_); }

 private:
  std::vector<std::uint64_t> words_;
};

// The table of one group of `tiles` for `goal`: the breadth-first search
// described in the header. False when `gate` stopped it.
template <class Mask>
bool build_table(const Board<Mask>& board, const SmallBytes& goal, const std::vector<std::uint8_t>& tiles,
                 std::vector<std::uint8_t>& table, StopGate& gate, std::uint64_t& expanded) {
  const std::size_t n = board.n, k = tiles.size(), free_count = n - k;
  const std::uint64_t entries = pattern_entries(n, k);
  table.assign(entries, kUnreached);
  StateBits seen(entries * free_count), layer(entries * free_count), next(entries * free_count);

  // A state is numbered by its rank and the index among the free cells of a
  // cell of its region. `seen` holds the bits of every cell of a region
  // reached, so that a child is tested by the cell the blank lands on, with
  // no region computed; a layer holds one bit per state, the cell it was
  // entered by, whose region is computed when it is expanded.
  auto mark_seen = [&](std::uint64_t rank, std::size_t blank, const Mask& free) {
    Mask region = board.region(blank, free);
    while (!none(region)) {
      const std::size_t c = lowest(region);
      region &= ~bit_at<Mask>(c);
      seen.set(rank * free_count + count_below(free, c));
    }
  };

  std::array<std::uint16_t, kMaxPuzzleCells> cells{};
  for (std::size_t j = 0; j < k; ++j) {
    cells[j] = static_cast<std::uint16_t>(std::find(goal.begin(), goal.end(), tiles[j]) - goal.begin());
  }
  Mask occupied{};
  for (std::size_t j = 0; j < k; ++j) occupied |= bit_at<Mask>(cells[j]);
  const std::uint64_t start_rank = rank_of(cells.data(), k, n);
  const Mask start_free = board.all & ~occupied;
  mark_seen(start_rank, blank_of(goal), start_free);
  layer.set(start_rank * free_count + count_below(start_free, blank_of(goal)));
  table[start_rank] = 0;

  // The place value of each digit of a rank.
  std::array<std::uint64_t, kMaxPuzzleCells> weight{};
  for (std::size_t j = k; j-- > 0;) weight[j] = j + 1 == k ? 1 : weight[j + 1] * (n - j - 1);

  for (unsigned depth = 0;; ++depth) {
    bool any = false;
    // A layer is read in increasing order, so its ranks are unranked as an
    // odometer: the digits of the last rank advanced to the next, and the
    // cells recomputed only from the first digit that changed.
    std::array<std::uint64_t, kMaxPuzzleCells> digit{};
    std::array<Mask, kMaxPuzzleCells + 1> taken{};  // [j]: the cells of tiles 0..j-1
    std::uint64_t at_rank = 0;
    auto recompute = [&](std::size_t from) {
      for (std::size_t j = from; j < k; ++j) {
        cells[j] = static_cast<std::uint16_t>(nth_cell(board.all & ~taken[j], static_cast<std::size_t>(digit[j])));
        taken[j + 1] = taken[j] | bit_at<Mask>(cells[j]);
      }
    };
    recompute(0);
    std::vector<std::uint64_t>& words = layer.words();
    for (std::size_t w = 0; w < words.size(); ++w) {
      for (std::uint64_t bits = words[w]; bits != 0; bits &= bits - 1) {
        any = true;
        if (gate.cancelled(++expanded)) return false;
        const std::uint64_t s = w * 64 + static_cast<std::uint64_t>(std::countr_zero(bits));
        const std::uint64_t rank = s / free_count;
        const std::size_t region_index = static_cast<std::size_t>(s % free_count);
        if (rank != at_rank) {
          std::size_t j = k - 1;
          digit[j] += rank - at_rank;
          while (digit[j] >= n - j) {
            const std::uint64_t carry = digit[j] / (n - j);
            digit[j] %= n - j;
            digit[--j] += carry;
          }
          recompute(j);
          at_rank = rank;
        }
        const Mask free = board.all & ~taken[k];
        const Mask region = board.region(nth_cell(free, region_index), free);
        // Every slide of a group tile into a cell of the region. The child's
        // rank changes in the moved tile's digit, by the cells it passes, and
        // in the digit of each later tile whose cell it passes.
        for (std::size_t j = 0; j < k; ++j) {
          const std::uint16_t from = cells[j];
          Mask targets = board.adjacent[from] & region;
          while (!none(targets)) {
            const std::size_t to = lowest(targets);
            targets &= ~bit_at<Mask>(to);
            const Mask after = (free & ~bit_at<Mask>(to)) | bit_at<Mask>(from);
            std::int64_t passed = 0;  // earlier tiles' cells below `to` less those below `from`
            for (std::size_t i = 0; i < j; ++i) passed += std::int64_t{cells[i] < to} - std::int64_t{cells[i] < from};
            std::uint64_t child_rank =
                rank + static_cast<std::uint64_t>((static_cast<std::int64_t>(to) - from - passed) *
                                                  static_cast<std::int64_t>(weight[j]));
            for (std::size_t i = j + 1; i < k; ++i) {
              child_rank += static_cast<std::uint64_t>((std::int64_t{from < cells[i]} - std::int64_t{to < cells[i]}) *
                                                       static_cast<std::int64_t>(weight[i]));
            }
            const std::uint64_t child = child_rank * free_count + count_below(after, from);
            if (seen.test(child)) continue;
            mark_seen(child_rank, from, after);
            next.set(child);
            if (table[child_rank] == kUnreached) table[child_rank] = static_cast<std::uint8_t>(depth + 1);
          }
        }
      }
    }
    if (!any) return true;
    if (depth + 1 >= kUnreached) fail_invariant("a pattern database deeper than a byte holds");
    layer.swap(next);
    next.clear();
  }
}

// The cells of `goal` holding `tiles`, in their order.
std::vector<std::uint16_t> goal_cells(const SmallBytes& goal, const std::vector<std::uint8_t>& tiles) {
  std::vector<std::uint16_t> out;
  for (const std::uint8_t t : tiles) {
    out.push_back(static_cast<std::uint16_t>(std::find(goal.begin(), goal.end(), t) - goal.begin()));
  }
  return out;
}

// The eight symmetries of the square board, as cell maps.
std::vector<std::vector<std::uint16_t>> symmetries(std::size_t side) {
  std::vector<std::vector<std::uint16_t>> out;
  for (int flips = 0; flips < 8; ++flips) {
    std::vector<std::uint16_t> map(side * side);
    for (std::size_t r = 0; r < side; ++r) {
      for (std::size_t c = 0; c < side; ++c) {
        std::size_t rr = (flips & 1) ? side - 1 - r : r, cc = (flips & 2) ? side - 1 - c : c;
        if (flips & 4) std::swap(rr, cc);
        map[r * side + c] = static_cast<std::uint16_t>(rr * side + cc);
      }
    }
    out.push_back(std::move(map));
  }
  return out;
}

// When a symmetry of the board maps group `g`'s abstract goal (its tiles'
// goal cells and the blank's region) onto group `h`'s, g's distances are h's
// read through the symmetry, which maps moves to moves: the slot in h of
// each slot of g, and the symmetry. Nothing otherwise.
template <class Mask>
std::optional<std::pair<std::vector<std::size_t>, std::vector<std::uint16_t>>> mirror_of(const Board<Mask>& board,
                                                                                         const PatternSpec& spec,
                                                                                         std::size_t g, std::size_t h) {
  const auto& a = spec.groups[g];
  const auto& b = spec.groups[h];
  if (a.size() != b.size()) return std::nullopt;
  const std::vector<std::uint16_t> ca = goal_cells(spec.goal, a), cb = goal_cells(spec.goal, b);
  const std::size_t blank = blank_of(spec.goal);
  auto goal_region = [&](const std::vector<std::uint16_t>& cells) {
    Mask free = board.all;
    for (const std::uint16_t c : cells) free &= ~bit_at<Mask>(c);
    return board.flood(bit_at<Mask>(blank), free);
  };
  const Mask region_b = goal_region(cb), region_a = goal_region(ca);
  for (const auto& map : symmetries(board.side)) {
    std::vector<std::size_t> slot(a.size());
    bool ok = true;
    for (std::size_t j = 0; j < a.size() && ok; ++j) {
      const auto at = std::find(cb.begin(), cb.end(), map[ca[j]]);
      ok = at != cb.end();
      if (ok) slot[j] = static_cast<std::size_t>(at - cb.begin());
    }
    if (!ok) continue;
    Mask mapped{};
    for (std::size_t c = 0; c < board.n; ++c) {
      if (!none(region_a & bit_at<Mask>(c))) mapped |= bit_at<Mask>(map[c]);
    }
    if (mapped == region_b) return std::pair{std::move(slot), map};
  }
  return std::nullopt;
}

// Group g's table from h's through `mirror`: every rank of g unranked in
// order, its cells mapped and ranked in h.
bool derive_table(std::size_t n, std::size_t k, const std::vector<std::size_t>& slot,
                  const std::vector<std::uint16_t>& map, const std::vector<std::uint8_t>& from,
                  std::vector<std::uint8_t>& table, StopGate& gate, std::uint64_t& expanded) {
  table.assign(from.size(), kUnreached);
  std::array<std::uint16_t, kMaxPuzzleCells> cells{}, mapped{};
  // The first partial permutation in rank order: cells 0..k-1.
  for (std::size_t j = 0; j < k; ++j) cells[j] = static_cast<std::uint16_t>(j);
  for (std::uint64_t r = 0; r < table.size(); ++r) {
    if ((r & 1023) == 0 && gate.cancelled(expanded += 1024)) return false;
    for (std::size_t j = 0; j < k; ++j) mapped[slot[j]] = map[cells[j]];
    table[r] = from[rank_of(mapped.data(), k, n)];
    // The next partial permutation: the last cell that can move to a larger
    // unused cell does, and the cells after it take the smallest unused ones.
    for (std::size_t j = k; j-- > 0;) {
      std::uint16_t c = cells[j];
      auto used_before = [&](std::uint16_t x) {
        for (std::size_t i = 0; i < j; ++i) {
          if (cells[i] == x) return true;
        }
        return false;
      };
      do ++c;
      while (c < n && used_before(c));
      if (c >= n) continue;
      cells[j] = c;
      for (std::size_t i = j + 1; i < k; ++i) {
        std::uint16_t x = 0;
        auto used = [&](std::uint16_t y) {
          for (std::size_t l = 0; l < i; ++l) {
            if (cells[l] == y) return true;
          }
          return false;
        };
        while (used(x)) ++x;
        cells[i] = x;
      }
      break;
    }
  }
  return true;
}

template <class Mask>
bool build_all(const PatternSpec& spec, std::vector<std::vector<std::uint8_t>>& tables, const StopHook& hook) {
  Board<Mask> board(static_cast<std::size_t>(spec.side));
  board.tabulate_regions();
  StopGate gate(Limits{
      .max_nodes = std::nullopt, .hook = StopHook{hook.poll, hook.context, kPollEvery}, .max_memory = std::nullopt});
  std::uint64_t expanded = 0;
  tables.resize(spec.groups.size());
  for (std::size_t g = 0; g < spec.groups.size(); ++g) {
    bool derived = false;
    for (std::size_t h = 0; h < g && !derived; ++h) {
      if (const auto mirror = mirror_of(board, spec, g, h)) {
        if (!derive_table(board.n, spec.groups[g].size(), mirror->first, mirror->second, tables[h], tables[g], gate,
                          expanded)) {
          return false;
        }
        derived = true;
      }
    }
    if (!derived && !build_table(board, spec.goal, spec.groups[g], tables[g], gate, expanded)) return false;
  }
  return true;
}

}  // namespace

std::uint64_t pattern_entries(std::uint64_t n, std::uint64_t k) {
  std::uint64_t r = 1;
  for (std::uint64_t j = 0; j < k; ++j) r = size_mul(r, n - j);
  return r;
}

std::uint64_t pattern_rank(const std::uint16_t* cells, std::size_t k, std::size_t n) { return rank_of(cells, k, n); }

PatternSpec named_patterns(std::uint64_t side, const SmallBytes& goal, std::string_view name) {
  PatternSpec spec{side, goal, {}, false};
  if (name == "whole") {
    std::vector<std::uint8_t> all;
    for (const std::uint8_t t : goal) {
      if (t != 0) all.push_back(t);
    }
    if (!all.empty()) spec.groups.push_back(std::move(all));
    return spec;
  }
  if (name != "6-6-3" && name != "7-8")
    fail_input("unknown patterns: '{}'. Use 6-6-3, 7-8, whole, or a list of tile groups", name);
  if (side != 4) fail_input("patterns '{}' is for the 4x4 board; give a list of tile groups for side {}", name, side);
  spec.groups = carried(name == "7-8" ? k78 : k663, goal);
  const std::size_t blank = blank_of(goal);
  spec.reflected = blank / 4 == blank % 4;
  return spec;
}

std::optional<PatternSpec> default_patterns(std::uint64_t side, const SmallBytes& goal) {
  if (side <= 3) return named_patterns(side, goal, "whole");
  if (side == 4) return named_patterns(side, goal, "6-6-3");
  return std::nullopt;
}

void check_patterns(const PatternSpec& spec) {
  const std::size_t n = static_cast<std::size_t>(spec.side * spec.side);
  if (spec.goal.size() != n)
    fail_invariant("pattern databases for a goal of {} cells on side {}", spec.goal.size(), spec.side);
  std::vector<bool> seen(n);
  for (const auto& group : spec.groups) {
    if (group.empty()) fail_input("patterns: a group of tiles is empty");
    for (const std::uint8_t t : group) {
      if (t == 0 || t >= n) fail_input("patterns: {} is not a tile (tiles are 1..{})", unsigned{t}, n - 1);
      if (seen[t]) fail_input("patterns: tile {} is in two groups", unsigned{t});
      seen[t] = true;
    }
  }
  for (std::size_t t = 1; t < n; ++t) {
    if (!seen[t]) fail_input("patterns: tile {} is in no group (the groups must hold every tile once)", t);
  }
  if (spec.reflected) {
    const std::size_t blank = blank_of(spec.goal);
    if (blank / spec.side != blank % spec.side)
      fail_input("the reflected lookup needs the goal's blank on the main diagonal");
  }
}

std::uint64_t PuzzlePatterns::build_bytes(const PatternSpec& spec) {
  const std::uint64_t n = spec.side * spec.side;
  std::uint64_t tables = 0, search = 0;
  for (const auto& group : spec.groups) {
    const std::uint64_t entries = pattern_entries(n, group.size());
    tables = size_add(tables, entries);
    // Three bit sets of entries * (n - k) bits, in whole words.
    const std::uint64_t bits = size_mul(entries, n - group.size());
    search = std::max(search, size_mul(3, size_mul(size_add(bits, 63) / 64, 8)));
  }
  return size_add(tables, search);
}

PuzzlePatterns::Build PuzzlePatterns::build(PatternSpec spec, const StopHook& hook) {
  check_patterns(spec);
  const std::uint64_t bytes = build_bytes(spec), available = available_memory();
  if (bytes > available) {
    throw OutOfMemory(
        detail::format("cannot allocate the pattern databases: they need {} bytes, and only {} are available",
                       bytes == kSizeOverflow ? std::string("more than 2^64") : std::to_string(bytes), available));
  }
  std::vector<std::vector<std::uint8_t>> tables;
  const bool done =
      spec.side * spec.side <= 64 ? build_all<std::uint64_t>(spec, tables, hook) : build_all<Wide>(spec, tables, hook);
  if (!done) return Build{std::nullopt, true};
  return Build{PuzzlePatterns(std::move(spec), std::move(tables)), false};
}

PuzzlePatterns PuzzlePatterns::from_tables(PatternSpec spec, std::vector<std::vector<std::uint8_t>> tables) {
  check_patterns(spec);
  if (tables.size() != spec.groups.size())
    fail_input("{} pattern tables for {} groups", tables.size(), spec.groups.size());
  const std::uint64_t n = spec.side * spec.side;
  for (std::size_t g = 0; g < tables.size(); ++g) {
    if (tables[g].size() != pattern_entries(n, spec.groups[g].size())) {
      fail_input("pattern table {} has {} entries, not the {} of its group", g, tables[g].size(),
                 pattern_entries(n, spec.groups[g].size()));
    }
  }
  return PuzzlePatterns(std::move(spec), std::move(tables));
}

PuzzlePatterns::PuzzlePatterns(PatternSpec spec, std::vector<std::vector<std::uint8_t>> tables)
    : spec_(std::move(spec)), n_(static_cast<std::size_t>(spec_.side * spec_.side)), tables_(std::move(tables)) {
  layout_.group_of.assign(n_, 0);
  layout_.slot_of.assign(n_, 0);
  for (std::size_t g = 0; g < spec_.groups.size(); ++g) {
    for (std::size_t j = 0; j < spec_.groups[g].size(); ++j) {
      layout_.group_of[spec_.groups[g][j]] = static_cast<std::uint8_t>(g);
      layout_.slot_of[spec_.groups[g][j]] = static_cast<std::uint8_t>(j);
    }
  }
  if (spec_.reflected) {
    const std::size_t side = static_cast<std::size_t>(spec_.side);
    layout_.reflect.resize(n_);
    layout_.mirror.resize(n_);
    for (std::size_t c = 0; c < n_; ++c) layout_.reflect[c] = reflected_cell(c, side);
    // The tile at cell c of the goal becomes the goal's tile of the reflected cell.
    for (std::size_t c = 0; c < n_; ++c) layout_.mirror[spec_.goal[c]] = spec_.goal[layout_.reflect[c]];
  }
}

std::uint64_t PuzzlePatterns::bytes() const {
  std::uint64_t total = 0;
  for (const auto& t : tables_) total += t.size();
  return total;
}

int PuzzlePatterns::estimate(const std::uint8_t* board) const {
  std::array<std::uint16_t, kMaxPuzzleCells> cell_of{}, cells{};
  for (std::size_t c = 0; c < n_; ++c) cell_of[board[c]] = static_cast<std::uint16_t>(c);
  auto sum = [&] {
    int h = 0;
    for (std::size_t g = 0; g < spec_.groups.size(); ++g) {
      const auto& group = spec_.groups[g];
      for (std::size_t j = 0; j < group.size(); ++j) cells[j] = cell_of[group[j]];
      h += tables_[g][rank_of(cells.data(), group.size(), n_)];
    }
    return h;
  };
  const int h = sum();
  if (!spec_.reflected) return h;
  // The reflected board: tile mirror[t] at the reflection of t's cell.
  std::array<std::uint16_t, kMaxPuzzleCells> normal = cell_of;
  for (std::size_t t = 0; t < n_; ++t) cell_of[layout_.mirror[t]] = layout_.reflect[normal[t]];
  return std::max(h, sum());
}

}  // namespace quellostrin
