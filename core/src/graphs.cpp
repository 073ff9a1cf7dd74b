#include "quellostrin/domains/graphs.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/hash.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/random.hpp"

namespace quellostrin {

namespace {

// n(n-1)/2 without the intermediate overflow of n(n-1).
std::uint64_t pairs(std::uint64_t n) {
  if (n < 2) return 0;
  return n % 2 == 0 ? size_mul(n / 2, n - 1) : size_mul(n, (n - 1) / 2);
}

// Refuses, before any draw, a graph of n nodes and (about) `edges` undirected
// edges whose edge list and adjacency arrays this machine cannot hold: the
// list, then per node two offsets (the offsets and the degrees counted while
// building) and per edge two adjacency entries.
void require_output(std::uint64_t n, std::uint64_t edges) {
  const std::uint64_t bytes =
      size_add(size_add(size_mul(size_add(n, 1), 2 * sizeof(std::uint64_t)),
                        size_mul(size_mul(edges, 2), sizeof(std::uint64_t) + sizeof(double))),
               size_mul(edges, sizeof(Edge)));
  require_memory(bytes, detail::format("a generated graph of {} nodes and {} edges", n, edges));
}

struct Pair {
  std::uint64_t a = 0, b = 0;
  friend bool operator==(const Pair&, const Pair&) = default;
};

struct PairHash {
  std::uint64_t operator()(const Pair& p) const {
    FxHasher h;
    h.add(p.a);
    h.add(p.b);
    return h.state;
  }
};

// A set that iterates in insertion order: erasing takes an entry out of the
// order, and inserting (again) puts it at the end.
template <class K, class Hash = FxHash<K>>
class InsertionOrderedSet {
 public:
  void reserve(std::size_t n) {
    order_.reserve(n);
    alive_.reserve(n);
    where_.reserve(n);
  }

  bool contains(const K& key) const { return where_.contains(key); }
  std::size_t size() const { return where_.size(); }

  bool insert(const K& key) {
    auto [slot, inserted] = where_.try_emplace(key);
    if (!inserted) return false;
    *slot = order_.size();
    order_.push_back(key);
    alive_.push_back(1);
    return true;
  }

  bool erase(const K& key) {
    const std::size_t* slot = where_.find(key);
    if (slot == nullptr) return false;
    alive_[*slot] = 0;
    where_.erase(key);
    return true;
  }

  template <class F>
  void for_each(F&& f) const {
    for (std::size_t i = 0; i < order_.size(); ++i) {
      if (alive_[i]) f(order_[i]);
    }
  }

 private:
  std::vector<K> order_;
  std::vector<std::uint8_t> alive_;
  FlatMap<K, std::size_t, Hash> where_;
};

CsrGraph build(std::uint64_t n, const std::vector<Edge>& edges) { return CsrGraph::from_edges(n, edges, true); }

}  // namespace

CsrGraph erdos_renyi(std::uint64_t n, double p, std::uint64_t seed, const StopHook& stop) {
  // The number of edges is random; its expectation sizes the output.
  const double expected = p > 0 ? std::min(p, 1.0) * static_cast<double>(pairs(n)) : 0.0;
  require_output(n, expected < 0x1p63 ? static_cast<std::uint64_t>(expected) : kSizeOverflow);
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  std::vector<Edge> edges;
  for (std::uint64_t u = 0; u + 1 < n; ++u) {
    if (stop.poll && stop.poll(stop.context)) break;
    for (std::uint64_t v = u + 1; v < n; ++v) {
      if (rng.chance(p)) edges.push_back({u, v, 1.0});
    }
  }
  return build(n, edges);
}

CsrGraph watts_strogatz(std::uint64_t n, std::uint64_t k, double beta, std::uint64_t seed, const StopHook& stop) {
  if (k >= n || k % 2 != 0) fail_input("k must be even and < n");
  const std::uint64_t edge_count = size_mul(n, k / 2);
  require_output(n, edge_count);
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  StopGate gate(Limits{std::nullopt, stop});
  std::uint64_t steps = 0;  // ring nodes, then edges considered for rewiring

  InsertionOrderedSet<Pair, PairHash> set;
  set.reserve(static_cast<std::size_t>(edge_count));
  std::vector<Pair> snapshot;
  snapshot.reserve(static_cast<std::size_t>(edge_count));
  if (k > 0) {
    for (std::uint64_t u = 0; u < n; ++u) {
      if (gate.cancelled(++steps)) return build(n, {});
      for (std::uint64_t j = 1; j <= k / 2; ++j) {
        const std::uint64_t w = (u + j) % n;  // u + j < 2n, and n < 2^63 here
        set.insert(u < w ? Pair{u, w} : Pair{w, u});
      }
    }
  }
  set.for_each([&](const Pair& pair) { snapshot.push_back(pair); });

  for (const Pair& pair : snapshot) {
    if (gate.cancelled(++steps)) return build(n, {});
    if (rng.uniform_double() >= beta) continue;
    set.erase(pair);
    for (;;) {
      const std::uint64_t w = rng.below_u64(n);
      if (w == pair.a) continue;
      const Pair rewired = pair.a < w ? Pair{pair.a, w} : Pair{w, pair.a};
      if (set.insert(rewired)) break;
    }
  }

  std::vector<Edge> edges;
  edges.reserve(static_cast<std::size_t>(edge_count));
  set.for_each([&](const Pair& pair) { edges.push_back({pair.a, pair.b, 1.0}); });
  if (edges.size() != edge_count) fail_invariant("watts_strogatz made {} edges, not {}", edges.size(), edge_count);
  return build(n, edges);
}

CsrGraph barabasi_albert(std::uint64_t n, std::uint64_t m, std::uint64_t seed, const StopHook& stop) {
  if (m == 0 || n <= m) fail_input("need n > m >= 1");
  const std::uint64_t edge_count = size_add(pairs(m), size_mul(n - m, m));
  require_output(n, edge_count);
  std::vector<Edge> edges;
  edges.reserve(static_cast<std::size_t>(edge_count));
  std::vector<std::uint64_t> endpoints;
  endpoints.reserve(static_cast<std::size_t>(size_mul(edge_count, 2)));
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);

  for (std::uint64_t u = 0; u < m; ++u) {
    for (std::uint64_t v = u + 1; v < m; ++v) {
      edges.push_back({u, v, 1.0});
      endpoints.push_back(u);
      endpoints.push_back(v);
    }
  }
  StopGate gate(Limits{std::nullopt, stop});
  for (std::uint64_t t = m; t < n; ++t) {
    if (gate.cancelled(t)) return build(n, {});
    InsertionOrderedSet<std::uint64_t> targets;
    targets.reserve(static_cast<std::size_t>(m));
    while (targets.size() < m) {
      const auto i = rng.choose_index(endpoints.size());
      targets.insert(i ? endpoints[*i] : 0);
    }
    targets.for_each([&](std::uint64_t s) {
      edges.push_back({t, s, 1.0});
      endpoints.push_back(t);
      endpoints.push_back(s);
    });
  }
  return build(n, edges);
}

}  // namespace quellostrin
