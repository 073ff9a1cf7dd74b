// The benchmark input: a seeded random sparse directed graph with positive
// weights, built once per process as a CsrGraph.
//
// The generator is splitmix64, written out here so that the graph is the same
// on every platform and standard library (the distributions of <random> are
// not specified bit for bit).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "quellostrin/domains/csr.hpp"

namespace bench {

struct SplitMix64 {
  std::uint64_t state;
  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  // Uniform in [0, n) up to a modulo bias below n / 2^64 (negligible here).
  std::uint64_t below(std::uint64_t n) { return next() % n; }
  // Uniform in [0, 1) with 53 random bits.
  double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

struct Input {
  quellostrin::CsrGraph graph;
  std::uint64_t start;
  std::uint64_t goal;  // a node with no incoming edge: never reached, so every search exhausts
};

// `nodes` nodes, `edges` directed edges with uniform endpoints (self-loops and
// parallel edges kept) and weights uniform in [1, 100).
inline Input random_input(std::uint64_t nodes, std::uint64_t edges, std::uint64_t seed) {
  SplitMix64 rng{seed};
  std::vector<quellostrin::Edge> list;
  list.reserve(edges);
  std::vector<bool> has_in(nodes, false);
  for (std::uint64_t i = 0; i < edges; ++i) {
    const std::uint64_t u = rng.below(nodes);
    const std::uint64_t v = rng.below(nodes);
    const double w = 1.0 + 99.0 * rng.unit();
    list.push_back({u, v, w});
    has_in[v] = true;
  }
  std::uint64_t goal = nodes - 1;
  while (goal > 1 && has_in[goal]) --goal;
  auto graph = quellostrin::CsrGraph::from_edges(nodes, list, false);
  // The start is the first node with a successor; on a graph this dense the
  // search from it reaches the giant component (the benchmark checks that).
  std::uint64_t start = 0;
  while (start + 1 < nodes && graph.offsets()[start + 1] == graph.offsets()[start]) ++start;
  return {std::move(graph), start, goal};
}

// The benchmark graph: 10^6 nodes, 4 * 10^6 edges, fixed seed.
inline const Input& million_node_input() {
  static const Input input = random_input(1'000'000, 4'000'000, 20240601);
  return input;
}

}  // namespace bench
