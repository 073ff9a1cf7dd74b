#include "quellostrin/graph/csr.hpp"

namespace quellostrin {

// Two passes over the input: count degrees, then place every entry at its
// source's cursor. Input order within a source is kept.
CsrGraph CsrGraph::from_edges(std::uint64_t num_nodes, std::span<const Edge> edges, bool undirected) {
  std::vector<std::uint64_t> degree(num_nodes, 0);
  for (const Edge& e : edges) {
    if (e.u >= num_nodes || e.v >= num_nodes) {
      fail_input("edge ({}, {}) is out of range for a {}-node graph", e.u, e.v, num_nodes);
    }
    ++degree[e.u];
    if (undirected) ++degree[e.v];
  }
  CsrGraph g;
  g.offsets_.assign(num_nodes + 1, 0);
  for (std::uint64_t i = 0; i < num_nodes; ++i) g.offsets_[i + 1] = g.offsets_[i] + degree[i];
  const std::uint64_t total = g.offsets_[num_nodes];
  g.targets_.assign(total, 0);
  g.weights_.assign(total, 0.0);

  std::vector<std::uint64_t>& cursor = degree;  // reused: cursor[i] starts at offsets[i]
  for (std::uint64_t i = 0; i < num_nodes; ++i) cursor[i] = g.offsets_[i];
  for (const Edge& e : edges) {
    g.targets_[cursor[e.u]] = e.v;
    g.weights_[cursor[e.u]++] = e.w;
    if (undirected) {
      g.targets_[cursor[e.v]] = e.u;
      g.weights_[cursor[e.v]++] = e.w;
    }
  }
  return g;
}

std::vector<Edge> CsrGraph::edges() const {
  std::vector<Edge> out;
  out.reserve(targets_.size());
  for (std::uint64_t u = 0; u < node_count(); ++u) {
    for (std::uint64_t i = offsets_[u]; i < offsets_[u + 1]; ++i) out.push_back({u, targets_[i], weights_[i]});
  }
  return out;
}

}  // namespace quellostrin
