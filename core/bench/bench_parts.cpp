// Where the time of one search goes. A search over the benchmark graph is run
// once with recording wrappers around its frontier and node store; the calls
// they saw are then replayed on their own, for Dijkstra and for BFS:
//   <algo>/frontier      every push and pop, in order, on a fresh queue;
//   <algo>/store/dense   every reach, close and relax, in order, on a fresh
//   <algo>/store/hash    store of either kind;
//   <algo>/successors    neighbors_into for every expanded node, in order,
//                        into one reused buffer (the adjacency reads).
// Each part reports its time per expansion of the whole search, so the parts
// can be set against the same search in bench_search (they add up to it, less
// what the processor overlaps between them when they run together).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quellostrin/search/search.hpp"
#include "random_graph.hpp"

namespace {

using quellostrin::AlgorithmKind;
using quellostrin::CsrGraph;
using quellostrin::DenseStore;
using quellostrin::Fifo;
using quellostrin::HashStore;
using quellostrin::PriorityQueue;
using quellostrin::Relaxed;
using quellostrin::SearchOptions;
using Node = CsrGraph::Node;

struct FrontierOp {
  Node node;
  double priority;
  bool pop;
};

struct StoreOp {
  enum Kind : std::uint8_t { Reach, Close, Relax } kind;
  Node node;
  Node parent;
  double g;
};

struct Log {
  std::vector<FrontierOp> frontier;
  std::vector<StoreOp> store;
  std::vector<Node> expanded;  // nodes whose successors were read, in order
};

template <class Inner>
class RecordingFrontier {
 public:
  static inline Log* log = nullptr;
  void push(Node node, double priority, std::uint64_t seq) {
    log->frontier.push_back({node, priority, false});
    inner_.push(node, priority, seq);
  }
  std::optional<Node> pop() {
    log->frontier.push_back({0, 0.0, true});
    return inner_.pop();
  }
  std::size_t len() const { return inner_.len(); }
  const Node* peek() const { return inner_.peek(); }

 private:
  Inner inner_;
};

// Records the calls of the driver; the successor reads are recovered from the
// relax calls (every expanded node relaxes all its successors as the parent).
class RecordingStore {
 public:
  using Node = ::Node;
  using Key = Node;
  static constexpr bool kCanReopen = true;
  RecordingStore(const CsrGraph& graph, Log& log) : inner_(graph), log_(&log) {}

  void reach(const Node& start) {
    log_->store.push_back({StoreOp::Reach, start, 0, 0.0});
    inner_.reach(start);
  }
  std::vector<Node> path_to(const Node& target) const { return inner_.path_to(target); }
  std::optional<double> close(const Node& node) {
    log_->store.push_back({StoreOp::Close, node, 0, 0.0});
    auto g = inner_.close(node);
    if (g) log_->expanded.push_back(node);
    return g;
  }
  Relaxed relax(const Node& node, const Node& parent, double g, bool reopen) {
    log_->store.push_back({StoreOp::Relax, node, parent, g});
    return inner_.relax(node, parent, g, reopen);
  }
  const Node* parent(const Node& node) const { return inner_.parent(node); }
  std::size_t reached_count() const { return inner_.reached_count(); }
  std::uint64_t hops(const Node& node) const { return inner_.hops(node); }
  void set_hops(const Node& node, std::uint64_t hops) { inner_.set_hops(node, hops); }

 private:
  DenseStore<CsrGraph> inner_;
  Log* log_;
};

enum Algo : int { kDijkstra = 0, kBfs = 1 };

const Log& search_log(int algo) {
  static std::optional<Log> logs[2];
  if (!logs[algo]) {
    const bench::Input& in = bench::million_node_input();
    Log& log = logs[algo].emplace();
    RecordingStore store(in.graph, log);
    const SearchOptions options{};
    if (algo == kDijkstra) {
      RecordingFrontier<PriorityQueue<Node>>::log = &log;
      quellostrin::detail::frontier_loop<RecordingFrontier<PriorityQueue<Node>>>(
          in.graph, store, in.start, in.goal, AlgorithmKind::dijkstra(), quellostrin::Zero{}, options);
    } else {
      RecordingFrontier<Fifo<Node>>::log = &log;
      quellostrin::detail::frontier_loop<RecordingFrontier<Fifo<Node>>>(
          in.graph, store, in.start, in.goal, AlgorithmKind::bfs(), quellostrin::Zero{}, options);
    }
  }
  return *logs[algo];
}

void per_expansion(benchmark::State& state, const Log& log) {
  // Seconds per expansion; the console prints it with an SI prefix ("n").
  state.counters["per_expansion"] = benchmark::Counter(static_cast<double>(state.iterations() * log.expanded.size()),
                                                       benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <class Q>
void replay_frontier(benchmark::State& state, const Log& log) {
  for (auto _ : state) {
    Q q;
    std::uint64_t sum = 0;
    for (const FrontierOp& op : log.frontier) {
      if (op.pop) {
        if (auto n = q.pop()) sum += *n;
      } else {
        q.push(op.node, op.priority);
      }
    }
    benchmark::DoNotOptimize(sum);
  }
}

void frontier_part(benchmark::State& state, int algo) {
  const Log& log = search_log(algo);
  if (algo == kDijkstra) {
    replay_frontier<PriorityQueue<Node>>(state, log);
  } else {
    replay_frontier<Fifo<Node>>(state, log);
  }
  per_expansion(state, log);
  state.SetLabel(std::to_string(log.frontier.size()) + " ops");
}

template <class Store>
void replay_store(benchmark::State& state, const Log& log) {
  const CsrGraph& graph = bench::million_node_input().graph;
  for (auto _ : state) {
    Store store(graph);
    std::uint64_t sum = 0;
    for (const StoreOp& op : log.store) {
      switch (op.kind) {
        case StoreOp::Reach:
          store.reach(op.node, nullptr, op.g);
          break;
        case StoreOp::Close:
          sum += store.close(op.node).has_value();
          break;
        case StoreOp::Relax:
          sum += static_cast<std::uint64_t>(store.relax(op.node, op.parent, op.g, false));
          break;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
}

void store_part(benchmark::State& state, int algo, bool dense) {
  const Log& log = search_log(algo);
  if (dense) {
    replay_store<DenseStore<CsrGraph>>(state, log);
  } else {
    replay_store<HashStore<CsrGraph>>(state, log);
  }
  per_expansion(state, log);
  state.SetLabel(std::to_string(log.store.size()) + " ops");
}

void successors_part(benchmark::State& state, int algo) {
  const Log& log = search_log(algo);
  const CsrGraph& graph = bench::million_node_input().graph;
  quellostrin::SuccessorList<Node> buffer;
  for (auto _ : state) {
    double sum = 0.0;
    for (Node node : log.expanded) {
      buffer.clear();
      graph.neighbors_into(node, buffer);
      for (const auto& [succ, w] : buffer) sum += w + static_cast<double>(succ & 1);
    }
    benchmark::DoNotOptimize(sum);
  }
  per_expansion(state, log);
}

}  // namespace

// Named algorithm/part[/store], e.g. "Dijkstra/store/hash".
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  for (const int algo : {kDijkstra, kBfs}) {
    const std::string label = algo == kDijkstra ? "Dijkstra" : "BFS";
    benchmark::RegisterBenchmark((label + "/frontier").c_str(), frontier_part, algo)->Unit(benchmark::kMillisecond);
    for (const bool dense : {true, false}) {
      benchmark::RegisterBenchmark((label + (dense ? "/store/dense" : "/store/hash")).c_str(), store_part, algo, dense)
          ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark((label + "/successors").c_str(), successors_part, algo)->Unit(benchmark::kMillisecond);
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
