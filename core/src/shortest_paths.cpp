#include "quellostrin/shortest_paths.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <new>

#include "quellostrin/errors.hpp"
#include "quellostrin/memory.hpp"
#include "quellostrin/search/indexed_search.hpp"
#include "quellostrin/search/monotone_queue.hpp"
#include "quellostrin/search/packed_heap.hpp"
#include "quellostrin/search/stop.hpp"

namespace quellostrin {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
// next_hop while the main loop runs: a plain 32-bit array with this for
// "absent", so that the row update is a branch-free select and moves half the
// bytes of 64-bit hops. Any n that passes check_all_pairs_size is below 2^30
// on any machine with less than 2^63 bytes of memory, so every node number
// fits with room for the marker.
using Hop = std::uint32_t;
constexpr Hop kNoHop = std::numeric_limits<Hop>::max();
// Pivots per block of the main loop: 32 copied rows of a 2000-node table take
// 512 KB, which stays in a 1 MB L2 beside the row being updated.
constexpr std::size_t kPivotBlock = 32;

void refuse_negative_infinity(std::uint64_t u, std::uint64_t v, double w) {
  if (w == -kInf) fail_input("edge ({}, {}) has weight -inf", u, v);
}

// Every adjacency entry of `graph` in CsrGraph::edges() order, without
// copying the list: f(u, v, w) for each; stops early when f returns true.
template <class F>
bool for_each_edge(const CsrGraph& graph, F&& f) {
  const auto& offsets = graph.offsets();
  const auto& targets = graph.targets();
  const auto& weights = graph.weights();
  const std::uint64_t n = graph.node_count();
  for (std::uint64_t u = 0; u < n; ++u) {
    for (std::uint64_t e = offsets[u]; e < offsets[u + 1]; ++e) {
      if (f(u, targets[e], weights[e])) return true;
    }
  }
  return false;
}

void refuse_negative_infinity(const CsrGraph& graph) {
  for_each_edge(graph, [](std::uint64_t u, std::uint64_t v, double w) {
    refuse_negative_infinity(u, v, w);
    return false;
  });
}

// dist[i][j] through k for one row i != k: row i and row k never overlap, and
// with dist[i][k] hoisted into `d` no element depends on another (j == k
// rewrites dist[i][k] only from d + dist[k][k], and hop with itself), so the
// j loop is a plain min-plus update that vectorises. Written as selects so
// that NaN compares exactly as the branchy form does (c < x is false).
[[gnu::target_clones("arch=x86-64-v4", "avx2", "default")]]
void relax_row(double* __restrict di, Hop* __restrict hi, const double* __restrict dk, double d, Hop hop,
               std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    const double c = d + dk[j];
    const bool better = c < di[j];
    di[j] = better ? c : di[j];
    hi[j] = better ? hop : hi[j];
  }
}

// Four consecutive pivots k..k+3 on one row i outside them, in one pass: each
// entry takes the four updates in pivot order, exactly as four relax_row calls
// would apply them, while the row is loaded and stored once. d[g] and hop[g]
// must be dist[i][k+g] and its hop as they stand after pivots k..k+g-1 (for
// j == k+g the loop recomputes that same value before pivot k+g reads the
// entry), and all four d[g] finite, since a skipped pivot would not be skipped
// here.
[[gnu::target_clones("arch=x86-64-v4", "avx2", "default")]]
void relax_row4(double* __restrict di, Hop* __restrict hi, const double* __restrict d0, const double* __restrict d1,
                const double* __restrict d2, const double* __restrict d3, const double* d, const Hop* hop,
                std::size_t n) {
  const double a0 = d[0], a1 = d[1], a2 = d[2], a3 = d[3];
  const Hop h0 = hop[0], h1 = hop[1], h2 = hop[2], h3 = hop[3];
  for (std::size_t j = 0; j < n; ++j) {
    double x = di[j];
    Hop h = hi[j];
    double c = a0 + d0[j];
    bool better = c < x;
    x = better ? c : x;
    h = better ? h0 : h;
    c = a1 + d1[j];
    better = c < x;
    x = better ? c : x;
    h = better ? h1 : h;
    c = a2 + d2[j];
    better = c < x;
    x = better ? c : x;
    h = better ? h2 : h;
    c = a3 + d3[j];
    better = c < x;
    x = better ? c : x;
    h = better ? h3 : h;
    di[j] = x;
    hi[j] = h;
  }
}

// The same for row k itself (i == k): each entry reads only itself and
// d = dist[k][k], so the in-place result matches the plain loop.
void relax_pivot_row(double* di, Hop* hi, double d, Hop hop, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    const double c = d + di[j];
    if (c < di[j]) {
      di[j] = c;
      hi[j] = hop;
    }
  }
}

}  // namespace

void check_no_negative_infinity(std::span<const Edge> edges) {
  for (const Edge& e : edges) refuse_negative_infinity(e.u, e.v, e.w);
}

void check_single_source_size(std::uint64_t num_nodes) {
  // dist and pred, beside the graph's own arrays (which CsrGraph checks).
  require_memory(size_mul(num_nodes, sizeof(double) + sizeof(std::optional<std::uint64_t>)),
                 "the distances and predecessors of {} nodes", num_nodes);
}

void check_all_pairs_size(std::uint64_t num_nodes) {
  // dist, the working hop array and the result's next_hop live together.
  require_memory(size_mul(size_mul(num_nodes, num_nodes),
                          sizeof(double) + sizeof(Hop) + sizeof(std::optional<std::uint64_t>)),
                 "the {}\u00d7{} distance and next-hop tables", num_nodes, num_nodes);
}

std::optional<std::vector<std::uint64_t>> ShortestPaths::path_to(std::uint64_t target) const {
  const std::uint64_t n = dist.size();
  if (target >= n || !std::isfinite(dist[target])) return std::nullopt;
  std::vector<std::uint64_t> path{target};
  for (std::optional<std::uint64_t> p = pred[target]; p; p = pred[*p]) {
    path.push_back(*p);
    if (path.size() > n) return std::nullopt;  // n + 1 nodes: the predecessors loop
  }
  std::reverse(path.begin(), path.end());
  return path;
}

namespace {
bool stop_now(const StopHook& stop) { return stop.poll && stop.poll(stop.context); }
}  // namespace

ShortestPaths bellman_ford(const CsrGraph& graph, std::uint64_t source, const StopHook& stop) {
  const std::uint64_t n = graph.node_count();
  check_single_source_size(n);
  refuse_negative_infinity(graph);

  ShortestPaths out;
  out.dist.assign(n, kInf);
  out.pred.assign(n, std::nullopt);
  out.source = source;
  if (source >= n) return out;

  std::vector<double>& dist = out.dist;
  std::vector<std::optional<std::uint64_t>>& pred = out.pred;
  dist[source] = 0.0;
  // A node's edges are passed over while its distance is what it was when
  // they were last relaxed: each of their targets then already holds at most
  // w + dist[u] (distances only go down), so none of them would relax (nor
  // would any from a distance that is not finite, then as now). The passes
  // make exactly the relaxations of the plain loop over every edge, in its
  // order, and so end after the same pass.
  std::vector<std::uint8_t> dirty(n, 0);
  dirty[source] = 1;
  const auto& offsets = graph.offsets();
  const auto& targets = graph.targets();
  const auto& weights = graph.weights();
  for (std::uint64_t pass = 1; pass < n; ++pass) {
    if (stop_now(stop)) {
      out.cancelled = true;
      return out;
    }
    bool changed = false;
    for (std::uint64_t u = 0; u < n; ++u) {
      if (!dirty[u]) continue;
      dirty[u] = 0;
      // dist[u] is read per edge: a self-loop can lower it midway.
      for (std::uint64_t e = offsets[u]; e < offsets[u + 1]; ++e) {
        if (!std::isfinite(dist[u])) continue;
        const std::uint64_t v = targets[e];
        const double candidate = weights[e] + dist[u];
        if (candidate < dist[v]) {
          dist[v] = candidate;
          pred[v] = u;
          dirty[v] = 1;
          changed = true;
        }
      }
    }
    if (!changed) break;
  }
  // An edge that still relaxes leads off a negative cycle: every node it
  // reaches has no shortest distance (-inf) and no shortest path.
  std::vector<std::uint8_t> unbounded(n, 0);
  std::vector<std::uint64_t> todo;
  for_each_edge(graph, [&](std::uint64_t u, std::uint64_t v, double w) {
    if (std::isfinite(dist[u]) && w + dist[u] < dist[v] && !unbounded[v]) {
      unbounded[v] = 1;
      todo.push_back(v);
    }
    return false;
  });
  out.negative_cycle = !todo.empty();
  while (!todo.empty()) {
    const std::uint64_t u = todo.back();
    todo.pop_back();
    for (std::uint64_t e = offsets[u]; e < offsets[u + 1]; ++e) {
      const std::uint64_t v = targets[e];
      if (!unbounded[v] && weights[e] == weights[e]) {  // a NaN edge is never taken
        unbounded[v] = 1;
        todo.push_back(v);
      }
    }
  }
  for (std::uint64_t v = 0; v < n; ++v) {
    if (unbounded[v]) {
      dist[v] = -kInf;
      pred[v].reset();
    }
  }
  return out;
}

ShortestPaths dijkstra(const CsrGraph& graph, std::uint64_t source, const StopHook& stop) {
  const std::uint64_t n = graph.node_count();
  check_single_source_size(n);
  ShortestPaths out;
  out.dist.assign(n, kInf);
  out.pred.assign(n, std::nullopt);
  out.source = source;
  if (source >= n) return out;
  // The heap's entries hold 32-bit node numbers and push counts (at most one
  // push per adjacency entry, and the source's).
  if (n > UINT32_MAX || graph.entry_count() >= UINT32_MAX) {
    fail_input("dijkstra takes graphs of fewer than 2^32 nodes and edges");
  }

  std::vector<double>& dist = out.dist;
  std::vector<std::uint8_t> settled(n, 0);
  const auto& offsets = graph.offsets();
  const auto& targets = graph.targets();
  const auto& weights = graph.weights();
  // Labels only grow from the source's 0 by non-negative weights: the
  // bucketed queue of the indexed searches fits.
  detail::MonotoneQueue heap;
  heap.begin(0.0, detail::monotone_bucket_width(detail::MoveCosts{graph.min_weight(), graph.max_abs_weight(),
                                                                  graph.has_nan_weight()}));
  std::uint64_t seq = 0, done = 0;
  StopGate gate(Limits{std::nullopt, stop, std::nullopt});
  dist[source] = 0.0;
  heap.push(detail::packed_entry(0.0, seq++, static_cast<std::uint32_t>(source)), 0.0);
  while (!heap.empty()) {
    const auto u = detail::packed_index(heap.pop());
    if (settled[u]) continue;
    settled[u] = 1;
    if (gate.cancelled(++done)) {
      out.cancelled = true;
      return out;
    }
    const double du = dist[u];
    for (std::uint64_t e = offsets[u]; e < offsets[u + 1]; ++e) {
      const std::uint64_t v = targets[e];
      const double candidate = du + weights[e];
      if (candidate < dist[v]) {
        dist[v] = candidate;
        out.pred[v] = u;
        heap.push(detail::packed_entry(candidate, seq++, static_cast<std::uint32_t>(v)), candidate);
      }
    }
  }
  return out;
}

double AllPairs::distance(std::uint64_t from, std::uint64_t to) const {
  if (from >= num_nodes || to >= num_nodes) return kInf;
  return dist[from * num_nodes + to];
}

std::optional<std::vector<std::uint64_t>> AllPairs::path(std::uint64_t from, std::uint64_t to) const {
  const std::uint64_t n = num_nodes;
  if (from >= n || to >= n || !std::isfinite(dist[from * n + to])) return std::nullopt;
  std::vector<std::uint64_t> out{from};
  for (std::uint64_t current = from; current != to;) {
    const std::optional<std::uint64_t> hop = next_hop[current * n + to];
    if (!hop) return std::nullopt;
    out.push_back(*hop);
    if (out.size() > n) return std::nullopt;  // n + 1 nodes: the hops loop
    current = *hop;
  }
  return out;
}

std::vector<std::vector<double>> AllPairs::matrix() const {
  std::vector<std::vector<double>> rows;
  rows.reserve(num_nodes);
  for (std::uint64_t i = 0; i < num_nodes; ++i) {
    const auto first = dist.begin() + static_cast<std::ptrdiff_t>(i * num_nodes);
    rows.emplace_back(first, first + static_cast<std::ptrdiff_t>(num_nodes));
  }
  return rows;
}

AllPairs floyd_warshall(const CsrGraph& graph, const StopHook& stop) {
  const std::uint64_t n = graph.node_count();
  check_all_pairs_size(n);
  refuse_negative_infinity(graph);
  const std::size_t cells = static_cast<std::size_t>(n * n);
  const std::size_t width = static_cast<std::size_t>(n);

  AllPairs out;
  out.num_nodes = n;
  out.dist.assign(cells, kInf);
  std::vector<Hop> hop(cells, kNoHop);
  std::vector<double>& dist = out.dist;
  for (std::size_t i = 0; i < width; ++i) dist[i * width + i] = 0.0;
  for_each_edge(graph, [&](std::uint64_t u, std::uint64_t v, double w) {
    const std::size_t at = static_cast<std::size_t>(u * n + v);
    if (w < dist[at]) {
      dist[at] = w;
      hop[at] = static_cast<Hop>(v);
    }
    return false;
  });

  // Pivots go in blocks of kPivotBlock. Within a block, first the block's own
  // rows take the block's pivots in the plain k, i order, and a copy of each
  // pivot row is kept as every other row would have read it: before its own
  // pivot for the rows above it, after for the rows below (the two differ only
  // when dist[k][k] < 0). Then every other row takes the block's pivots one
  // after another while it stays in cache, reading those copies. Each row sees
  // the same operations on the same values in the same order as in the plain
  // triple loop (a row is only ever written by its own updates, and it reads
  // only itself and pivot rows), so the results are identical to the bit, and
  // the tables stream through memory once per block instead of once per pivot.
  const std::size_t block = std::min(width, kPivotBlock);
  std::vector<double> before(block * width), after(block * width);
  std::vector<const double*> after_row(block);
  for (std::size_t k0 = 0; k0 < width; k0 += block) {
    const std::size_t k1 = std::min(width, k0 + block);
    for (std::size_t k = k0; k < k1; ++k) {
      if (stop_now(stop)) {
        out.cancelled = true;
        return out;
      }
      double* dk = dist.data() + k * width;
      double* dk_before = before.data() + (k - k0) * width;
      std::copy(dk, dk + width, dk_before);
      for (std::size_t i = k0; i < k1; ++i) {
        double* di = dist.data() + i * width;
        const double d = di[k];
        if (!std::isfinite(d)) continue;
        Hop* hi = hop.data() + i * width;
        if (i == k) {
          relax_pivot_row(di, hi, d, hi[k], width);
        } else {
          relax_row(di, hi, dk, d, hi[k], width);
        }
      }
      // Row k changes under its own pivot only when dist[k][k] < 0.
      if (dk_before[k] < 0.0) {
        double* dk_after = after.data() + (k - k0) * width;
        std::copy(dk, dk + width, dk_after);
        after_row[k - k0] = dk_after;
      } else {
        after_row[k - k0] = dk_before;
      }
    }
    const auto rest_of_block = [&](std::size_t i) {
      double* di = dist.data() + i * width;
      Hop* hi = hop.data() + i * width;
      const auto row_of = [&](std::size_t k) { return i < k0 ? before.data() + (k - k0) * width : after_row[k - k0]; };
      std::size_t k = k0;
      // Groups of four pivots in one pass when all four apply: the entries
      // dist[i][k..k+3] are brought forward through the group's earlier
      // pivots first, one entry at a time, as the plain loop would leave them.
      for (; k + 4 <= k1; k += 4) {
        double d[4];
        Hop h[4];
        bool all = true;
        for (std::size_t g = 0; g < 4 && all; ++g) {
          d[g] = di[k + g];
          h[g] = hi[k + g];
          for (std::size_t f = 0; f < g; ++f) {
            const double c = d[f] + row_of(k + f)[k + g];
            if (c < d[g]) {
              d[g] = c;
              h[g] = h[f];
            }
          }
          all = std::isfinite(d[g]);
        }
        if (all) {
          relax_row4(di, hi, row_of(k), row_of(k + 1), row_of(k + 2), row_of(k + 3), d, h, width);
          continue;
        }
        for (std::size_t f = k; f < k + 4; ++f) {
          const double df = di[f];
          if (std::isfinite(df)) relax_row(di, hi, row_of(f), df, hi[f], width);
        }
      }
      for (; k < k1; ++k) {
        const double dd = di[k];
        if (std::isfinite(dd)) relax_row(di, hi, row_of(k), dd, hi[k], width);
      }
    };
    for (std::size_t i = 0; i < k0; ++i) rest_of_block(i);
    for (std::size_t i = k1; i < width; ++i) rest_of_block(i);
  }

  // A pair (i, j) whose walks pass a node k on a negative cycle (dist[k][k]
  // < 0, with i reaching k and k reaching j) has no shortest distance: -inf,
  // and no path. Reaching is read off the edges (those the tables took: not
  // NaN), not off the distances, which a sum past the range of doubles can
  // leave +inf or -inf where a walk exists.
  std::vector<std::size_t> on_cycle;
  for (std::size_t k = 0; k < width; ++k) {
    if (dist[k * width + k] < 0.0) on_cycle.push_back(k);
  }
  out.negative_cycle = !on_cycle.empty();
  if (out.negative_cycle) {
    if (stop_now(stop)) {
      out.cancelled = true;
      return out;
    }
    const std::size_t words = (width + 63) / 64;
    std::vector<std::uint64_t> reach(width * words, 0);
    const auto row = [&](std::size_t i) { return reach.data() + i * words; };
    const auto bit = [](const std::uint64_t* r, std::size_t j) { return (r[j / 64] >> (j % 64) & 1) != 0; };
    for (std::size_t i = 0; i < width; ++i) row(i)[i / 64] |= std::uint64_t{1} << (i % 64);
    for_each_edge(graph, [&](std::uint64_t u, std::uint64_t v, double w) {
      if (w == w) row(u)[v / 64] |= std::uint64_t{1} << (v % 64);
      return false;
    });
    // Warshall's transitive closure, a word at a time.
    for (std::size_t k = 0; k < width; ++k) {
      const std::uint64_t* rk = row(k);
      for (std::size_t i = 0; i < width; ++i) {
        std::uint64_t* ri = row(i);
        if (!bit(ri, k)) continue;
        for (std::size_t x = 0; x < words; ++x) ri[x] |= rk[x];
      }
    }
    std::vector<std::uint64_t> through(words);
    for (std::size_t i = 0; i < width; ++i) {
      std::fill(through.begin(), through.end(), 0);
      for (const std::size_t k : on_cycle) {
        if (!bit(row(i), k)) continue;
        for (std::size_t x = 0; x < words; ++x) through[x] |= row(k)[x];
      }
      for (std::size_t j = 0; j < width; ++j) {
        if (bit(through.data(), j)) {
          dist[i * width + j] = -kInf;
          hop[i * width + j] = kNoHop;
        }
      }
    }
  }
  out.next_hop.resize(cells);
  for (std::size_t at = 0; at < cells; ++at) {
    if (hop[at] != kNoHop) out.next_hop[at] = hop[at];
  }
  return out;
}

}  // namespace quellostrin
