#include "quellostrin/domains/csr.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

#include "quellostrin/memory.hpp"

namespace quellostrin {

namespace {
// An edge of weight +infinity: no edge at all.
bool absent(const Edge& e) { return e.w == std::numeric_limits<double>::infinity(); }
}  // namespace

// Two passes over the input: count degrees, then place every entry at its
// source's cursor. Input order within a source is kept. The offsets array
// does all the bookkeeping: node u's degree is counted at u + 2, so that
// after the prefix sum slot u + 1 holds u's first entry, serves as u's cursor
// while its entries are placed and ends at u's end, which is node u + 1's
// offset; the one slot to spare at the end is dropped. An edge of weight
// +infinity is no edge: it is range-checked, then passed over.
CsrGraph CsrGraph::from_edges(std::uint64_t num_nodes, std::span<const Edge> edges, bool undirected,
                              Predecessors predecessors) {
  // Offsets and degrees per node, then a target and a weight per entry.
  const std::uint64_t entries = size_mul(edges.size(), undirected ? 2 : 1);
  require_memory(size_add(size_mul(size_add(num_nodes, 1), 2 * sizeof(std::uint64_t)),
                          size_mul(entries, sizeof(std::uint64_t) + sizeof(double))),
                 "the adjacency arrays of a {}-node graph", num_nodes);
  CsrGraph g;
  g.offsets_.assign(num_nodes + 2, 0);
  std::uint64_t* const offsets = g.offsets_.data();
  for (const Edge& e : edges) {
    if (e.u >= num_nodes || e.v >= num_nodes) {
      fail_input("edge ({}, {}) is out of range for a {}-node graph", e.u, e.v, num_nodes);
    }
    if (absent(e)) continue;
    ++offsets[e.u + 2];
    if (undirected) ++offsets[e.v + 2];
  }
  for (std::uint64_t i = 2; i < num_nodes + 2; ++i) offsets[i] += offsets[i - 1];
  const std::uint64_t total = offsets[num_nodes + 1];
  g.targets_.resize(total);
  g.weights_.resize(total);
  std::uint64_t* const targets = g.targets_.data();
  double* const weights = g.weights_.data();
  std::uint64_t* const cursor = offsets + 1;
  bool nan = false;
  double least = std::numeric_limits<double>::infinity(), largest = 0.0;
  for (const Edge& e : edges) {
    if (absent(e)) continue;
    // std::min and std::max keep their first argument against a NaN.
    nan |= e.w != e.w;
    least = std::min(least, e.w);
    largest = std::max(largest, std::abs(e.w));
    const std::uint64_t at = cursor[e.u]++;
    targets[at] = e.v;
    weights[at] = e.w;
    if (undirected) {
      const std::uint64_t back = cursor[e.v]++;
      targets[back] = e.u;
      weights[back] = e.w;
    }
  }
  g.offsets_.pop_back();
  g.nan_weight_ = nan;
  g.min_weight_ = least;
  g.max_abs_weight_ = largest;
  if (predecessors == Predecessors::listed && !undirected) {
    // The transpose, placed the same way: a node's predecessors in the order
    // their edges appear in the input.
    std::vector<Edge> reversed;
    reversed.reserve(edges.size());
    for (const Edge& e : edges) reversed.push_back({e.v, e.u, e.w});
    CsrGraph t = from_edges(num_nodes, reversed, false);
    g.reverse_ = std::make_shared<const Adjacency>(
        Adjacency{std::move(t.offsets_), std::move(t.targets_), std::move(t.weights_)});
  }
  return g;
}

namespace {
// Offsets from 0 up to the entry count, never decreasing, and targets below
// the node count, with no +inf weight.
bool well_formed(const std::vector<std::uint64_t>& offsets, const std::vector<std::uint64_t>& targets,
                 const std::vector<double>& weights) {
  if (offsets.empty() || offsets.front() != 0 || offsets.back() != targets.size() || weights.size() != targets.size()) {
    return false;
  }
  for (std::size_t i = 1; i < offsets.size(); ++i) {
    if (offsets[i] < offsets[i - 1]) return false;
  }
  const std::uint64_t n = offsets.size() - 1;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    if (targets[i] >= n || weights[i] == std::numeric_limits<double>::infinity()) return false;
  }
  return true;
}
}  // namespace

CsrGraph CsrGraph::from_parts(std::vector<std::uint64_t> offsets, std::vector<std::uint64_t> targets,
                              std::vector<double> weights, std::vector<std::uint64_t> reverse_offsets,
                              std::vector<std::uint64_t> reverse_targets, std::vector<double> reverse_weights) {
  const bool reverse = !reverse_offsets.empty();
  if (!well_formed(offsets, targets, weights) ||
      (reverse && (!well_formed(reverse_offsets, reverse_targets, reverse_weights) ||
                   reverse_offsets.size() != offsets.size() || reverse_targets.size() != targets.size())) ||
      (!reverse && (!reverse_targets.empty() || !reverse_weights.empty()))) {
    fail_input("malformed graph arrays");
  }
  CsrGraph g;
  g.offsets_ = std::move(offsets);
  g.targets_ = std::move(targets);
  g.weights_ = std::move(weights);
  g.summarise_weights();
  if (reverse) {
    g.reverse_ = std::make_shared<const Adjacency>(
        Adjacency{std::move(reverse_offsets), std::move(reverse_targets), std::move(reverse_weights)});
  }
  return g;
}

void CsrGraph::summarise_weights() {
  bool nan = false;
  double least = std::numeric_limits<double>::infinity(), largest = 0.0;
  for (const double w : weights_) {
    nan |= w != w;
    least = std::min(least, w);
    largest = std::max(largest, std::abs(w));
  }
  nan_weight_ = nan;
  min_weight_ = least;
  max_abs_weight_ = largest;
}

std::vector<Edge> undirected_edges_once(std::uint64_t num_nodes, std::span<const Edge> edges) {
  // A stable counting sort on the smaller end.
  std::vector<std::uint64_t> start(num_nodes + 1, 0);
  for (const Edge& e : edges) {
    if (e.u >= num_nodes || e.v >= num_nodes) fail_invariant("edge ({}, {}) is past {} nodes", e.u, e.v, num_nodes);
    if (e.u != e.v) ++start[std::min(e.u, e.v) + 1];
  }
  for (std::uint64_t i = 0; i < num_nodes; ++i) start[i + 1] += start[i];
  std::vector<Edge> out(start[num_nodes]);
  for (const Edge& e : edges) {
    if (e.u == e.v) continue;
    const auto [a, b] = std::minmax(e.u, e.v);
    out[start[a]++] = {a, b, e.w};
  }
  return out;
}

namespace {

// Position of `id` in the ascending `ids`, where it must be.
std::uint64_t position_of(const std::vector<std::uint64_t>& ids, std::uint64_t id) {
  const auto it = std::lower_bound(ids.begin(), ids.end(), id);
  if (it == ids.end() || *it != id) fail_invariant("node {} is not a node of the compact graph", id);
  return static_cast<std::uint64_t>(it - ids.begin());
}

}  // namespace

CompactGraph compact_graph(std::span<const Edge> edges, bool undirected, std::span<const std::uint64_t> named,
                           CsrGraph::Predecessors predecessors, std::uint64_t spare) {
  std::vector<std::uint64_t> ids;
  ids.reserve(2 * edges.size() + named.size());
  for (const Edge& e : edges) {
    ids.push_back(e.u);
    ids.push_back(e.v);
  }
  ids.insert(ids.end(), named.begin(), named.end());
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  ids.shrink_to_fit();

  std::vector<Edge> renamed;
  renamed.reserve(edges.size());
  for (const Edge& e : edges) renamed.push_back({position_of(ids, e.u), position_of(ids, e.v), e.w});
  CsrGraph graph = CsrGraph::from_edges(ids.size() + spare, renamed, undirected, predecessors);
  return CompactGraph{std::move(graph), std::move(ids)};
}

std::uint64_t CompactGraph::compact(std::uint64_t id) const { return position_of(ids, id); }

std::vector<Edge> CsrGraph::edges() const {
  std::vector<Edge> out;
  out.reserve(targets_.size());
  for (std::uint64_t u = 0; u < node_count(); ++u) {
    for (std::uint64_t i = offsets_[u]; i < offsets_[u + 1]; ++i) out.push_back({u, targets_[i], weights_[i]});
  }
  return out;
}

}  // namespace quellostrin
