// Seeded random graphs: G(n, p), the Watts-Strogatz small world and
// Barabasi-Albert preferential attachment. Each returns an undirected
// CsrGraph over 0..n-1 with every edge of weight 1.0, built from an edge list
// with each undirected edge listed once, and is a pure function of its
// arguments and seed: the generator is a fresh ChaCha8Rng::seed_from_u64(seed)
// drawn from in a fixed order, and the sets the models keep iterate in
// insertion order (a removed entry leaves the order; every insertion, a
// re-insertion included, goes to the end).
//
// Refusals: InputError "k must be even and < n" (watts_strogatz) and "need
// n > m >= 1" (barabasi_albert). An output (edge list and adjacency; for
// erdos_renyi its expected size) that would not fit in physical memory is
// refused with OutOfMemory (memory.hpp) before the first draw.
#pragma once

#include <cstdint>
#include <vector>

#include "quellostrin/domains/csr.hpp"
#include "quellostrin/search/stop.hpp"

namespace quellostrin {

// Every pair u < v in lexicographic order gets one uniform double x and is an
// edge when x < p; n(n-1)/2 draws whatever p is (p is not checked). `stop`,
// when set, is polled before each u's row of pairs; when it answers true the
// graph built so far is returned, incomplete, for the caller to discard.
CsrGraph erdos_renyi(std::uint64_t n, double p, std::uint64_t seed, const StopHook& stop = {});

// Ring lattice (u joined to u+1 .. u+k/2 mod n), then each lattice pair
// (a, b), a < b, in order: one uniform double x; unless x >= beta (so a NaN
// beta rewires every pair), (a, b) is removed and (a, w) inserted for the
// first w drawn below n with w != a and (a, w) not an edge. n*k/2 edges.
// `stop`, when set, is polled as a StopGate polls it, counting the pairs
// considered for rewiring; when it answers true an empty graph is returned for
// the caller to discard.
CsrGraph watts_strogatz(std::uint64_t n, std::uint64_t k, double beta, std::uint64_t seed,
                        const StopHook& stop = {});

// A clique on 0..m-1, then each node t = m..n-1 joined to m distinct earlier
// nodes drawn from the list of edge endpoints (node 0, without a draw, while
// that list is empty). m(m-1)/2 + (n-m)m edges. `stop` as for
// watts_strogatz, counting the nodes t.
CsrGraph barabasi_albert(std::uint64_t n, std::uint64_t m, std::uint64_t seed, const StopHook& stop = {});

// The same three graphs as edge lists, without building the graph: exactly
// undirected_edges_once of the graph's edges, that is what the graph's
// edges() lists with u < v, in that order. Draws, refusals and `stop` as
// above (a stopped run returns a list for the caller to discard).
std::vector<Edge> erdos_renyi_edges(std::uint64_t n, double p, std::uint64_t seed, const StopHook& stop = {});
std::vector<Edge> watts_strogatz_edges(std::uint64_t n, std::uint64_t k, double beta, std::uint64_t seed,
                                       const StopHook& stop = {});
std::vector<Edge> barabasi_albert_edges(std::uint64_t n, std::uint64_t m, std::uint64_t seed,
                                        const StopHook& stop = {});

}  // namespace quellostrin
