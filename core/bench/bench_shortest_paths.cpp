// Shortest-path routines on seeded random graphs:
//   floyd_warshall/<n>   the library on a complete digraph of n nodes,
//   plain_triple_loop/<n> the textbook in-place triple loop on the same input
//                        (the yardstick for the vectorised row update),
//   bellman_ford         10^5 nodes, 10^6 edges, from the first node with a
//                        successor.
// Floyd-Warshall rates are nominal relaxations (n^3 per run) per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "quellostrin/shortest_paths.hpp"
#include "random_graph.hpp"

namespace {

using quellostrin::CsrGraph;
using quellostrin::Edge;

// Every ordered pair u != v joined, weights uniform in [1, 100).
CsrGraph complete_graph(std::uint64_t n) {
  bench::SplitMix64 rng{n * 7919 + 1};
  std::vector<Edge> edges;
  edges.reserve(n * n);
  for (std::uint64_t u = 0; u < n; ++u)
    for (std::uint64_t v = 0; v < n; ++v)
      if (u != v) edges.push_back({u, v, 1.0 + 99.0 * rng.unit()});
  return CsrGraph::from_edges(n, edges, false);
}

void BM_FloydWarshall(benchmark::State& state) {
  const auto n = static_cast<std::uint64_t>(state.range(0));
  const CsrGraph g = complete_graph(n);
  for (auto _ : state) {
    auto r = quellostrin::floyd_warshall(g);
    benchmark::DoNotOptimize(r.dist.data());
  }
  state.counters["relaxations"] = benchmark::Counter(double(n * n * n), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_PlainTripleLoop(benchmark::State& state) {
  const auto n = static_cast<std::uint64_t>(state.range(0));
  const CsrGraph g = complete_graph(n);
  for (auto _ : state) {
    std::vector<double> dist(n * n, INFINITY);
    std::vector<std::optional<std::uint64_t>> hop(n * n);
    for (std::uint64_t i = 0; i < n; ++i) dist[i * n + i] = 0.0;
    for (const Edge& e : g.edges()) {
      if (e.w < dist[e.u * n + e.v]) dist[e.u * n + e.v] = e.w, hop[e.u * n + e.v] = e.v;
    }
    for (std::uint64_t k = 0; k < n; ++k)
      for (std::uint64_t i = 0; i < n; ++i) {
        const double d = dist[i * n + k];
        if (!std::isfinite(d)) continue;
        for (std::uint64_t j = 0; j < n; ++j) {
          if (d + dist[k * n + j] < dist[i * n + j]) {
            dist[i * n + j] = d + dist[k * n + j];
            hop[i * n + j] = hop[i * n + k];
          }
        }
      }
    benchmark::DoNotOptimize(dist.data());
    benchmark::DoNotOptimize(hop.data());
  }
  state.counters["relaxations"] = benchmark::Counter(double(n * n * n), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_BellmanFord(benchmark::State& state) {
  static const bench::Input input = bench::random_input(100'000, 1'000'000, 20240607);
  std::uint64_t reached = 0;
  for (auto _ : state) {
    auto r = quellostrin::bellman_ford(input.graph, input.start);
    benchmark::DoNotOptimize(r.dist.data());
    reached = r.dist.size() - static_cast<std::uint64_t>(std::count(r.dist.begin(), r.dist.end(), INFINITY));
  }
  state.counters["reached"] = double(reached);
}

}  // namespace

BENCHMARK(BM_FloydWarshall)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainTripleLoop)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BellmanFord)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
