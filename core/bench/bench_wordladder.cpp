// Word-ladder queries over Knuth's 5757 five-letter words (the repository's
// data/words/sgb-words.txt).
//
//   WordLadder/BFS, WordLadder/AStar,
//   WordLadder/Bidirectional           one search per query, recording off,
//                                      over a fixed list of 256 seeded random
//                                      word pairs (some unreachable, which
//                                      exhausts the start's component), each
//                                      on a LadderQuery as the binding runs it;
//   WordLadder/neighbors               neighbors_into for every word in turn;
//   WordLadder/neighbors_probing       the same listing made by probing a hash
//                                      set of the words with each of the 25
//                                      other letters at each position, as the
//                                      ladder did before it had its index;
//   WordLadder/build                   from_lowercase over the whole list.
//
// Counters: `queries` (or `words`) per second of the thread's CPU time, and
// `expanded`, the mean nodes expanded per query.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "quellostrin/search/algorithms.hpp"
#include "quellostrin/hash.hpp"
#include "quellostrin/domains/wordladder.hpp"
#include "random_graph.hpp"

namespace {

using quellostrin::AlgoOptions;
using quellostrin::LadderHamming;
using quellostrin::LadderQuery;
using quellostrin::SuccessorList;
using quellostrin::WordLadder;

std::vector<std::string> load_words() {
  std::ifstream in(QUELLOSTRIN_DATA_DIR "/words/sgb-words.txt");
  std::vector<std::string> words;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) words.push_back(line);
  }
  return words;
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
  const AlgoOptions options{.record = false, .dense = true};
  std::uint64_t queries = 0, expanded = 0;
  for (auto _ : state) {
    for (const auto& [start, goal] : in.queries) {
      const LadderQuery query(in.ladder, start, goal);
      auto r = quellostrin::run_algo(info, query, LadderHamming{}, query.start(), query.goal(), options);
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
void BM_Bidirectional(benchmark::State& state) { run_queries(state, "bidirectional"); }

// Lists the neighbours of every word with `list(word, out)`.
template <class List>
void list_all(benchmark::State& state, List list) {
  const Input& in = input();
  if (in.words.empty()) {
    state.SkipWithError("sgb-words.txt not found");
    return;
  }
  SuccessorList<std::string> out;
  std::uint64_t words = 0;
  for (auto _ : state) {
    for (const std::string& w : in.words) {
      out.clear();
      list(w, out);
      benchmark::DoNotOptimize(out.data());
    }
    words += in.words.size();
  }
  state.counters["words"] = benchmark::Counter(static_cast<double>(words), benchmark::Counter::kIsRate);
}

void BM_Neighbors(benchmark::State& state) {
  list_all(state, [](const std::string& w, SuccessorList<std::string>& out) { input().ladder.neighbors_into(w, out); });
}

// The listing by probing, for ASCII words: a set with room for twice the
// words (most probes miss, and a sparse table keeps their runs short).
void BM_NeighborsProbing(benchmark::State& state) {
  static const quellostrin::FlatSet<std::string> set = [] {
    quellostrin::FlatSet<std::string> made(2 * input().words.size());
    for (const std::string& w : input().words) made.insert(w);
    return made;
  }();
  list_all(state, [](const std::string& w, SuccessorList<std::string>& out) {
    std::string buf = w;
    for (std::size_t i = 0; i < buf.size(); ++i) {
      for (char letter = 'a'; letter <= 'z'; ++letter) {
        if (letter == w[i]) continue;
        buf[i] = letter;
        if (set.contains(buf)) out.emplace_back(buf, 1.0);
      }
      buf[i] = w[i];
    }
  });
}

void BM_Build(benchmark::State& state) {
  const Input& in = input();
  for (auto _ : state) benchmark::DoNotOptimize(WordLadder::from_lowercase(in.words));
}

BENCHMARK(BM_Bfs)->Name("WordLadder/BFS")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AStar)->Name("WordLadder/AStar")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bidirectional)->Name("WordLadder/Bidirectional")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Neighbors)->Name("WordLadder/neighbors")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NeighborsProbing)->Name("WordLadder/neighbors_probing")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Build)->Name("WordLadder/build")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
