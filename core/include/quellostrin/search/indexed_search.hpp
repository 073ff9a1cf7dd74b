// The best-first loop (best_first.hpp) over a domain whose nodes are 32-bit
// indices into a Workspace (workspace.hpp): the node store is the
// workspace's marks, labels and parents, the open list its queue of packed
// entries (monotone_queue.hpp), and reopening never applies. The grid (grid_search.cpp)
// and the explicit graph (csr_search.cpp) are searched this way. A domain
// policy gives, besides what best_first.hpp asks of a domain, keys that are
// the indices: `node(i)` maps an index to its node, and `for_each_successor`
// hands over (index, cost, hint).
//
// The queue orders entries by (priority, push sequence), the order of the
// general open list (frontier.hpp) and, with no NaN priority, a total order,
// so it pops the same entries in the same order as the general one and the
// results equal the hashed store's to the last field. The callers refuse any
// search in which a priority could be NaN (priorities_are_numbers).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/search/monotone_queue.hpp"
#include "quellostrin/search/packed_heap.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/best_first.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/workspace.hpp"

namespace quellostrin::detail {

// What a domain knows of its move costs when it is built.
struct MoveCosts {
  double least;    // the smallest move cost (+inf: no move)
  double largest;  // the largest magnitude of a move cost
  bool nan;        // whether some move costs NaN
};

// The rule deciding whether the indexed loop may run a search: whether no
// priority g_weight * g + h_weight * h can be NaN, the heap having no place
// for one. It holds for a search without reopening, whose labels are sums of
// fewer than `count` moves, and a heuristic whose values are finite and not
// negative (the zero and the grid heuristics). A label is the start's 0.0 or
// a closed node's label plus one move. With no move NaN or negative, every
// label is in [0, +inf]; a positive g_weight keeps g_weight * g there, and a
// non-negative h_weight keeps h_weight * h in [0, +inf], so no sum is
// inf - inf. Otherwise (a negative move could meet a label of +inf, greedy's
// 0 * g could meet one, h_weight * h could be -inf) the labels must stay
// finite: with every |move| below max / (4 * (count + 1)) none comes near the
// largest double.
inline bool priorities_are_numbers(const AlgorithmKind& kind, const MoveCosts& moves, std::uint64_t count) {
  if (!std::isfinite(kind.h_weight) || !(kind.g_weight >= 0.0 && kind.g_weight <= 1.0) || moves.nan) return false;
  if (kind.g_weight > 0.0 && kind.h_weight >= 0.0 && moves.least >= 0.0) return true;
  return moves.largest <= std::numeric_limits<double>::max() / (4.0 * (static_cast<double>(count) + 1.0));
}

// The width of the open list's buckets (monotone_queue.hpp) for a search
// whose popped priorities do not decrease, or hardly: uniform-cost, Dijkstra
// and A* (g + h, or g alone) over moves of non-negative cost. Any width keeps
// the order; this one makes the ring of buckets span a little more than
// twice the largest move. A push's priority is then within the ring: under a
// consistent heuristic it exceeds its parent's, which is at or above the
// current bucket, by at most twice the move (the move, and the heuristic's
// rise), and Dijkstra's by the move alone. (Instruction counts on the Moving AI grids and a
// random graph: half or a quarter of this width cost more on the graph, twice
// it overflows on 4-neighbour grids.) 0 (no buckets) for the others, whose
// priorities need not grow.
inline double monotone_bucket_width(const MoveCosts& moves) {
  if (!(moves.least >= 0.0) || moves.nan) return 0.0;
  const double span = std::isfinite(moves.largest) ? moves.largest : moves.least;
  return std::isfinite(span) && span > 0.0 ? span / static_cast<double>(MonotoneQueue::kBuckets / 2 - 8) : 0.0;
}

inline double monotone_bucket_width(const AlgorithmKind& kind, const MoveCosts& moves) {
  if (kind.g_weight != 1.0 || (kind.h_weight != 0.0 && kind.h_weight != 1.0)) return 0.0;
  return monotone_bucket_width(moves);
}

// The node store of an indexed search: the marks, labels and parents of a
// Workspace, read only where this query's marks say they were written.
class IndexedStore {
 public:
  using Key = std::uint32_t;
  static constexpr bool kCanReopen = false;
  static constexpr bool kView = true;

  explicit IndexedStore(Workspace& ws)
      : marks_(ws.marks()), g_(ws.labels()), parent_(ws.parents()), reached_(ws.reached()), closed_(ws.closed()) {}

  [[gnu::always_inline]] void reach(Key start) {
    marks_[start] = reached_;
    g_[start] = 0.0;
    parent_[start] = start;  // the path walk stops at the start
    start_ = start;
  }

  [[gnu::always_inline]] std::optional<double> close(Key p) {
    if (marks_[p] == closed_) return std::nullopt;
    marks_[p] = closed_;
    return g_[p];
  }

  [[gnu::always_inline]] Relaxed relax(Key q, Key p, double g, bool /*reopen*/) {
    const std::uint16_t m = marks_[q];
    Relaxed what = Relaxed::Improved;
    if (m >= reached_) {
      if (m == closed_ || !(g < g_[q])) return Relaxed::Skipped;
    } else {
      marks_[q] = reached_;
      what = Relaxed::Discovered;
    }
    g_[q] = g;
    parent_[q] = p;
    return what;
  }

  [[gnu::always_inline]] std::vector<Key> path_to(Key target) const {
    std::vector<Key> path{target};
    for (Key q = target; q != start_; q = parent_[q]) path.push_back(parent_[q]);
    std::reverse(path.begin(), path.end());
    return path;
  }

  [[gnu::always_inline]] const Key* parent(Key q) const { return &parent_[q]; }

  // For domains that prefetch what relax will read.
  const std::uint16_t* marks() const { return marks_; }
  const double* labels() const { return g_; }

 private:
  std::uint16_t* marks_;
  double* g_;
  std::uint32_t* parent_;
  std::uint16_t reached_, closed_;
  Key start_ = 0;
};

// The open list of an indexed search: the Workspace's queue.
class PackedOpen {
 public:
  static constexpr bool kView = true;
  explicit PackedOpen(MonotoneQueue& queue) : queue_(&queue) {}

  [[gnu::always_inline]] void push(std::uint32_t q, double priority, std::uint64_t seq) {
    queue_->push(packed_entry(priority, seq, q), priority);
  }
  [[gnu::always_inline]] std::optional<std::uint32_t> pop() {
    if (queue_->empty()) return std::nullopt;
    return packed_index(queue_->pop());
  }
  [[gnu::always_inline]] std::optional<std::uint32_t> peek() const {
    if (queue_->empty()) return std::nullopt;
    return packed_index(queue_->top());
  }
  [[gnu::always_inline]] std::size_t len() const { return queue_->size(); }

 private:
  MonotoneQueue* queue_;
};

// The best-first loop over an indexed domain, on the caller's workspace or
// on one of its own.
template <class Policy>
SearchResult<typename Policy::Node> indexed_best_first(const Policy& domain, std::size_t index_space,
                                                       std::uint32_t start, std::uint32_t goal,
                                                       double start_estimate, const AlgorithmKind& kind,
                                                       const MoveCosts& moves, const SearchOptions& options) {
  // Made only when the caller lends none (a std::optional would clear its
  // storage, the size of a workspace, on every call).
  std::unique_ptr<Workspace> own;
  if (!options.workspace) own = std::make_unique<Workspace>();
  Workspace& ws = options.workspace ? *options.workspace : *own;
  MemoryAccount memory(options.max_memory);
  try {
    ws.begin(index_space, memory, kind.g_weight * 0.0 + kind.h_weight * start_estimate,
             monotone_bucket_width(kind, moves));
  } catch (const MemoryRefused& refused) {  // the workspace's arrays: nothing expanded yet
    return refused_memory<typename Policy::Node>(refused, 0, 0, 0, {});
  }
  IndexedStore store(ws);
  PackedOpen open(ws.queue());
  return best_first(domain, store, open, start, goal, start_estimate, kind, options, memory);
}

}  // namespace quellostrin::detail
