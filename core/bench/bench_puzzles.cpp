// Puzzle searches, each run twice: with SmallBytes states (what the library
// uses) and with std::vector<std::uint8_t> states, to show what inline
// storage buys.
//   eight_puzzle/astar   A* with PuzzleManhattan from 200 random solvable
//                        3x3 starts (the same starts every run);
//   fifteen_puzzle/astar A* with PuzzleManhattan from 20 starts 80 random
//                        slides away from the goal;
//   hanoi/astar          A* with HanoiMisplaced, 1 to 10 disks on 3 pegs and
//                        1 to 8 disks on 4 pegs;
//   hanoi/bfs            breadth-first search over the same instances;
//   fifteen_puzzle/ida_star/{general,npuzzle_ida}
//                        IDA* with PuzzleManhattan on three easy instances of
//                        Korf's 100 (#55, #42, #79; goal 0, 1, ..., 15, blank
//                        first): the general strategy, then the sliding-tile
//                        one that run_algo picks for this pair.
// Each reports the time of the whole batch and the expansions per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "quellostrin/domains/hanoi.hpp"
#include "quellostrin/domains/npuzzle.hpp"
#include "quellostrin/domains/npuzzle_ida.hpp"
#include "quellostrin/search/search.hpp"
#include "quellostrin/search/strategies/ida_star.hpp"

namespace {

using namespace quellostrin;
using Vec = std::vector<std::uint8_t>;

template <class State>
std::vector<State> eight_puzzle_starts() {
  const NPuzzle p{3};
  const SmallBytes goal = p.goal();
  std::mt19937 rng(2024);
  std::vector<State> out;
  Vec b = goal.to_vector();
  while (out.size() < 200) {
    std::shuffle(b.begin(), b.end(), rng);
    if (p.is_solvable(b, goal)) out.emplace_back(b.begin(), b.end());
  }
  return out;
}

template <class State>
std::vector<State> fifteen_puzzle_starts() {
  const BasicNPuzzle<State> p{4};
  std::mt19937 rng(15);
  std::vector<State> out;
  for (int i = 0; i < 20; ++i) {
    State s = p.goal();
    for (int step = 0; step < 80; ++step) {
      const auto next = p.neighbors(s);
      s = next[rng() % next.size()].first;
    }
    out.push_back(s);
  }
  return out;
}

template <class State>
void run_puzzle(benchmark::State& st, std::uint64_t side, const std::vector<State>& starts) {
  const BasicNPuzzle<State> p{side};
  const State goal = p.goal();
  const SearchOptions options{.record = false};
  std::uint64_t expanded = 0;
  for (auto _ : st) {
    for (const State& s : starts) {
      auto r = search_with_options(p, s, goal, AlgorithmKind::astar(), PuzzleManhattan{side}, options);
      expanded += r.nodes_expanded;
      benchmark::DoNotOptimize(r);
    }
  }
  st.counters["expanded/s"] = benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
}

template <class State>
void BM_EightPuzzle(benchmark::State& st) {
  run_puzzle<State>(st, 3, eight_puzzle_starts<State>());
}

template <class State>
void BM_FifteenPuzzle(benchmark::State& st) {
  run_puzzle<State>(st, 4, fifteen_puzzle_starts<State>());
}

template <class State>
void BM_Hanoi(benchmark::State& st) {
  const AlgorithmKind kind = st.range(0) == 0 ? AlgorithmKind::astar() : AlgorithmKind::bfs();
  std::vector<BasicHanoi<State>> instances;
  for (std::uint64_t n = 1; n <= 10; ++n) instances.push_back(BasicHanoi<State>::with_pegs(n, 3));
  for (std::uint64_t n = 1; n <= 8; ++n) instances.push_back(BasicHanoi<State>::with_pegs(n, 4));
  const SearchOptions options{.record = false};
  std::uint64_t expanded = 0;
  for (auto _ : st) {
    for (const auto& h : instances) {
      auto r = search_with_options(h, h.start(), h.goal(), kind, HanoiMisplaced{}, options);
      expanded += r.nodes_expanded;
      benchmark::DoNotOptimize(r);
    }
  }
  st.counters["expanded/s"] = benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
}

void BM_KorfIda(benchmark::State& st) {
  const NPuzzle p{4};
  const std::vector<SmallBytes> starts = {{13, 8, 14, 3, 9, 1, 0, 7, 15, 5, 4, 10, 12, 2, 6, 11},
                                          {4, 5, 7, 2, 9, 14, 12, 13, 0, 3, 6, 11, 8, 1, 15, 10},
                                          {0, 1, 9, 7, 11, 13, 5, 3, 14, 12, 4, 2, 8, 6, 10, 15}};
  SmallBytes goal(16, 0);
  std::iota(goal.begin(), goal.end(), std::uint8_t{0});
  std::uint64_t expanded = 0;
  for (auto _ : st) {
    for (const SmallBytes& s : starts) {
      auto r = st.range(0) == 0 ? ida_star(p, PuzzleManhattan{4}, s, goal, false) : npuzzle_ida_star(p, s, goal, false);
      expanded += r.nodes_expanded;
      benchmark::DoNotOptimize(r);
    }
  }
  st.counters["expanded/s"] = benchmark::Counter(static_cast<double>(expanded), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_EightPuzzle<SmallBytes>)->Name("eight_puzzle/astar/small_bytes")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EightPuzzle<Vec>)->Name("eight_puzzle/astar/vector")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FifteenPuzzle<SmallBytes>)->Name("fifteen_puzzle/astar/small_bytes")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FifteenPuzzle<Vec>)->Name("fifteen_puzzle/astar/vector")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hanoi<SmallBytes>)->Name("hanoi/astar/small_bytes")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hanoi<Vec>)->Name("hanoi/astar/vector")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hanoi<SmallBytes>)->Name("hanoi/bfs/small_bytes")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hanoi<Vec>)->Name("hanoi/bfs/vector")->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KorfIda)->Name("fifteen_puzzle/ida_star/general")->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KorfIda)->Name("fifteen_puzzle/ida_star/npuzzle_ida")->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
