// Frontier search over a seeded random graph of 10^6 nodes and 4 * 10^6
// edges: Dijkstra and breadth-first search, recording off and on, dense and
// hash node store. The goal has no incoming edge, so every run expands the
// whole component reachable from the start.
//
// Benchmarks are named algorithm/store[/record], e.g. "Dijkstra/hash/record".
// "BFS/dense/hook" installs a stop hook that is polled every 32768 expansions
// and never stops the search, to show what the polling costs against
// "BFS/dense" (no hook: one compare per expansion). "Dijkstra/csr" and
// "Dijkstra/csr/record" run the same search through the CsrGraph loop of
// domains/csr_search.hpp, which run_algo picks for it.
// Counters: `expansions` is nodes expanded per second of the thread's CPU time
// (the figure to compare across configurations; CPU time rather than wall time
// because the machines this runs on are shared); `expanded`, `generated` and
// `max_frontier` are per search.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "quellostrin/domains/csr_search.hpp"
#include "quellostrin/search/search.hpp"
#include "random_graph.hpp"

namespace {

using quellostrin::AlgorithmKind;
using quellostrin::SearchOptions;
using quellostrin::StopHook;
using quellostrin::StopReason;

// Counts its calls and never asks to stop.
bool count_poll(void* calls) {
  ++*static_cast<std::uint64_t*>(calls);
  return false;
}

void run_search(benchmark::State& state, AlgorithmKind kind, SearchOptions options, bool csr) {
  const bench::Input& in = bench::million_node_input();

  std::uint64_t expanded = 0, generated = 0, max_frontier = 0, searches = 0, polls = 0;
  if (options.stop.poll != nullptr) options.stop.context = &polls;
  for (auto _ : state) {
    auto result =
        csr ? quellostrin::csr_search(in.graph, in.start, in.goal, kind, options)
            : quellostrin::search_with_options(in.graph, in.start, in.goal, kind, quellostrin::Zero{}, options);
    if (result.stop_reason != StopReason::Exhausted || result.nodes_expanded < in.graph.node_count() / 2) {
      state.SkipWithError("the search did not expand the giant component");
      break;
    }
    expanded += result.nodes_expanded;
    generated += result.nodes_generated;
    max_frontier = result.max_frontier_size;
    ++searches;
    benchmark::DoNotOptimize(result);
    // The result (with its trace and tree when recording) is freed inside the
    // timed region, as it would be by a caller.
  }
  state.counters["expansions"] = benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
  if (searches > 0) {
    state.counters["expanded"] = static_cast<double>(expanded / searches);
    state.counters["generated"] = static_cast<double>(generated / searches);
    state.counters["max_frontier"] = static_cast<double>(max_frontier);
    if (options.stop.poll != nullptr) state.counters["polls"] = static_cast<double>(polls / searches);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (const AlgorithmKind kind : {AlgorithmKind::dijkstra(), AlgorithmKind::bfs()}) {
    for (const bool dense : {true, false}) {
      for (const bool record : {false, true}) {
        const std::string name = std::string(kind.label) + (dense ? "/dense" : "/hash") + (record ? "/record" : "");
        benchmark::RegisterBenchmark(name.c_str(), run_search, kind, SearchOptions{.record = record, .dense = dense},
                                     false)
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
  for (const bool record : {false, true}) {
    benchmark::RegisterBenchmark(record ? "Dijkstra/csr/record" : "Dijkstra/csr", run_search, AlgorithmKind::dijkstra(),
                                 SearchOptions{.record = record, .dense = true}, true)
        ->Unit(benchmark::kMillisecond);
  }
  const SearchOptions hooked{.dense = true, .stop = StopHook{&count_poll, nullptr, 32768}};
  benchmark::RegisterBenchmark("BFS/dense/hook", run_search, AlgorithmKind::bfs(), hooked, false)
      ->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
