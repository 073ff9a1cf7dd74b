#include "quellostrin/generators/graphs.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "quellostrin/errors.hpp"
#include "quellostrin/hash.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/generators/random.hpp"

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
  require_memory(bytes, "a generated graph of {} nodes and {} edges", n, edges);
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

CsrGraph build(std::uint64_t n, const std::vector<Edge>& edges) { return CsrGraph::from_edges(n, edges, true); }

// The pairs u < v in lexicographic order, each an edge when its draw is below
// p; already in the order undirected_edges_once gives.
std::vector<Edge> erdos_renyi_in_order(std::uint64_t n, double p, std::uint64_t seed, const StopHook& stop) {
  // The number of edges is random; its expectation sizes the output.
  const double expected = p > 0 ? std::min(p, 1.0) * static_cast<double>(pairs(n)) : 0.0;
  require_output(n, expected < 0x1p63 ? static_cast<std::uint64_t>(expected) : kSizeOverflow);
  const ChaCha8Rng::Key key = ChaCha8Rng::seed_from_u64(seed).key();
  // Each pair takes one 64-bit draw x, two words of the keystream, and is an
  // edge when chance(p) holds: (x >> 11) * 2^-53 < p. Scaling by 2^53 is
  // exact, so that is (x >> 11) < p * 2^53, and for the integer x >> 11 it is
  // (x >> 11) < ceil(p * 2^53). p >= 1 takes every pair (x >> 11 < 2^53); p
  // <= 0 and NaN none.
  std::uint64_t below = 0;
  if (p >= 1.0) {
    below = std::uint64_t{1} << 53;
  } else if (p > 0.0) {
    below = static_cast<std::uint64_t>(std::ceil(std::ldexp(p, 53)));
  }
  // The draws come straight from the keystream, a chunk of blocks at a time:
  // the words a fresh ChaCha8Rng would hand out, in the same order.
  constexpr std::size_t kChunkBlocks = 32;
  constexpr std::size_t kChunkDraws = kChunkBlocks * 8;
  std::uint32_t words[16 * kChunkBlocks];
  std::uint64_t counter = 0;  // next block
  std::size_t next = kChunkDraws;
  std::vector<Edge> edges;
  edges.reserve(static_cast<std::size_t>(std::min(expected, 0x1p40)));
  for (std::uint64_t u = 0; u + 1 < n; ++u) {
    if (stop.poll && stop.poll(stop.context)) break;
    for (std::uint64_t v = u + 1; v < n;) {
      if (next == kChunkDraws) {
        detail::chacha8_blocks(key, 0, counter, kChunkBlocks, words);  // stream 0, as ChaCha8Rng's
        counter += kChunkBlocks;
        next = 0;
      }
      const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkDraws - next, n - v));
      // Draw j of the chunk, as next_u64 would return it: low word first.
      const auto edge = [&](std::size_t j) {
        return (((std::uint64_t{words[2 * j + 1]} << 32) | words[2 * j]) >> 11) < below;
      };
      std::size_t i = 0;
      // Eight at a time, looked at one by one only when one of them is an
      // edge (a screen that vectorises, for the usual small p).
      for (; i + 8 <= take; i += 8) {
        bool any = false;
        for (std::size_t g = 0; g < 8; ++g) any |= edge(next + i + g);
        if (!any) continue;
        for (std::size_t g = 0; g < 8; ++g) {
          if (edge(next + i + g)) edges.push_back({u, v + i + g, 1.0});
        }
      }
      for (; i < take; ++i) {
        if (edge(next + i)) edges.push_back({u, v + i, 1.0});
      }
      next += take;
      v += take;
    }
  }
  return edges;
}

// Watts-Strogatz in the order of its set: the lattice pairs still in place,
// in lattice order, then the pairs inserted by rewiring, in the order they
// were inserted (a lattice pair removed and drawn again comes back among
// these). Only lattice pairs are ever removed, each at its own turn, so this
// is the set's insertion order.
std::vector<Edge> watts_strogatz_in_order(std::uint64_t n, std::uint64_t k, double beta, std::uint64_t seed,
                                          const StopHook& stop) {
  if (k >= n || k % 2 != 0) fail_input("k must be even and < n");
  const std::uint64_t half = k / 2;
  const std::uint64_t edge_count = size_mul(n, half);
  require_output(n, edge_count);
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  StopGate gate(Limits{std::nullopt, stop, std::nullopt});

  // Lattice pair number u * half + j - 1 joins u and (u + j) mod n, 1 <= j <=
  // half; since half < n / 2 no two coincide. `place` says where each stands.
  enum Place : std::uint8_t { kInPlace, kRemoved, kAtEnd };
  std::vector<std::uint8_t> place(static_cast<std::size_t>(edge_count), kInPlace);
  const auto lattice_number = [&](std::uint64_t a, std::uint64_t b) -> std::optional<std::uint64_t> {
    const std::uint64_t gap = b - a;  // a < b
    if (gap <= half) return a * half + gap - 1;
    if (n - gap <= half) return b * half + (n - gap) - 1;
    return std::nullopt;
  };
  std::vector<Pair> at_end;                     // inserted by rewiring, in order
  FlatSet<Pair, PairHash> off_lattice;          // those of them that are not lattice pairs
  std::uint64_t number = 0;
  for (std::uint64_t u = 0; u < n && half > 0; ++u) {
    for (std::uint64_t j = 1; j <= half; ++j, ++number) {
      if (gate.cancelled(number + 1)) return {};
      const std::uint64_t w = (u + j) % n;  // u + j < 2n, and n < 2^63 here
      const std::uint64_t a = std::min(u, w);
      if (rng.uniform_double() >= beta) continue;
      place[static_cast<std::size_t>(number)] = kRemoved;
      for (;;) {
        const std::uint64_t x = rng.below_u64(n);
        if (x == a) continue;
        const Pair rewired = a < x ? Pair{a, x} : Pair{x, a};
        if (const auto at = lattice_number(rewired.a, rewired.b)) {
          std::uint8_t& where = place[static_cast<std::size_t>(*at)];
          if (where != kRemoved) continue;
          where = kAtEnd;
        } else if (!off_lattice.insert(rewired)) {
          continue;
        }
        at_end.push_back(rewired);
        break;
      }
    }
  }

  std::vector<Edge> edges;
  edges.reserve(static_cast<std::size_t>(edge_count));
  number = 0;
  for (std::uint64_t u = 0; u < n && half > 0; ++u) {
    for (std::uint64_t j = 1; j <= half; ++j, ++number) {
      if (place[static_cast<std::size_t>(number)] != kInPlace) continue;
      const std::uint64_t w = (u + j) % n;
      edges.push_back({std::min(u, w), std::max(u, w), 1.0});
    }
  }
  for (const Pair& pair : at_end) edges.push_back({pair.a, pair.b, 1.0});
  if (edges.size() != edge_count) fail_invariant("watts_strogatz made {} edges, not {}", edges.size(), edge_count);
  return edges;
}

// Barabasi-Albert in the order its edges are made.
std::vector<Edge> barabasi_albert_in_order(std::uint64_t n, std::uint64_t m, std::uint64_t seed,
                                           const StopHook& stop) {
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
  // The targets of node t, distinct, in the order first drawn: chosen[s] == t
  // marks s as one of them (t >= m >= 1, so the initial 0 marks nothing).
  std::vector<std::uint64_t> chosen(static_cast<std::size_t>(n), 0);
  std::vector<std::uint64_t> targets;
  targets.reserve(static_cast<std::size_t>(m));
  StopGate gate(Limits{std::nullopt, stop, std::nullopt});
  for (std::uint64_t t = m; t < n; ++t) {
    if (gate.cancelled(t)) return {};
    targets.clear();
    while (targets.size() < m) {
      const auto i = rng.choose_index(endpoints.size());
      const std::uint64_t s = i ? endpoints[*i] : 0;
      if (chosen[s] == t) continue;
      chosen[s] = t;
      targets.push_back(s);
    }
    for (const std::uint64_t s : targets) {
      edges.push_back({t, s, 1.0});
      endpoints.push_back(t);
      endpoints.push_back(s);
    }
  }
  return edges;
}

}  // namespace

CsrGraph erdos_renyi(std::uint64_t n, double p, std::uint64_t seed, const StopHook& stop) {
  return build(n, erdos_renyi_in_order(n, p, seed, stop));
}

CsrGraph watts_strogatz(std::uint64_t n, std::uint64_t k, double beta, std::uint64_t seed, const StopHook& stop) {
  return build(n, watts_strogatz_in_order(n, k, beta, seed, stop));
}

CsrGraph barabasi_albert(std::uint64_t n, std::uint64_t m, std::uint64_t seed, const StopHook& stop) {
  return build(n, barabasi_albert_in_order(n, m, seed, stop));
}

std::vector<Edge> erdos_renyi_edges(std::uint64_t n, double p, std::uint64_t seed, const StopHook& stop) {
  return erdos_renyi_in_order(n, p, seed, stop);
}

std::vector<Edge> watts_strogatz_edges(std::uint64_t n, std::uint64_t k, double beta, std::uint64_t seed,
                                       const StopHook& stop) {
  return undirected_edges_once(n, watts_strogatz_in_order(n, k, beta, seed, stop));
}

std::vector<Edge> barabasi_albert_edges(std::uint64_t n, std::uint64_t m, std::uint64_t seed, const StopHook& stop) {
  return undirected_edges_once(n, barabasi_albert_in_order(n, m, seed, stop));
}

}  // namespace quellostrin
