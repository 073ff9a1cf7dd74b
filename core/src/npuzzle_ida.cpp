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

// A node of the current path. The board of the deepest one is the solver's
// one board; the others are rebuilt by undoing moves.
struct Frame {
  std::uint64_t hash;   // xor of the keys of its (tile, cell) pairs, the blank left out
  int h;                // Manhattan distance to the goal
  std::uint16_t blank;  // the blank's cell
  std::uint16_t from;   // the blank's cell in the parent; kNoCell at the bottom
  std::uint16_t list;   // its move list
  std::uint8_t next;    // the index in that list of the next move to try
};

class Solver {
 public:
  Solver(std::size_t side, const SmallBytes& start, const SmallBytes& goal, bool record, const Limits& limits)
      : n_(side * side), start_(start), record_(record), gate_(limits), memory_(limits.max_memory) {
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
    root_ = Frame{0, 0, 0, kNoCell, 0, 0};
    for (std::size_t c = 0; c < n_; ++c) {
      const std::size_t t = board_[c];
      if (t == 0) root_.blank = static_cast<std::uint16_t>(c);
      root_.hash ^= keys_[t * n_ + c];
      root_.h += dist_[t * n_ + c];
    }
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
    const std::uint8_t* const dist = dist_.data();
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
      if (cur.h == 0) {  // with both boards permutations of 0..n-1, only the goal has distance 0
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
        const int h = top.h + dist[tile * n + b] - dist[tile * n + m.to];
        if (depth + h > bound) {
          next_bound = std::min(next_bound, depth + h);
          continue;
        }
        fr[depth] = Frame{hash, h, m.to, top.blank, m.list, 0};
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
  MemoryAccount memory_;  // what the trace charges its growths to
  std::optional<MemoryRefused> refused_;
  std::vector<std::uint8_t> dist_;   // [tile * n + cell]: the tile's Manhattan distance from there to its goal cell
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
  return timed([&] { return Solver(static_cast<std::size_t>(puzzle.side), start, goal, record, limits).run(puzzle); });
}

}  // namespace quellostrin
