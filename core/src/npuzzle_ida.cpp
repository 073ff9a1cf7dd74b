#include "quellostrin/puzzles/npuzzle_ida.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <utility>
#include <vector>

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

// A node of the current path, or the child being looked at. Its board is
// the solver's one board when it is the deepest; the others are rebuilt by
// undoing moves.
struct Frame {
  std::uint64_t hash;   // xor of the keys of its (tile, cell) pairs, the blank left out
  int h;                // Manhattan distance to the goal
  std::uint16_t blank;  // the blank's cell
  std::uint16_t from;   // the blank's cell in the parent; kNoCell at the bottom
  std::uint8_t next;    // the index, among the blank's moves, of the next one to try
};

class Solver {
 public:
  Solver(std::size_t side, const SmallBytes& start, const SmallBytes& goal, bool record, const Limits& limits)
      : n_(side * side), start_(start), record_(record), gate_(limits) {
    std::array<std::size_t, kMaxPuzzleCells> home{};
    for (std::size_t i = 0; i < n_; ++i) home[goal[i]] = i;
    dist_.assign(n_ * n_, 0);
    keys_.assign(n_ * n_, 0);
    std::uint64_t seed = 0x9E3779B97F4A7C15u;
    for (std::size_t t = 1; t < n_; ++t) {
      for (std::size_t c = 0; c < n_; ++c) {
        const std::size_t r = c / side, col = c % side, hr = home[t] / side, hc = home[t] % side;
        dist_[t * n_ + c] = static_cast<std::uint8_t>((r > hr ? r - hr : hr - r) + (col > hc ? col - hc : hc - col));
        keys_[t * n_ + c] = splitmix(seed);
      }
    }
    // The blank's moves from each cell, in the domain's order: up, down, left, right.
    moves_.assign(n_ * 4, kNoCell);
    move_count_.assign(n_, 0);
    for (std::size_t b = 0; b < n_; ++b) {
      const std::size_t r = b / side, c = b % side;
      std::uint16_t* m = &moves_[b * 4];
      std::uint8_t& k = move_count_[b];
      if (r > 0) m[k++] = static_cast<std::uint16_t>(b - side);
      if (r + 1 < side) m[k++] = static_cast<std::uint16_t>(b + side);
      if (c > 0) m[k++] = static_cast<std::uint16_t>(b - 1);
      if (c + 1 < side) m[k++] = static_cast<std::uint16_t>(b + 1);
    }
    std::copy(start.begin(), start.end(), board_.begin());
    root_ = Frame{0, 0, kNoCell, kNoCell, 0};
    for (std::size_t c = 0; c < n_; ++c) {
      const std::size_t t = board_[c];
      if (t == 0) root_.blank = static_cast<std::uint16_t>(c);
      root_.hash ^= keys_[t * n_ + c];
      root_.h += dist_[t * n_ + c];
    }
  }

  SearchResult<SmallBytes> run(const NPuzzle& puzzle) {
    for (int bound = root_.h;;) {
      const int next = pass(bound);
      if (found_) return solved(puzzle, path(), expanded_, generated_, max_frontier_, std::move(trace_));
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

  // Puts the board of `f` back to its parent's.
  void undo(const Frame& f) {
    board_[f.blank] = board_[f.from];
    board_[f.from] = 0;
  }

  // One pass with f bound `bound`, from the start with every move undone
  // when it returns the next bound (kNothingPruned when nothing was pruned).
  // A pass that finds the goal or is stopped sets `found_` or `stopped_` and
  // leaves the path in `frames_`.
  //
  // Invariant: frames_[0, depth) are the expanded nodes of the current path,
  // each one move from the one below, and frames_[depth] is the node being
  // looked at, whose board is `board_`.
  int pass(int bound) {
    if (frames_.size() < static_cast<std::size_t>(bound) + 2) frames_.resize(static_cast<std::size_t>(bound) + 2);
    Frame* const fr = frames_.data();
    fr[0] = root_;
    int depth = 0;
    int next_bound = kNothingPruned;
    for (;;) {
      Frame& cur = fr[depth];
      const int f = depth + cur.h;
      if (f > bound) {
        if (depth == 0) return f;
        next_bound = std::min(next_bound, f);
        undo(cur);
      } else {
        ++expanded_;
        if (record_) {
          trace_.push_back({SmallBytes(std::span<const std::uint8_t>(board_.data(), n_)), static_cast<double>(depth),
                            static_cast<std::uint64_t>(depth)});
        }
        if (cur.h == 0) {  // with both boards permutations of 0..n-1, only the goal has distance 0
          found_ = true;
          goal_depth_ = depth;
          return next_bound;
        }
        if (gate_(expanded_)) {
          stopped_ = true;
          return next_bound;
        }
        ++filter_[cur.hash >> kFilterShift];
        cur.next = 0;
        ++depth;
        max_frontier_ = std::max(max_frontier_, static_cast<std::uint64_t>(depth));
      }
      // The next child of the top frame that is not on the path; exhausted frames are popped.
      for (;;) {
        if (depth == 0) return next_bound;
        Frame& top = fr[depth - 1];
        if (top.next == move_count_[top.blank]) {
          --filter_[top.hash >> kFilterShift];
          if (--depth > 0) undo(top);
          continue;
        }
        const std::uint16_t to = moves_[top.blank * 4u + top.next++];
        if (to == top.from) continue;  // back to the parent
        const std::size_t tile = board_[to];
        const std::uint64_t hash = top.hash ^ keys_[tile * n_ + to] ^ keys_[tile * n_ + top.blank];
        if (filter_[hash >> kFilterShift] != 0 && on_path(depth, hash, to)) continue;
        board_[top.blank] = static_cast<std::uint8_t>(tile);
        board_[to] = 0;
        fr[depth] = Frame{hash, top.h + dist_[tile * n_ + top.blank] - dist_[tile * n_ + to], to, top.blank, 0};
        ++generated_;
        break;
      }
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
    for (int k = 1; k <= goal_depth_; ++k) {
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
  std::vector<std::uint8_t> dist_;    // [tile * n + cell]: the tile's Manhattan distance from there to its goal cell
  std::vector<std::uint64_t> keys_;   // [tile * n + cell]: random keys of the hash; zero for the blank
  std::vector<std::uint16_t> moves_;  // [cell * 4 + i]: the blank's i-th move from the cell
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
  return timed([&] { return Solver(static_cast<std::size_t>(puzzle.side), start, goal, record, limits).run(puzzle); });
}

}  // namespace quellostrin
