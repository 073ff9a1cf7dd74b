// CsrGraph: the immutable compressed-sparse-row adjacency of every explicit
// graph (edge lists handed in by callers, shortest-path inputs, generated
// graphs). Nodes are 0..node_count()-1.
//
// Invariants: offsets is non-decreasing, starts at 0 and ends at the number of
// adjacency entries; every target is below the node count. Successors come out
// in the order their edges appear in the input list (duplicates kept, nothing
// sorted); an undirected edge (u, v, w) adds u->v and v->u, and a self-loop
// (u, u, w) added undirected lists u twice among u's successors. An edge of
// weight +infinity is no edge and is left out; every other weight is stored
// unchanged, whatever its value (NaN and negative ones included).
//
// A directed graph may also carry its transpose, built on request, so that a
// search can walk it backwards: `predecessors_into` lists the nodes with an
// edge to a node, in the order those edges appear in the input.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/search/traits.hpp"

namespace quellostrin {

struct Edge {
  std::uint64_t u;
  std::uint64_t v;
  double w;
  friend bool operator==(const Edge&, const Edge&) = default;
};

// Each edge of `edges` once, as (smaller end, larger end, w), self-loops left
// out, in the order CsrGraph::from_edges(num_nodes, edges, true).edges() lists
// the entries with u < v: by smaller end, and in input order among edges with
// the same smaller end. The graph itself is not built. Endpoints must be below
// num_nodes.
std::vector<Edge> undirected_edges_once(std::uint64_t num_nodes, std::span<const Edge> edges);

class CsrGraph {
 public:
  using Node = std::uint64_t;

  // The graph of no nodes.
  CsrGraph() = default;

  // Whether from_edges also builds the transpose of a directed graph (an
  // undirected one is its own transpose and never gets one).
  enum class Predecessors : std::uint8_t { none, listed };

  // Throws InputError "edge ({u}, {v}) is out of range for a {n}-node
  // graph" for an endpoint >= num_nodes; callers validate edge lists first.
  static CsrGraph from_edges(std::uint64_t num_nodes, std::span<const Edge> edges, bool undirected,
                             Predecessors predecessors = Predecessors::none);

  std::uint64_t node_count() const { return offsets_.size() - 1; }
  std::uint64_t entry_count() const { return targets_.size(); }

  // Every adjacency entry, grouped by source in ascending order.
  std::vector<Edge> edges() const;

  void neighbors_into(Node node, SuccessorList<Node>& out) const {
    check(node);
    const std::uint64_t end = offsets_[node + 1];
    for (std::uint64_t i = offsets_[node]; i < end; ++i) out.emplace_back(targets_[i], weights_[i]);
  }

  SuccessorList<Node> neighbors(Node node) const {
    check(node);
    SuccessorList<Node> out;
    out.reserve(offsets_[node + 1] - offsets_[node]);
    neighbors_into(node, out);
    return out;
  }

  // A graph from the arrays of another one (offsets, targets and weights as
  // offsets(), targets() and weights() give them, and its transpose's the
  // same way, or three empty arrays for none), checked in full: InputError
  // "malformed graph arrays" for offsets that do not run from 0 up to the
  // number of entries, a target past the nodes, an entry of weight +inf, or a
  // transpose of another size.
  static CsrGraph from_parts(std::vector<std::uint64_t> offsets, std::vector<std::uint64_t> targets,
                             std::vector<double> weights, std::vector<std::uint64_t> reverse_offsets,
                             std::vector<std::uint64_t> reverse_targets, std::vector<double> reverse_weights);

  // The transpose's arrays; empty without one.
  const std::vector<std::uint64_t>& reverse_offsets() const { return reverse_ ? reverse_->offsets : kNone; }
  const std::vector<std::uint64_t>& reverse_targets() const { return reverse_ ? reverse_->targets : kNone; }
  const std::vector<double>& reverse_weights() const { return reverse_ ? reverse_->weights : kNoWeights; }

  // The transpose's entries for `node`; only when has_predecessors().
  bool has_predecessors() const { return reverse_ != nullptr; }
  void predecessors_into(Node node, SuccessorList<Node>& out) const {
    check(node);
    if (!reverse_) fail_invariant("the predecessors of a graph built without them");
    const std::uint64_t end = reverse_->offsets[node + 1];
    for (std::uint64_t i = reverse_->offsets[node]; i < end; ++i) {
      out.emplace_back(reverse_->targets[i], reverse_->weights[i]);
    }
  }

  std::optional<std::uint64_t> node_index(Node node) const { return node; }
  std::uint64_t index_space() const { return node_count(); }

  // Starts loading the adjacency of `node` (a search calls this for the node
  // it will probably expand next, so the cache misses overlap with the
  // current expansion). Written inline: GCC drops a prefetch-only helper.
  [[gnu::always_inline]] inline void prefetch(Node node) const {
    if (node >= node_count()) return;
    const std::uint64_t first = offsets_[node];
    __builtin_prefetch(targets_.data() + first);
    __builtin_prefetch(weights_.data() + first);
  }

  // What from_edges saw of the weights while placing them: whether one is
  // NaN, and the least and the largest magnitude of the others (+inf and 0.0
  // for a graph without edges). A search reads these instead of the weights.
  bool has_nan_weight() const { return nan_weight_; }
  double min_weight() const { return min_weight_; }
  double max_abs_weight() const { return max_abs_weight_; }

  const std::vector<std::uint64_t>& offsets() const { return offsets_; }
  const std::vector<std::uint64_t>& targets() const { return targets_; }
  const std::vector<double>& weights() const { return weights_; }

 private:
  struct Adjacency {
    std::vector<std::uint64_t> offsets, targets;
    std::vector<double> weights;
  };
  static inline const std::vector<std::uint64_t> kNone{};
  static inline const std::vector<double> kNoWeights{};

  // Sets the weight summary from weights_.
  void summarise_weights();

  void check(Node node) const {
    if (node >= node_count()) fail_invariant("node {} is out of range for a {}-node graph", node, node_count());
  }

  std::vector<std::uint64_t> offsets_{0};
  std::vector<std::uint64_t> targets_;
  std::vector<double> weights_;
  bool nan_weight_ = false;
  double min_weight_ = std::numeric_limits<double>::infinity();
  double max_abs_weight_ = 0.0;
  std::shared_ptr<const Adjacency> reverse_;  // the transpose, when asked for
};

// An explicit graph over only the nodes that take part in it: those its edges
// name, and `named` ones (a search's start and goal). Node i of `graph` is the
// caller's node ids[i], ids ascending; successors keep their input order, so a
// search over it expands and lists the same nodes as one over the full
// CsrGraph, in the same order, while its arrays grow with the edges rather
// than the node count.
struct CompactGraph {
  CsrGraph graph;
  std::vector<std::uint64_t> ids;

  // The compact number of the caller's node `id`, which must be in `ids`.
  std::uint64_t compact(std::uint64_t id) const;
};

// `spare` more nodes follow the ids, with no edges: a caller may let them
// stand for nodes no edge names.
CompactGraph compact_graph(std::span<const Edge> edges, bool undirected, std::span<const std::uint64_t> named,
                           CsrGraph::Predecessors predecessors = CsrGraph::Predecessors::none,
                           std::uint64_t spare = 0);

}  // namespace quellostrin
