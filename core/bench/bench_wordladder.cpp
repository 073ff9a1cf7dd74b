// Word-ladder queries over Knuth's 5757 five-letter words (sgb-words.txt,
// looked for in <repo>/../shared/data/words, then /work/shared/data/words).
//
//   WordLadder/BFS, WordLadder/AStar   one search per query, recording off,
//                                      over a fixed list of 256 seeded random
//                                      word pairs (some unreachable, which
//                                      exhausts the start's component);
//   WordLadder/neighbors               neighbors_into for every word in turn.
//
// Counters: `queries` (or `words`) per second of the thread's CPU time, and
// `expanded`, the mean nodes expanded per query.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "quellostrin/algorithms.hpp"
#include "quellostrin/puzzles/wordladder.hpp"
#include "random_graph.hpp"

namespace {

using quellostrin::AlgoOptions;
using quellostrin::LadderHamming;
using quellostrin::WordLadder;

std::vector<std::string> load_words() {
  const std::filesystem::path repo = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path();
  for (const std::filesystem::path& dir : {repo / ".." / "shared" / "data" / "words",
                                           std::filesystem::path("/work/shared/data/words")}) {
    std::ifstream in(dir / "sgb-words.txt");
    if (!in) continue;
    std::vector<std::string> words;
    for (std::string line; std::getline(in, line);) {
      if (!line.empty()) words.push_back(line);
    }
    return words;
  }
  return {};
}

struct Input {
  std::vector<std::string> words;
  WordLadder ladder;
  std::vector<std::pair<std::string, std::string>> queries;
};

const Input& input() {
  static const Input in = [] {
    Input made{load_words(), WordLadder::from_lowercase({}), {}};
    made.ladder = WordLadder::from_lowercase(made.words);
    bench::SplitMix64 rng{2024};
    for (int i = 0; i < 256 && !made.words.empty(); ++i) {
      made.queries.emplace_back(made.words[rng.below(made.words.size())], made.words[rng.below(made.words.size())]);
    }
    return made;
  }();
  return in;
}

void run_queries(benchmark::State& state, std::string_view algo) {
  const Input& in = input();
  if (in.words.empty()) {
    state.SkipWithError("sgb-words.txt not found");
    return;
  }
  const auto& info = quellostrin::find_algorithm(algo);
  const AlgoOptions options{.record = false};
  std::uint64_t queries = 0, expanded = 0;
  for (auto _ : state) {
    for (const auto& [start, goal] : in.queries) {
      auto r = quellostrin::run_algo(info, in.ladder, LadderHamming{}, start, goal, options);
      expanded += r.nodes_expanded;
      benchmark::DoNotOptimize(r);
    }
    queries += in.queries.size();
  }
  state.counters["queries"] = benchmark::Counter(static_cast<double>(queries), benchmark::Counter::kIsRate);
  state.counters["expanded"] = static_cast<double>(expanded) / static_cast<double>(queries);
}

void BM_Bfs(benchmark::State& state) { run_queries(state, "bfs"); }
void BM_AStar(benchmark::State& state) { run_queries(state, "astar"); }

void BM_Neighbors(benchmark::State& state) {
  const Input& in = input();
  if (in.words.empty()) {
    state.SkipWithError("sgb-words.txt not found");
    return;
  }
  quellostrin::SuccessorList<std::string> out;
  std::uint64_t words = 0;
  for (auto _ : state) {
    for (const std::string& w : in.words) {
      out.clear();
      in.ladder.neighbors_into(w, out);
      benchmark::DoNotOptimize(out.data());
    }
    words += in.words.size();
  }
  state.counters["words"] = benchmark::Counter(static_cast<double>(words), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Bfs)->Name("WordLadder/BFS")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStar)->Name("WordLadder/AStar")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Neighbors)->Name("WordLadder/neighbors")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
