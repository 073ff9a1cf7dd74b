#include "quellostrin/domains/npuzzle_ida.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include "quellostrin/domains/npuzzle_pdb.hpp"
#include "quellostrin/errors.hpp"

namespace quellostrin {

namespace {

constexpr std::uint16_t kNoCell = 0xFFFF;
constexpr int kNothingPruned = std::numeric_limits<int>::max();
constexpr int kFilterShift = 64 - 12;  // the path filter has 4096 counters, indexed by the hash's top bits

bool permutation_of(const SmallBytes& state, std::size_t n) {
  if (state.size() != n) return false;
  std::array<bool, kMaxPuzzleCells> seen{};
  for (const std::uint8_t t : state) {
    if (t >= n || seen[t]) return false;
    seen[t] = true;
  }
  return true;
}

// One move of the blank: the cell it moves to, and the move list of the
// child it leads to.
struct Move {
  std::uint16_t to;
  std::uint16_t list;
};

// The estimates of the loop, as policies: `view()` gives the loop a copy of
// what it reads (pointers held in locals, which the board's byte stores
// cannot be assumed to change), whose `child(h, tile, row, from, to, saved)`
// is the estimate of the board after `tile` slides from cell `from` to `to`,
// the current board's being h and `row` being tile * n (which the loop has at
// hand for its hash keys), and which fills `saved` with what `apply` (the
// slide is made) and `undo` (it is taken back) need. A policy with state
// tracks the board on top of the path.

// The Manhattan distance, by a table lookup per tile and cell; no state.
class ManhattanEstimate {
 public:
  struct Saved {};

  ManhattanEstimate(std::size_t side, const SmallBytes& goal) : n_(side * side), dist_(n_ * n_, 0) {
    std::array<std::size_t, kMaxPuzzleCells> home{};
    for (std::size_t i = 0; i < n_; ++i) home[goal[i]] = i;
    for (std::size_t t = 1; t < n_; ++t) {
      for (std::size_t c = 0; c < n_; ++c) {
        const std::size_t r = c / side, col = c % side, hr = home[t] / side, hc = home[t] % side;
        dist_[t * n_ + c] = static_cast<std::uint8_t>((r > hr ? r - hr : hr - r) + (col > hc ? col - hc : hc - col));
      }
    }
  }

  int root(const std::uint8_t* board) {
    int h = 0;
    for (std::size_t c = 0; c < n_; ++c) h += dist_[board[c] * n_ + c];
    return h;
  }

  struct View {
    const std::uint8_t* dist;
    int child(int h, std::size_t, std::size_t row, std::size_t from, std::size_t to, Saved&) const {
      return h + dist[row + to] - dist[row + from];
    }
    void apply(std::size_t, std::size_t, std::size_t, const Saved&) const {}
    void undo(std::size_t, std::size_t, std::size_t, const Saved&) const {}
  };
  View view() const { return {dist_.data()}; }

 private:
  std::size_t n_;
  std::vector<std::uint8_t> dist_;  // [tile * n + cell]: the tile's Manhattan distance from there to its goal cell
};

// The pattern databases (npuzzle_pdb.hpp): the cells of every group's tiles
// and every group's value, for the board and, with the reflected lookup, for
// its reflection; a slide changes one group of each, looked up again.
class PdbEstimate {
 public:
  struct Saved {
    std::uint8_t old_value[2];
    std::uint8_t new_value[2];
  };

  explicit PdbEstimate(const PuzzlePatterns& patterns) : patterns_(&patterns), n_(patterns.cells()) {
    const auto& groups = patterns.spec().groups;
    for (const auto& g : groups) stride_ = std::max(stride_, g.size());
    sides_ = patterns.spec().reflected ? 2 : 1;
    for (int v = 0; v < sides_; ++v) {
      cells_[v].assign(groups.size() * stride_, 0);
      values_[v].assign(groups.size(), 0);
    }
    for (const auto& t : patterns.tables()) tables_.push_back(t.data());
    sizes_.resize(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) sizes_[g] = static_cast<std::uint16_t>(groups[g].size());
  }

  int root(const std::uint8_t* board) {
    const auto& layout = patterns_->layout();
    for (std::size_t c = 0; c < n_; ++c) {
      const std::size_t t = board[c];
      if (t == 0) continue;
      cells_[0][layout.group_of[t] * stride_ + layout.slot_of[t]] = static_cast<std::uint16_t>(c);
      if (sides_ == 2) {
        const std::size_t u = layout.mirror[t];
        cells_[1][layout.group_of[u] * stride_ + layout.slot_of[u]] = layout.reflect[c];
      }
    }
    for (int v = 0; v < sides_; ++v) {
      sums_[v] = 0;
      for (std::size_t g = 0; g < sizes_.size(); ++g) {
        values_[v][g] = tables_[g][pattern_rank(&cells_[v][g * stride_], sizes_[g], n_)];
        sums_[v] += values_[v][g];
      }
    }
    return sides_ == 2 ? std::max(sums_[0], sums_[1]) : sums_[0];
  }

  struct View {
    PdbEstimate* self;
    const std::uint8_t* const* tables;
    const std::uint8_t* group_of;
    const std::uint8_t* slot_of;
    const std::uint8_t* mirror;
    const std::uint16_t* reflect;
    const std::uint16_t* sizes;
    std::uint16_t* cells[2];
    std::uint8_t* values[2];
    std::size_t stride, n;
    bool reflected;

    // The value of the group of `tile` in view v with the tile on cell `to`.
    std::uint8_t lookup(int v, std::size_t tile, std::size_t to) const {
      const std::size_t g = group_of[tile], slot = slot_of[tile], k = sizes[g];
      std::uint16_t at[kMaxPuzzleCells];
      const std::uint16_t* cur = cells[v] + g * stride;
      for (std::size_t j = 0; j < k; ++j) at[j] = cur[j];
      at[slot] = static_cast<std::uint16_t>(to);
      return tables[g][pattern_rank(at, k, n)];
    }

    int child(int, std::size_t tile, std::size_t, std::size_t, std::size_t to, Saved& saved) const {
      const std::size_t g = group_of[tile];
      saved.old_value[0] = values[0][g];
      saved.new_value[0] = lookup(0, tile, to);
      const int normal = self->sums_[0] - saved.old_value[0] + saved.new_value[0];
      if (!reflected) return normal;
      const std::size_t u = mirror[tile], gu = group_of[u];
      saved.old_value[1] = values[1][gu];
      saved.new_value[1] = lookup(1, u, reflect[to]);
      return std::max(normal, self->sums_[1] - saved.old_value[1] + saved.new_value[1]);
    }
    void apply(std::size_t tile, std::size_t, std::size_t to, const Saved& saved) const { set(tile, to, saved, true); }
    void undo(std::size_t tile, std::size_t from, std::size_t, const Saved& saved) const {
      set(tile, from, saved, false);
    }

    void set(std::size_t tile, std::size_t cell, const Saved& saved, bool forward) const {
      const std::size_t g = group_of[tile];
      cells[0][g * stride + slot_of[tile]] = static_cast<std::uint16_t>(cell);
      values[0][g] = forward ? saved.new_value[0] : saved.old_value[0];
      self->sums_[0] += (forward ? 1 : -1) * (saved.new_value[0] - saved.old_value[0]);
      if (!reflected) return;
      const std::size_t u = mirror[tile], gu = group_of[u];
      cells[1][gu * stride + slot_of[u]] = reflect[cell];
      values[1][gu] = forward ? saved.new_value[1] : saved.old_value[1];
      self->sums_[1] += (forward ? 1 : -1) * (saved.new_value[1] - saved.old_value[1]);
    }
  };
  View view() {
    const auto& layout = patterns_->layout();
    return View{this,
                tables_.data(),
                layout.group_of.data(),
                layout.slot_of.data(),
                layout.mirror.data(),
                layout.reflect.data(),
                sizes_.data(),
                {cells_[0].data(), sides_ == 2 ? cells_[1].data() : nullptr},
                {values_[0].data(), sides_ == 2 ? values_[1].data() : nullptr},
                stride_,
                n_,
                sides_ == 2};
  }

 private:
  const PuzzlePatterns* patterns_;
  std::size_t n_;
  std::size_t stride_ = 1;
  int sides_ = 1;
  std::vector<const std::uint8_t*> tables_;
  std::vector<std::uint16_t> sizes_;
  std::vector<std::uint16_t> cells_[2];  // [group * stride + slot]: the cell of that tile
  std::vector<std::uint8_t> values_[2];  // [group]: its table's value
  int sums_[2] = {0, 0};
};

// A node of the current path. The board of the deepest one is the solver's
// one board; the others are rebuilt by undoing moves.
template <class Estimate>
struct Frame {
  std::uint64_t hash;              // xor of the keys of its (tile, cell) pairs, the blank left out
  int h;                           // the estimate of its distance to the goal
  std::uint16_t blank;             // the blank's cell
  std::uint16_t from;              // the blank's cell in the parent; kNoCell at the bottom
  std::uint16_t list;              // its move list
  std::uint8_t next;               // the index in that list of the next move to try
  typename Estimate::Saved saved;  // what the estimate needs to take back the move into it
};

template <class Estimate>
class Solver {
  using Frame = quellostrin::Frame<Estimate>;

 public:
  Solver(std::size_t side, const SmallBytes& start, Estimate estimate, bool record, const Limits& limits)
      : n_(side * side),
        start_(start),
        record_(record),
        gate_(limits),
        memory_(limits.max_memory),
        estimate_(std::move(estimate)) {
    keys_.assign(n_ * n_, 0);
    std::uint64_t seed = 0x9E3779B97F4A7C15u;
    for (std::size_t t = 1; t < n_; ++t) {
      for (std::size_t c = 0; c < n_; ++c) keys_[t * n_ + c] = splitmix(seed);
    }
    // Move list b * 5 + k: the blank's moves from cell b in the domain's
    // order (up, down, left, right, numbered 0 to 3), without move k, which
    // would take it back to the parent's board; k = 4, at the start, keeps
    // all four. Moving in direction d leads to the list that leaves out d ^ 1.
    moves_.assign(n_ * 5 * 4, Move{kNoCell, 0});
    move_count_.assign(n_ * 5, 0);
    for (std::size_t b = 0; b < n_; ++b) {
      const std::size_t r = b / side, c = b % side;
      const bool exists[4] = {r > 0, r + 1 < side, c > 0, c + 1 < side};
      const std::size_t target[4] = {b - side, b + side, b - 1, b + 1};
      for (std::size_t k = 0; k < 5; ++k) {
        for (std::size_t d = 0; d < 4; ++d) {
          if (!exists[d] || d == k) continue;
          moves_[(b * 5 + k) * 4 + move_count_[b * 5 + k]++] =
              Move{static_cast<std::uint16_t>(target[d]), static_cast<std::uint16_t>(target[d] * 5 + (d ^ 1))};
        }
      }
    }
    std::copy(start.begin(), start.end(), board_.begin());
    root_ = Frame{0, 0, 0, kNoCell, 0, 0, {}};
    for (std::size_t c = 0; c < n_; ++c) {
      const std::size_t t = board_[c];
      if (t == 0) root_.blank = static_cast<std::uint16_t>(c);
      root_.hash ^= keys_[t * n_ + c];
    }
    root_.h = estimate_.root(board_.data());
    root_.list = static_cast<std::uint16_t>(root_.blank * 5 + 4);
  }

  SearchResult<SmallBytes> run(const NPuzzle& puzzle) {
    for (int bound = root_.h;;) {
      const int next = pass(bound);
      if (found_) return solved(puzzle, path(), expanded_, generated_, max_frontier_, std::move(trace_));
      if (refused_) return refused_memory(*refused_, expanded_, generated_, max_frontier_, std::move(trace_));
      if (stopped_) return stopped_early(gate_.reason(), expanded_, generated_, max_frontier_, std::move(trace_));
      if (next == kNothingPruned) return not_found(expanded_, generated_, max_frontier_, std::move(trace_));
      bound = next;
    }
  }

 private:
  static std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }

  // One pass with f bound `bound`, from the start with every move undone
  // when it returns the next bound (kNothingPruned when nothing was pruned).
  // A pass that finds the goal or is stopped sets `found_` or `stopped_` and
  // leaves the path in `frames_`.
  //
  // Invariant: frames_[0, depth) are the nodes of the current path, each one
  // move from the one below, the top one's board on `board_`. A child is
  // counted, tested against the bound and, when pruned, dropped before the
  // board is touched.
  int pass(int bound) {
    if (root_.h > bound) return root_.h;  // never after the first bound, which is the start's f
    if (frames_.size() < static_cast<std::size_t>(bound) + 2) frames_.resize(static_cast<std::size_t>(bound) + 2);
    // The loop works on locals: a move is a byte store, which the compiler
    // must assume may change any member, so members would be reloaded after
    // every move.
    Frame* const fr = frames_.data();
    std::uint8_t* const board = board_.data();
    const auto estimate = estimate_.view();
    const std::uint64_t* const keys = keys_.data();
    const Move* const moves = moves_.data();
    const std::uint8_t* const move_count = move_count_.data();
    std::uint32_t* const filter = filter_.data();
    const std::size_t n = n_;
    const bool record = record_;
    std::uint64_t expanded = expanded_, generated = generated_, max_frontier = max_frontier_;
    auto finish = [&](int result) {
      expanded_ = expanded, generated_ = generated, max_frontier_ = max_frontier;
      return result;
    };
    fr[0] = root_;
    int depth = 0;
    int next_bound = kNothingPruned;
    for (;;) {
      // Expand fr[depth], whose f is within the bound.
      Frame& cur = fr[depth];
      if (record) {
        if (trace_.size() == trace_.capacity() && !grow_trace()) return finish(next_bound);
        trace_.push_back({SmallBytes(std::span<const std::uint8_t>(board, n)), static_cast<double>(depth),
                          static_cast<std::uint64_t>(depth)});
      }
      ++expanded;
      if (cur.h == 0) {  // with both boards permutations of 0..n-1, only the goal has estimate 0
        found_ = true;
        goal_depth_ = depth;
        return finish(next_bound);
      }
      if (gate_(expanded)) {
        stopped_ = true;
        return finish(next_bound);
      }
      ++filter[cur.hash >> kFilterShift];
      cur.next = 0;
      ++depth;
      max_frontier = std::max(max_frontier, static_cast<std::uint64_t>(depth));
      // The next child of the top frame that is not on the path and within
      // the bound; exhausted frames are popped.
      for (;;) {
        if (depth == 0) return finish(next_bound);
        Frame& top = fr[depth - 1];
        if (top.next == move_count[top.list]) {
          --filter[top.hash >> kFilterShift];
          if (--depth > 0) {  // back to the parent's board
            estimate.undo(board[top.from], top.blank, top.from, top.saved);
            board[top.blank] = board[top.from];
            board[top.from] = 0;
          }
          continue;
        }
        const Move m = moves[top.list * 4u + top.next++];
        const std::size_t b = top.blank, tile = board[m.to];
        const std::uint64_t hash = top.hash ^ keys[tile * n + m.to] ^ keys[tile * n + b];
        if (filter[hash >> kFilterShift] != 0 && on_path(depth, hash, m.to)) continue;
        ++generated;
        typename Estimate::Saved saved{};
        const int h = estimate.child(top.h, tile, tile * n, m.to, b, saved);
        if (depth + h > bound) {
          next_bound = std::min(next_bound, depth + h);
          continue;
        }
        fr[depth] = Frame{hash, h, m.to, top.blank, m.list, 0, saved};
        estimate.apply(tile, m.to, b, saved);
        board[b] = static_cast<std::uint8_t>(tile);
        board[m.to] = 0;
        break;
      }
    }
  }

  // Room for the next trace step, charged to the search's account; false,
  // with `refused_` set, when the account refuses it.
  [[gnu::cold]] bool grow_trace() {
    try {
      grow_charged(trace_, &memory_, 16);
      return true;
    } catch (const MemoryRefused& refused) {
      refused_ = refused;
      return false;
    }
  }

  // Whether the board one move (blank to `to`) from the top frame's, with
  // hash `hash`, is the board of one of frames_[0, depth). Called only when
  // the filter allows it, so the boards are rebuilt only on a hash match.
  bool on_path(int depth, std::uint64_t hash, std::uint16_t to) {
    const Frame* const fr = frames_.data();
    int k = depth - 1;
    while (k >= 0 && fr[k].hash != hash) --k;
    if (k < 0) return false;
    std::array<std::uint8_t, kMaxPuzzleCells> child = board_, ancestor = board_;
    child[fr[depth - 1].blank] = child[to];
    child[to] = 0;
    for (int j = depth - 1; j >= 0; --j) {
      if (fr[j].hash == hash && std::memcmp(child.data(), ancestor.data(), n_) == 0) return true;
      if (j > 0) {
        ancestor[fr[j].blank] = ancestor[fr[j].from];
        ancestor[fr[j].from] = 0;
      }
    }
    return false;
  }

  // The boards from the start to the goal, replayed from the moves of the frames.
  std::vector<SmallBytes> path() const {
    std::vector<SmallBytes> out{start_};
    out.reserve(static_cast<std::size_t>(goal_depth_) + 1);
    for (std::size_t k = 1; k <= static_cast<std::size_t>(goal_depth_); ++k) {
      SmallBytes next = out.back();
      next[frames_[k].from] = next[frames_[k].blank];
      next[frames_[k].blank] = 0;
      out.push_back(std::move(next));
    }
    return out;
  }

  std::size_t n_;
  SmallBytes start_;
  bool record_;
  StopGate gate_;
  MemoryAccount memory_;  // what the trace charges its growths to
  std::optional<MemoryRefused> refused_;
  Estimate estimate_;
  std::vector<std::uint64_t> keys_;  // [tile * n + cell]: random keys of the hash; zero for the blank
  std::vector<Move> moves_;          // [list * 4 + i]: the i-th move of a list
  std::vector<std::uint8_t> move_count_;
  std::array<std::uint8_t, kMaxPuzzleCells> board_{};
  Frame root_{};
  std::vector<Frame> frames_;
  // How many nodes of the path hash to each slot: a zero proves a board is not on the path.
  std::vector<std::uint32_t> filter_ = std::vector<std::uint32_t>(std::size_t{1} << (64 - kFilterShift));
  std::vector<TraceStep<SmallBytes>> trace_;
  std::uint64_t expanded_ = 0;
  std::uint64_t generated_ = 1;  // the start, once for the whole search
  std::uint64_t max_frontier_ = 1;
  bool found_ = false;
  bool stopped_ = false;
  int goal_depth_ = 0;
};

}  // namespace

bool npuzzle_ida_applies(const NPuzzle& puzzle, const PuzzleManhattan& heuristic, const SmallBytes& start,
                         const SmallBytes& goal) {
  const auto n = static_cast<std::size_t>(puzzle.side * puzzle.side);
  return puzzle.side > 0 && puzzle.side <= 16 && heuristic.side == puzzle.side && permutation_of(start, n) &&
         permutation_of(goal, n);
}

SearchResult<SmallBytes> npuzzle_ida_star(const NPuzzle& puzzle, const SmallBytes& start, const SmallBytes& goal,
                                          bool record, const Limits& limits) {
  if (!npuzzle_ida_applies(puzzle, PuzzleManhattan{puzzle.side}, start, goal)) {
    fail_invariant("npuzzle_ida_star on boards that are not permutations of the puzzle's cells");
  }
  const auto side = static_cast<std::size_t>(puzzle.side);
  return timed([&] {
    return Solver<ManhattanEstimate>(side, start, ManhattanEstimate(side, goal), record, limits).run(puzzle);
  });
}

bool npuzzle_ida_applies(const NPuzzle& puzzle, const PuzzlePdb& heuristic, const SmallBytes& start,
                         const SmallBytes& goal) {
  return heuristic.patterns && heuristic.patterns->spec().side == puzzle.side &&
         heuristic.patterns->spec().goal == goal &&
         npuzzle_ida_applies(puzzle, PuzzleManhattan{puzzle.side}, start, goal);
}

SearchResult<SmallBytes> npuzzle_ida_star(const NPuzzle& puzzle, const PuzzlePdb& heuristic, const SmallBytes& start,
                                          const SmallBytes& goal, bool record, const Limits& limits) {
  if (!npuzzle_ida_applies(puzzle, heuristic, start, goal)) {
    fail_invariant("npuzzle_ida_star over pattern databases of another puzzle or goal");
  }
  const auto side = static_cast<std::size_t>(puzzle.side);
  return timed(
      [&] { return Solver<PdbEstimate>(side, start, PdbEstimate(*heuristic.patterns), record, limits).run(puzzle); });
}

}  // namespace quellostrin
