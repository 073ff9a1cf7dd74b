#include "quellostrin/generators/graphs.hpp"

#include <gtest/gtest.h>

#include "oracle.hpp"
#include "quellostrin/generators/random.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <set>
#include <utility>
#include <vector>

using namespace quellostrin;

namespace {

using Pairs = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

// The undirected edges as the entry points list them: u < v, grouped by u.
Pairs listed(const CsrGraph& g) {
  Pairs out;
  for (const Edge& e : g.edges()) {
    EXPECT_NE(e.u, e.v) << "self-loop";
    EXPECT_EQ(e.w, 1.0);
    if (e.u < e.v) out.emplace_back(e.u, e.v);
  }
  return out;
}

// Checks the graph is simple (no self-loop, no duplicate) and returns its edges.
Pairs simple_edges(const CsrGraph& g, std::uint64_t n) {
  EXPECT_EQ(g.node_count(), n);
  Pairs edges = listed(g);
  EXPECT_EQ(std::set(edges.begin(), edges.end()).size(), edges.size()) << "duplicate edge";
  EXPECT_EQ(g.entry_count(), 2 * edges.size());
  return edges;
}

// The three models written plainly, one draw at a time from a ChaCha8Rng and
// with a std::set for membership: the yardsticks for the generators' own
// loops (keystream read in chunks, the lattice kept as an array, marks for
// the distinct targets). Each returns the edges in the order they are made.
Pairs plain_erdos_renyi(std::uint64_t n, double p, std::uint64_t seed) {
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  Pairs out;
  for (std::uint64_t u = 0; u + 1 < n; ++u)
    for (std::uint64_t v = u + 1; v < n; ++v)
      if (rng.chance(p)) out.emplace_back(u, v);
  return out;
}

Pairs plain_watts_strogatz(std::uint64_t n, std::uint64_t k, double beta, std::uint64_t seed) {
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  std::set<std::pair<std::uint64_t, std::uint64_t>> present;
  Pairs order;  // insertion order, removed pairs included
  for (std::uint64_t u = 0; u < n; ++u)
    for (std::uint64_t j = 1; j <= k / 2; ++j) order.push_back(std::minmax(u, (u + j) % n));
  present.insert(order.begin(), order.end());
  const Pairs lattice = order;
  std::vector<bool> alive(order.size(), true);
  for (std::size_t i = 0; i < lattice.size(); ++i) {
    if (rng.uniform_double() >= beta) continue;
    present.erase(lattice[i]);
    alive[i] = false;
    for (;;) {
      const std::uint64_t w = rng.below_u64(n);
      if (w == lattice[i].first) continue;
      if (!present.insert(std::minmax(lattice[i].first, w)).second) continue;
      order.push_back(std::minmax(lattice[i].first, w));
      alive.push_back(true);
      break;
    }
  }
  Pairs out;
  for (std::size_t i = 0; i < order.size(); ++i)
    if (alive[i]) out.push_back(order[i]);
  return out;
}

Pairs plain_barabasi_albert(std::uint64_t n, std::uint64_t m, std::uint64_t seed) {
  ChaCha8Rng rng = ChaCha8Rng::seed_from_u64(seed);
  Pairs out;
  std::vector<std::uint64_t> ends;
  for (std::uint64_t u = 0; u < m; ++u)
    for (std::uint64_t v = u + 1; v < m; ++v) out.emplace_back(u, v), ends.push_back(u), ends.push_back(v);
  for (std::uint64_t t = m; t < n; ++t) {
    std::vector<std::uint64_t> targets;
    while (targets.size() < m) {
      const auto i = rng.choose_index(ends.size());
      const std::uint64_t s = i ? ends[*i] : 0;
      if (std::find(targets.begin(), targets.end(), s) == targets.end()) targets.push_back(s);
    }
    for (const std::uint64_t s : targets) out.emplace_back(t, s), ends.push_back(t), ends.push_back(s);
  }
  return out;
}

// `made` (in the order made) as the graphs list it: what undirected_edges_once
// gives, checked here against building the graph.
Pairs as_listed(std::uint64_t n, const Pairs& made) {
  std::vector<Edge> edges;
  for (const auto& [u, v] : made) edges.push_back({u, v, 1.0});
  return listed(CsrGraph::from_edges(n, edges, true));
}

Pairs pairs_of(const std::vector<Edge>& edges) {
  Pairs out;
  for (const Edge& e : edges) {
    EXPECT_EQ(e.w, 1.0);
    out.emplace_back(e.u, e.v);
  }
  return out;
}

}  // namespace

// The generators, graph and edge list, against the plain models over seeds
// and parameters: edge for edge and in order, each graph simple and of the
// requested size. The plain models are simple by construction and keep the
// models' counts (a rewired pair keeps its smaller end, a new node attaches to
// m distinct earlier ones), so matching them proves those properties too.
// Erdos-Renyi probabilities include multiples of 2^-53 and their neighbours
// (where its integer threshold rounds), a subnormal, 1 and beyond, 0,
// negative and NaN; a NaN beta rewires every pair.
TEST(RandomGraphs, MatchThePlainModels) {
  const double ps[] = {0.5, 0.001, 0.3, 3 * 0x1p-53, std::nextafter(0.25, 1.0), std::nextafter(0.25, 0.0), 0.25,
                       1.0 - 0x1p-53, 0x1p-1074, 1.0, 2.0, 0.0, -1.0, kNaN};
  for (std::uint64_t seed = 0; seed < 12; ++seed) {
    SCOPED_TRACE(seed);
    for (const std::uint64_t n : {0, 1, 2, 37, 300}) {
      for (const double p : ps) {
        const Pairs plain = plain_erdos_renyi(n, p, seed);
        ASSERT_EQ(pairs_of(erdos_renyi_edges(n, p, seed)), plain) << n << " " << p;
        ASSERT_EQ(simple_edges(erdos_renyi(n, p, seed), n), plain) << n << " " << p;
      }
    }
    for (const auto& [n, k] : {std::pair<std::uint64_t, std::uint64_t>{3, 2}, {12, 4}, {9, 8}, {200, 10}, {60, 0}}) {
      for (const double beta : {0.0, 0.2, 0.7, 1.0, kNaN}) {
        const Pairs plain = plain_watts_strogatz(n, k, beta, seed);
        SCOPED_TRACE(testing::Message() << n << " " << k << " " << beta);
        ASSERT_EQ(simple_edges(watts_strogatz(n, k, beta, seed), n), as_listed(n, plain));
        ASSERT_EQ(pairs_of(watts_strogatz_edges(n, k, beta, seed)), as_listed(n, plain));
      }
    }
    for (const auto& [n, m] : {std::pair<std::uint64_t, std::uint64_t>{2, 1}, {30, 1}, {30, 3}, {300, 5}, {40, 39}}) {
      const Pairs plain = plain_barabasi_albert(n, m, seed);
      ASSERT_EQ(simple_edges(barabasi_albert(n, m, seed), n), as_listed(n, plain)) << n << " " << m;
      ASSERT_EQ(pairs_of(barabasi_albert_edges(n, m, seed)), as_listed(n, plain));
    }
  }
}

// Sizes that cannot be allocated are refused before any draw (the refusals of
// k and m are tests/test_generators.py's).
TEST(RandomGraphs, HopelessSizes) {
  EXPECT_THROW(erdos_renyi(std::uint64_t{1} << 40, 0.0, 1), std::bad_alloc);
  EXPECT_THROW(watts_strogatz(std::uint64_t{1} << 40, 2, 0.5, 1), std::bad_alloc);
  EXPECT_THROW(watts_strogatz(std::uint64_t{1} << 33, (std::uint64_t{1} << 33) - 2, 0.5, 1), std::bad_alloc);
  EXPECT_THROW(barabasi_albert(std::uint64_t{1} << 62, std::uint64_t{1} << 61, 1), std::bad_alloc);
  EXPECT_THROW(barabasi_albert(std::uint64_t{1} << 40, 1, 1), std::bad_alloc);
}
