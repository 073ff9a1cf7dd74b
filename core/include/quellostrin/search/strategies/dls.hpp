// Depth-limited search (`dls`) and iterative deepening (`iddfs`): depth-first
// walks along one path at a time, on an explicit stack of frames, never by
// recursion, so a depth limit of hundreds of thousands cannot exhaust the call
// stack.
//
// Rules these walks keep:
// - cycles are cut only along the current path: a successor that already has
//   a frame on the stack is skipped and not counted. There is no visited set,
//   so a node reachable by several simple paths is visited once per path;
// - a node is visited (counted, traced, goal-tested) as soon as it is
//   accepted as a child, so `nodes_expanded` equals `nodes_generated`;
// - depths count edges: a limit of d visits nodes up to d edges from the
//   start and fetches the successors only of those less than d edges away;
// - the trace's frontier size is the depth of the visited node, and
//   `max_frontier_size` is the deepest stack reached (at least 1);
// - the node limit and the stop hook (stop.hpp) are asked after the goal test
//   of every visited node, before its successors are fetched; iterative
//   deepening counts toward the node limit across all its iterations. A
//   stopped walk reports "node_limit" or "cancelled" with counters and trace
//   as they stand, as does one whose stack or trace would grow past its
//   memory cap ("memory_limit");
// - no reopening (`nodes_reopened` 0), no search tree; otherwise the stop
//   reason is "goal" or "exhausted", the latter both for a search cut off by
//   the depth limit and for one that saw everything reachable.
//
// Memory is bounded by the depth times the branching factor: each frame owns
// the successor list of its node, fetched once when the frame is pushed.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/hash.hpp"
#include "quellostrin/search/result.hpp"
#include "quellostrin/search/stop.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

// One entry of the stack of a depth-limited search.
template <class Node>
struct DlsFrame {
  Node node{};
  double g = 0.0;                  // cost of the current path from the start to `node`
  std::uint64_t depth_left = 0;    // edges that may still be taken from `node`; >= 1 on the stack
  SuccessorList<Node> successors;  // fetched once, when the frame is pushed
  std::size_t next = 0;            // index of the next successor to try
};

// The state of a depth-limited search, or of all the iterations of an
// iterative deepening: counters and trace run on from one walk to the next.
template <Graph G>
struct DlsCtx {
  const G& graph;
  NodeOf<G> goal;
  bool record;
  StopGate gate;
  std::vector<TraceStep<NodeOf<G>>> trace{};
  std::uint64_t expanded = 0;
  std::uint64_t generated = 0;  // each walk adds its start
  std::uint64_t max_frontier = 1;
  bool stopped = false;  // the gate or the account ended the last walk; `gate.reason()` or `refused` says why
  MemoryAccount* memory = nullptr;        // what the stack and the trace charge their growths to
  std::optional<MemoryRefused> refused{};  // the growth the account refused
};

namespace detail {

// The explicit stack of a depth-first walk together with the on-path set.
//
// Invariant: the on-path set holds exactly the nodes of the frames below
// `depth_`, so its size is the stack depth and a node has at most one frame.
//
// Popped frames stay in `frames_` as spares: the next push at that depth
// clears the spare's successor list and refills it, reusing its storage, so
// once a depth has been reached, pushing a frame there allocates nothing.
// Spare frames are logically released; nothing reads them.
template <class Frame, class Node>
class PathStack {
 public:
  explicit PathStack(MemoryAccount* account = nullptr) : account_(account) { on_path_.set_account(account); }

  bool empty() const { return depth_ == 0; }
  std::size_t depth() const { return depth_; }
  Frame& top() { return frames_[depth_ - 1]; }
  // The frame below the top one, or null when the top frame is the bottom.
  Frame* below_top() { return depth_ >= 2 ? &frames_[depth_ - 2] : nullptr; }

  bool on_path(const Node& node) const { return on_path_.contains(node); }

  // A frame for `node`, which must not be on the path, with an empty
  // successor list and `next` at 0; the caller fills in the rest. The
  // reference is valid until the next push.
  Frame& push(Node node) {
    if (!on_path_.insert(node)) fail_invariant("a node has at most one frame on the current path");
    if (depth_ == frames_.size()) {
      room_for_one(frames_, account_);
      frames_.emplace_back();
    }
    Frame& f = frames_[depth_++];
    f.node = std::move(node);
    f.successors.clear();
    f.next = 0;
    return f;
  }

  void pop() {
    on_path_.erase(frames_[depth_ - 1].node);
    --depth_;
  }

  // The nodes of the frames from the bottom to the top, followed by `last`.
  std::vector<Node> path_to(const Node& last) const {
    std::vector<Node> path;
    path.reserve(depth_ + 1);
    for (std::size_t i = 0; i < depth_; ++i) path.push_back(frames_[i].node);
    path.push_back(last);
    return path;
  }

 private:
  std::vector<Frame> frames_;
  std::size_t depth_ = 0;
  FlatSet<Node> on_path_;
  MemoryAccount* account_;
};

// Takes the next child of the top frame that is not on the current path,
// popping exhausted frames on the way. On success, `node` is the child and
// the top frame is its parent's; `on_pop(frame, below)` runs for each frame
// popped, while it is still the top, with the frame below it (null for the
// bottom frame). Returns false when the stack runs empty.
template <class Frame, class Node, class OnPop>
bool next_child(PathStack<Frame, Node>& stack, Node& node, double& cost, OnPop&& on_pop) {
  while (!stack.empty()) {
    Frame& top = stack.top();
    if (top.next == top.successors.size()) {
      on_pop(top, stack.below_top());
      stack.pop();
      continue;
    }
    const auto& [child, w] = top.successors[top.next++];
    if (stack.on_path(child)) continue;  // a self-loop or an edge back to an ancestor
    node = child;
    cost = w;
    return true;
  }
  return false;
}

}  // namespace detail

// The explicit-stack walk of one depth-limited search from `start`. Updates
// the counters and the trace of `ctx`; returns the path from `start` to the
// goal (both included), or nothing, with `ctx.stopped` set when the gate cut
// the walk short.
template <Graph G>
std::optional<std::vector<NodeOf<G>>> dls_search(DlsCtx<G>& ctx, const NodeOf<G>& start,
                                                 std::uint64_t depth_limit) {
  using Node = NodeOf<G>;
  detail::PathStack<DlsFrame<Node>, Node> stack(ctx.memory);
  Node node = start;
  double g = 0.0;
  std::uint64_t depth_left = depth_limit;
  double cost = 0.0;
  ++ctx.generated;
  try {
    for (;;) {
      if (ctx.record) push_charged(ctx.trace, TraceStep<Node>{node, g, stack.depth()}, ctx.memory);
      ++ctx.expanded;
      if (node == ctx.goal) return stack.path_to(node);  // goal test before the depth test
      if (ctx.gate(ctx.expanded)) {
        ctx.stopped = true;
        return std::nullopt;
      }
      if (depth_left > 0) {
        DlsFrame<Node>& f = stack.push(std::move(node));
        f.g = g;
        f.depth_left = depth_left;
        ctx.graph.neighbors_into(f.node, f.successors);
        ctx.max_frontier = std::max<std::uint64_t>(ctx.max_frontier, stack.depth());
      }
      if (!detail::next_child(stack, node, cost, [](const auto&, const auto*) {})) return std::nullopt;
      ++ctx.generated;
      const DlsFrame<Node>& parent = stack.top();
      g = parent.g + cost;
      depth_left = parent.depth_left - 1;
    }
  } catch (const MemoryRefused& refused) {
    ctx.refused = refused;
    ctx.stopped = true;
    return std::nullopt;
  }
}

// The result a finished walk (or series of walks) reports.
template <Graph G>
SearchResult<NodeOf<G>> dls_result(DlsCtx<G>& ctx, std::optional<std::vector<NodeOf<G>>> path) {
  if (path) {
    return solved(ctx.graph, std::move(*path), ctx.expanded, ctx.generated, ctx.max_frontier, std::move(ctx.trace));
  }
  if (ctx.refused) {
    return refused_memory(*ctx.refused, ctx.expanded, ctx.generated, ctx.max_frontier, std::move(ctx.trace));
  }
  if (ctx.stopped) {
    return stopped_early(ctx.gate.reason(), ctx.expanded, ctx.generated, ctx.max_frontier, std::move(ctx.trace));
  }
  return not_found(ctx.expanded, ctx.generated, ctx.max_frontier, std::move(ctx.trace));
}

// Depth-limited search: visits nodes up to `depth_limit` edges from the start.
template <Graph G>
SearchResult<NodeOf<G>> dls(const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                            std::uint64_t depth_limit, bool record, const Limits& limits = {}) {
  return timed([&] {
    MemoryAccount memory(limits.max_memory);
    DlsCtx<G> ctx{graph, goal, record, StopGate(limits)};
    ctx.memory = &memory;
    auto path = dls_search(ctx, start, depth_limit);
    return dls_result(ctx, std::move(path));
  });
}

// Iterative deepening: depth-limited searches with limits 0, 1, ..., max_depth,
// each from scratch, until one finds the goal. All limits run even when an
// iteration saw everything reachable without meeting its limit. Counters are
// summed over the iterations (the node limit applies to that sum),
// `max_frontier_size` is the deepest of them, and the trace holds every
// iteration's steps one after another. The path found has the fewest edges,
// and among those it is the first in successor order.
template <Graph G>
SearchResult<NodeOf<G>> iddfs(const G& graph, const NodeOf<G>& start, const NodeOf<G>& goal,
                              std::uint64_t max_depth, bool record, const Limits& limits = {}) {
  return timed([&] {
    MemoryAccount memory(limits.max_memory);
    DlsCtx<G> ctx{graph, goal, record, StopGate(limits)};
    ctx.memory = &memory;
    for (std::uint64_t depth = 0;; ++depth) {
      auto path = dls_search(ctx, start, depth);
      if (path || ctx.stopped || depth == max_depth) return dls_result(ctx, std::move(path));
    }
  });
}

}  // namespace quellostrin
