// What may end a search before its own rules do: a node limit set by the
// caller, and a hook through which the caller cancels a running search (a
// pending Ctrl-C, a failed callback).
//
// Every strategy keeps one StopGate and asks it once per expansion, right
// after the goal test of the node just expanded and before taking that node's
// successors, passing the number of nodes expanded so far (summed over all
// iterations for the iterative strategies). The gate answers from one compare
// of that count against a precomputed threshold; only when the count reaches
// the threshold does it look at the limit or call the hook. A search with no
// limit and no hook therefore pays one predictable branch per expansion and
// never an indirect call.
//
// A hook may also carry a time limit, in seconds from the gate's making (the
// start of the search): the gate reads the clock every kClockEvery
// expansions, a few nanoseconds per thousand expansions, and stops the search
// at the first reading past the limit.
//
// A search the gate stops ends with no path, cost +infinity, and counters and
// trace as they stand; the stop reason says which rule stopped it. The memory
// cap is not the gate's: the search's MemoryAccount (memory.hpp) refuses the
// growth of a table, and the strategy catching that ends the same way, with
// stop reason MemoryLimit (refused_memory below). A cancelled
// search's result is the caller's to discard: the hook only asks to stop when
// the caller has something better to report (an exception, say).
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/memory.hpp"
#include "quellostrin/search/result.hpp"

namespace quellostrin {

// A caller's cancellation check. `poll(context)` is called after every
// `every`-th expansion (counted as the gate counts them) and returns true to
// stop the search. A null `poll` is no hook.
struct StopHook {
  bool (*poll)(void* context) = nullptr;
  void* context = nullptr;
  std::uint64_t every = 1;  // 0 is read as 1
  // Seconds the search may run (+inf: no limit; NaN is read as no limit).
  double time_limit = std::numeric_limits<double>::infinity();
};

// Expansions between two clock readings of a gate with a time limit.
inline constexpr std::uint64_t kClockEvery = 4096;

// Everything that can stop a search early, as the strategies receive it.
struct Limits {
  std::optional<std::uint64_t> max_nodes;  // stop once this many nodes are expanded
  StopHook hook;
  std::optional<std::uint64_t> max_memory;  // bytes the search's tables may hold (memory.hpp)
};

class StopGate {
 public:
  explicit StopGate(const Limits& limits)
      : max_nodes_(limits.max_nodes.value_or(kNever)),
        hook_(limits.hook),
        every_(std::max<std::uint64_t>(limits.hook.every, 1)) {
    next_poll_ = hook_.poll ? every_ : kNever;
    if (hook_.time_limit < std::numeric_limits<double>::infinity()) {
      // A limit past what the clock can count is no limit.
      const double seconds = std::max(hook_.time_limit, 0.0);
      if (seconds < 1e9) {
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
        next_clock_ = kClockEvery;
      }
    }
    next_ = std::min({max_nodes_, next_poll_, next_clock_});
  }

  // True when the search must end now, `expanded` nodes into it; `reason()`
  // then says why. Counts must not decrease from one call to the next.
  bool operator()(std::uint64_t expanded) {
    if (expanded < next_) [[likely]]
      return false;
    return check(expanded, true);
  }

  // The same, but the node limit is not tested: for strategies that test the
  // limit at a coarser step than the hook (a whole layer at a time).
  bool cancelled(std::uint64_t expanded) {
    if (expanded < std::min(next_poll_, next_clock_)) [[likely]]
      return false;
    return check(expanded, false);
  }

  // Only the node limit.
  bool limit_reached(std::uint64_t expanded) {
    if (expanded < max_nodes_) return false;
    reason_ = StopReason::NodeLimit;
    return true;
  }

  StopReason reason() const { return reason_; }

 private:
  static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

  // The slow path, kept out of line and out of the hot code. Inlined, it
  // grows every search loop that asks the gate, enough to change how the
  // compiler inlines those loops into their callers; out of line, the loop
  // keeps only the compare and a call taken on the rare due expansions.
  [[gnu::noinline, gnu::cold]] bool check(std::uint64_t expanded, bool with_limit) {
    if (with_limit && limit_reached(expanded)) return true;
    // The next poll (or clock reading) is due `every_` expansions from now,
    // not from when this one was due: a layered strategy may jump past
    // several poll points.
    const auto after = [&](std::uint64_t step) { return expanded > kNever - step ? kNever : expanded + step; };
    bool stop = false;
    if (expanded >= next_poll_) {
      next_poll_ = after(every_);
      if (hook_.poll(hook_.context)) {
        reason_ = StopReason::Cancelled;
        stop = true;
      }
    }
    if (!stop && expanded >= next_clock_) {
      next_clock_ = after(kClockEvery);
      if (Clock::now() >= deadline_) {
        reason_ = StopReason::TimeLimit;
        stop = true;
      }
    }
    next_ = std::min({max_nodes_, next_poll_, next_clock_});
    return stop;
  }

  std::uint64_t max_nodes_;
  StopHook hook_;
  std::uint64_t every_;
  std::uint64_t next_poll_ = kNever;
  std::uint64_t next_clock_ = kNever;
  Clock::time_point deadline_{};
  std::uint64_t next_ = kNever;
  StopReason reason_ = StopReason::Exhausted;
};

// The result of a search the gate ended for `reason`: no path, cost
// +infinity, counters and trace as they stand.
template <class Node>
SearchResult<Node> stopped_early(StopReason reason, std::uint64_t expanded, std::uint64_t generated,
                                 std::uint64_t max_frontier, std::vector<TraceStep<Node>> trace) {
  SearchResult<Node> r = not_found(expanded, generated, max_frontier, std::move(trace));
  r.stop_reason = reason;
  return r;
}

// The end of a search whose memory account refused a growth (`refused`),
// `expanded` nodes into it: for the caller's cap, the result of a search
// stopped with reason MemoryLimit; for the process's memory, OutOfMemory
// saying how far the search got and what it needed.
template <class Node>
SearchResult<Node> refused_memory(const MemoryRefused& refused, std::uint64_t expanded, std::uint64_t generated,
                                  std::uint64_t max_frontier, std::vector<TraceStep<Node>> trace) {
  if (!refused.cap) throw OutOfMemory(out_of_memory_message(refused, expanded));
  return stopped_early(StopReason::MemoryLimit, expanded, generated, max_frontier, std::move(trace));
}

}  // namespace quellostrin
