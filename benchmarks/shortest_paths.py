#!/usr/bin/env python3
"""Shortest-path and generator benchmark: quellostrin's floyd_warshall,
bellman_ford, random-graph generators and random_maze_ascii against scipy,
rustworkx, networkx and igraph.

One command runs everything:

    python3 benchmarks/shortest_paths.py            # full size (a few minutes)
    python3 benchmarks/shortest_paths.py --quick    # smoke-test size

Four parts, distances checked (np.allclose) before anything is timed:

* Floyd-Warshall on dense random directed graphs (about 20% of the ordered
  pairs, weights uniform in [1, 10)), n = 500, 1000, 2000 (quick: 200),
  against scipy.sparse.csgraph.floyd_warshall (dense matrix with np.inf for
  non-edges, through csgraph_from_dense), rustworkx floyd_warshall_numpy on a
  PyDiGraph (weight_fn) and networkx floyd_warshall_numpy (n = 500 only).
  Every library starts from the same Python edge list, so the end-to-end time
  includes its graph construction; the query alone is shown where it can be
  separated (for us the call builds its own adjacency inside, so only
  end-to-end is shown). Reading our matrix back is timed apart, not as part
  of the search: as Python lists (matrix()) and as numpy.asarray of the
  result, a view of its table (values checked equal first).
* Bellman-Ford from node 0 on a random directed graph of 10^5 nodes and 10^6
  edges, non-negative weights, against networkx
  single_source_bellman_ford_path_length; scipy.sparse.csgraph.bellman_ford
  (indices=source) makes n full passes over the edges without stopping early
  (about 10^11 relaxations here, minutes), so it is compared, with networkx
  again, on a graph of 10^4 nodes and 10^5 edges.
* Generators at n = 10^4 and (full size) 10^5: Erdos-Renyi p = 0.001,
  Barabasi-Albert m = 3, Watts-Strogatz k = 10 beta = 0.1, against networkx,
  igraph and rustworkx (networkx gnp_random_graph, which draws every pair in
  Python, at 10^4 only).
  Random graphs cannot be compared edge by edge; edge counts are checked to be
  in the expected range. Reported in edges per second.
* random_maze_ascii(2000, 2000, 0.3, 1).
"""

from __future__ import annotations

import argparse
import gc
import random
import statistics
import sys
import time
from collections.abc import Callable
from typing import Any

from common import fmt_time, fmt_vs, import_or_exit
from report import REPORT, Section, ratio, seconds

FW_DENSITY = 0.2
FW_SEED = 4242
BF_SEED = 1717
GEN_SEED = 7


def progress(msg: str) -> None:
    sys.stderr.write(msg)
    sys.stderr.flush()


def median_time(f: Callable[[], Any], reps: int) -> tuple[float, Any]:
    """Median wall time of `reps` calls of f, and the last result."""
    ts = []
    out = None
    for _ in range(reps):
        gc.collect()
        t0 = time.perf_counter()
        out = f()
        ts.append(time.perf_counter() - t0)
    return statistics.median(ts), out


def dense_edges(n: int, density: float, seed: int) -> list[tuple[int, int, float]]:
    rng = random.Random(seed)
    edges = []
    for u in range(n):
        for v in range(n):
            if u != v and rng.random() < density:
                edges.append((u, v, 1.0 + 9.0 * rng.random()))
    return edges


def sparse_edges(n: int, m: int, seed: int) -> list[tuple[int, int, float]]:
    """m random directed edges, a ring first so that every node is reachable; no duplicates."""
    rng = random.Random(seed)
    seen = set()
    edges = []
    for u in range(n):
        v = (u + 1) % n
        seen.add((u, v))
        edges.append((u, v, 1.0 + 99.0 * rng.random()))
    while len(edges) < m:
        u, v = rng.randrange(n), rng.randrange(n)
        if u == v or (u, v) in seen:
            continue
        seen.add((u, v))
        edges.append((u, v, 1.0 + 99.0 * rng.random()))
    return edges


# --------------------------------------------------------------------------
# 1. Floyd-Warshall


def bench_fw(m: dict[str, Any], sizes: list[int], reps: int, check: bool = False) -> dict[int, dict[str, float]]:
    qs, np, csgraph, rx, nx = m["quellostrin"], m["numpy"], m["scipy.sparse.csgraph"], m["rustworkx"], m["networkx"]
    print(f"== Floyd-Warshall: dense random directed graphs, {FW_DENSITY:.0%} of ordered pairs, "
          f"weights in [1, 10); median of {reps}")
    print("  (rustworkx runs in parallel from 300 nodes on, its default parallel_threshold; scipy on one core)")
    print(f"  {'n':>5} {'edges':>9}  {'library':<34} {'end-to-end':>12} {'query alone':>12}  peer/ours (end-to-end)")
    results: dict[int, dict[str, float]] = {}
    for n in sizes:
        r = reps
        progress(f"  n = {n}: edges ...")
        edges = dense_edges(n, FW_DENSITY, FW_SEED + n)

        def build_dense() -> Any:
            a = np.full((n, n), np.inf)
            e = np.array(edges)
            a[e[:, 0].astype(np.intp), e[:, 1].astype(np.intp)] = e[:, 2]
            return csgraph.csgraph_from_dense(a, null_value=np.inf)

        def build_rx() -> Any:
            g = rx.PyDiGraph()
            g.add_nodes_from(range(n))
            g.add_edges_from(edges)
            return g

        def build_nx() -> Any:
            g = nx.DiGraph()
            g.add_nodes_from(range(n))
            g.add_weighted_edges_from(edges)
            return g

        # answers first
        progress(" check ...")
        ours = qs.floyd_warshall(n, edges)
        mat = np.array(ours.matrix())
        ref = csgraph.floyd_warshall(build_dense(), directed=True)
        assert not ours.negative_cycle
        assert np.allclose(mat, ref), f"floyd_warshall n={n}: ours and scipy disagree"
        assert np.array_equal(np.asarray(ours), mat), f"floyd_warshall n={n}: asarray and matrix() disagree"
        rxm = rx.floyd_warshall_numpy(build_rx(), weight_fn=float)
        assert np.allclose(rxm, ref), f"floyd_warshall n={n}: rustworkx and scipy disagree"
        with_nx = n <= 500
        if with_nx:
            nxm = nx.floyd_warshall_numpy(build_nx(), nodelist=list(range(n)))
            assert np.allclose(nxm, ref), f"floyd_warshall n={n}: networkx and scipy disagree"
        i, j = n // 3, n - 1
        assert abs(ours.distance(i, j) - ref[i, j]) < 1e-9
        del mat, ref, rxm
        if check:
            progress("\n")
            continue

        progress(" timing ...")
        row: dict[str, tuple[float, float | None]] = {}
        t_ours, _ = median_time(lambda: qs.floyd_warshall(n, edges), r)
        row["quellostrin floyd_warshall"] = (t_ours, None)
        tb, g = median_time(build_dense, r)
        tq, _ = median_time(lambda: csgraph.floyd_warshall(g, directed=True), r)
        row["scipy csgraph.floyd_warshall"] = (tb + tq, tq)
        tb, g = median_time(build_rx, r)
        tq, _ = median_time(lambda: rx.floyd_warshall_numpy(g, weight_fn=float), r)
        row["rustworkx floyd_warshall_numpy"] = (tb + tq, tq)
        if with_nx:
            tb, g = median_time(build_nx, 1)
            tq, _ = median_time(lambda: nx.floyd_warshall_numpy(g, nodelist=list(range(n))), 1)
            row["networkx floyd_warshall_numpy (1 run)"] = (tb + tq, tq)
        del g
        t_matrix, _ = median_time(ours.matrix, r)
        t_view, _ = median_time(lambda: np.asarray(ours), 21)  # microseconds: more runs for a steady median
        progress("\n")
        for name, (te, tq) in row.items():
            qa = fmt_time(tq) if tq is not None else f"{'-':>12}"
            vs = "" if name.startswith("quellostrin") else fmt_vs(te / t_ours)
            print(f"  {n:>5} {len(edges):>9}  {name:<34} {fmt_time(te):>12} {qa:>12}  {vs}")
        relax = n**3 / t_ours
        print(f"  {'':>5} {'':>9}  ours: {relax / 1e9:.2f} G relaxations/s (n^3 / end-to-end call)")
        print(f"  {'':>5} {'':>9}  {'reading it back: matrix() (lists)':<34} {fmt_time(t_matrix):>12} {'-':>12}")
        print(f"  {'':>5} {'':>9}  {'reading it back: numpy.asarray':<34} {fmt_time(t_view):>12} {'-':>12}  "
              f"matrix() / asarray {t_matrix / t_view:,.0f}x (a view, no copy)")
        results[n] = {k: v[0] for k, v in row.items()} | {"ours": t_ours, "relax": relax, "matrix": t_matrix,
                                                          "asarray": t_view}
    print("  memory: pivots go in blocks of 32; each row takes a whole block's pivots while it stays in cache,")
    print("  against copies of the block's pivot rows (32 rows of 8-byte doubles, 512 KB at n = 2000), so the")
    print("  n x n tables (8-byte distances, 4-byte hops) stream through memory once per 32 pivots, not once")
    print("  per pivot: at n = 2000 (48 MB of tables) about 96 MB read and written per block, 6 GB in all;")
    print("  the rest of the traffic is served from L1/L2.")
    for n, res in results.items():
        print(f"    n = {n}: {res['relax'] / 1e9:.2f} G relaxations/s")
    print()
    return results


# --------------------------------------------------------------------------
# 2. Bellman-Ford


def bench_bf(m: dict[str, Any], n: int, e: int, sn: int, se: int, reps: int,
             check: bool = False) -> tuple[float, float, float]:
    qs, np, sp, csgraph, nx = m["quellostrin"], m["numpy"], m["scipy.sparse"], m["scipy.sparse.csgraph"], m["networkx"]
    print(f"== Bellman-Ford from node 0: random directed graphs (a ring plus random edges, no duplicates), "
          f"weights in [1, 100); median of {reps}")

    def build_csr(nn: int, edges: list[tuple[int, int, float]]) -> Any:
        a = np.array(edges)
        return sp.csr_matrix((a[:, 2], (a[:, 0].astype(np.int32), a[:, 1].astype(np.int32))), shape=(nn, nn))

    def build_nx(nn: int, edges: list[tuple[int, int, float]]) -> Any:
        gg = nx.DiGraph()
        gg.add_nodes_from(range(nn))
        gg.add_weighted_edges_from(edges)
        return gg

    # full size: ours, checked against networkx (scipy's bellman_ford makes n passes over every edge
    # without stopping early, about n * e = 10^11 relaxations here: minutes, so it runs on the smaller graph)
    progress(f"  {n} / {e}: edges ...")
    edges = sparse_edges(n, e, BF_SEED)
    progress(" check ...")
    ours = qs.bellman_ford(n, edges, 0)
    assert not ours.negative_cycle
    gnx = build_nx(n, edges)
    d = nx.single_source_bellman_ford_path_length(gnx, 0)
    od = ours.dist
    assert len(d) == n and all(abs(od[v] - d[v]) < 1e-6 for v in range(n)), "bellman_ford: ours and networkx disagree"
    if check:
        sm = sparse_edges(sn, se, BF_SEED + 1)
        ref = csgraph.bellman_ford(build_csr(sn, sm), directed=True, indices=0)
        assert np.allclose(np.array(qs.bellman_ford(sn, sm, 0).dist), ref), "bellman_ford: ours and scipy disagree"
        progress("\n")
        return 0.0, 0.0, 0.0
    progress(" timing ...")
    t_ours, _ = median_time(lambda: qs.bellman_ford(n, edges, 0), reps)
    t_dist, _ = median_time(lambda: ours.dist, reps)
    tb, gnx = median_time(lambda: build_nx(n, edges), 1)
    tq, _ = median_time(lambda: nx.single_source_bellman_ford_path_length(gnx, 0), 1)
    t_nx_full = tb + tq
    del gnx, d
    progress("\n")
    print(f"  {n} nodes / {e} edges:")
    print(f"  {'library':<44} {'end-to-end':>12} {'query alone':>12}  peer/ours (end-to-end)")
    print(f"  {'quellostrin bellman_ford':<44} {fmt_time(t_ours):>12} {'-':>12}   "
          f"(.dist as a list: {fmt_time(t_dist).strip()} more)")
    print(f"  {'networkx single_source_bellman_ford (1 run)':<44} {fmt_time(t_nx_full):>12} {fmt_time(tq):>12}  "
          f"{fmt_vs(t_nx_full / t_ours)}")
    print("  scipy csgraph.bellman_ford: not run at this size (n full passes over all edges, no early stop;")
    print(f"  about {n * e:.0e} relaxations), see the smaller graph below")

    progress(f"  {sn} / {se}: edges ...")
    sm = sparse_edges(sn, se, BF_SEED + 1)
    progress(" check ...")
    ours_s = qs.bellman_ford(sn, sm, 0)
    ref = csgraph.bellman_ford(build_csr(sn, sm), directed=True, indices=0)
    assert np.allclose(np.array(ours_s.dist), ref), "bellman_ford: ours and scipy disagree"
    d = nx.single_source_bellman_ford_path_length(build_nx(sn, sm), 0)
    assert all(abs(ours_s.dist[v] - d[v]) < 1e-6 for v in range(sn)), "bellman_ford: ours and networkx disagree"
    progress(" timing ...")
    t_ours_s, _ = median_time(lambda: qs.bellman_ford(sn, sm, 0), reps)
    tb, g = median_time(lambda: build_csr(sn, sm), reps)
    tq_sc, _ = median_time(lambda: csgraph.bellman_ford(g, directed=True, indices=0), 1)
    t_scipy = tb + tq_sc
    tb, gnx = median_time(lambda: build_nx(sn, sm), reps)
    tq, _ = median_time(lambda: nx.single_source_bellman_ford_path_length(gnx, 0), reps)
    t_nx = tb + tq
    progress("\n")
    print(f"  {sn} nodes / {se} edges:")
    print(f"  {'quellostrin bellman_ford':<44} {fmt_time(t_ours_s):>12} {'-':>12}")
    print(f"  {'scipy csgraph.bellman_ford (1 run)':<44} {fmt_time(t_scipy):>12} {fmt_time(tq_sc):>12}  "
          f"{fmt_vs(t_scipy / t_ours_s)}")
    print(f"  {'networkx single_source_bellman_ford':<44} {fmt_time(t_nx):>12} {fmt_time(tq):>12}  "
          f"{fmt_vs(t_nx / t_ours_s)}")
    print()
    sec = REPORT.section(
        "Bellman-Ford",
        "From node 0 over random directed graphs (a ring plus random edges, weights in [1, 100)), end to end "
        "from the same Python edge list. scipy's bellman_ford makes n full passes over the edges without "
        "stopping early, so it runs only on the smaller graph (about 10^11 relaxations at the larger size).")
    sec.table("", ["graph", "quellostrin", "scipy / ours", "networkx / ours"], [
        [f"{n:,} nodes, {e:,} edges", seconds(t_ours), "not run", ratio(t_nx_full / t_ours)],
        [f"{sn:,} nodes, {se:,} edges", seconds(t_ours_s), ratio(t_scipy / t_ours_s), ratio(t_nx / t_ours_s)]])
    sec.target(f"scipy / ours, {sn:,} nodes", t_scipy / t_ours_s, 1.0)
    return t_scipy / t_ours_s, min(t_nx / t_ours_s, t_nx_full / t_ours), t_ours


# --------------------------------------------------------------------------
# 3. Generators


def bench_gen(m: dict[str, Any], n: int, reps: int, check: bool = False) -> dict[str, dict[str, float]]:
    """Prints the table; returns the median time of every library per model (nothing timed with
    `check`, which only runs each once and checks the edge counts). networkx gnp_random_graph draws every
    pair in Python, so above 10^4 nodes it is left out."""
    qs, nx, rx, ig = m["quellostrin"], m["networkx"], m["rustworkx"], m.get("igraph")
    with_gnp = n <= 10_000
    p, ba_m, ws_k, ws_b = 0.001, 3, 10, 0.1
    print(f"== Generators at n = {n}: Erdos-Renyi p = {p}, Barabasi-Albert m = {ba_m}, "
          f"Watts-Strogatz k = {ws_k} beta = {ws_b}; median of {reps}")
    if ig is None:
        print("  (igraph is not installed: left out)")
    exp_er = p * n * (n - 1) / 2
    er_lo, er_hi = exp_er - 6 * exp_er**0.5, exp_er + 6 * exp_er**0.5
    ba_lo, ba_hi = ba_m * (n - ba_m) - ba_m * ba_m, ba_m * n + ba_m * ba_m
    ws_exp = n * ws_k // 2
    models: dict[str, tuple[tuple[float, float], list[tuple[str, Callable[[int], Any], Callable[[Any], int]]]]] = {
        "Erdos-Renyi": ((er_lo, er_hi), [
            ("quellostrin gen_erdos_renyi", lambda s: qs.gen_erdos_renyi(n, p, s), len),
        ] + ([("networkx gnp_random_graph", lambda s: nx.gnp_random_graph(n, p, seed=s),
               lambda g: g.number_of_edges())] if with_gnp else []) + [
            ("networkx fast_gnp_random_graph", lambda s: nx.fast_gnp_random_graph(n, p, seed=s),
             lambda g: g.number_of_edges()),
            ("rustworkx undirected_gnp_random_graph", lambda s: rx.undirected_gnp_random_graph(n, p, seed=s),
             lambda g: g.num_edges()),
        ] + ([("igraph Graph.Erdos_Renyi", lambda s: (ig.set_random_number_generator(random.Random(s)),
                                                      ig.Graph.Erdos_Renyi(n=n, p=p))[1], lambda g: g.ecount())]
             if ig else [])),
        "Barabasi-Albert": ((ba_lo, ba_hi), [
            ("quellostrin gen_barabasi_albert", lambda s: qs.gen_barabasi_albert(n, ba_m, s), len),
            ("networkx barabasi_albert_graph", lambda s: nx.barabasi_albert_graph(n, ba_m, seed=s),
             lambda g: g.number_of_edges()),
            ("rustworkx barabasi_albert_graph", lambda s: rx.barabasi_albert_graph(n, ba_m, seed=s),
             lambda g: g.num_edges()),
        ] + ([("igraph Graph.Barabasi", lambda s: ig.Graph.Barabasi(n, ba_m), lambda g: g.ecount())] if ig else [])),
        "Watts-Strogatz": ((ws_exp * 0.98, ws_exp), [
            ("quellostrin gen_watts_strogatz", lambda s: qs.gen_watts_strogatz(n, ws_k, ws_b, s), len),
            ("networkx watts_strogatz_graph", lambda s: nx.watts_strogatz_graph(n, ws_k, ws_b, seed=s),
             lambda g: g.number_of_edges()),
        ] + ([("igraph Graph.Watts_Strogatz", lambda s: ig.Graph.Watts_Strogatz(1, n, ws_k // 2, ws_b),
               lambda g: g.ecount())] if ig else [])),
    }
    if ig is not None:
        ig.set_random_number_generator(random.Random(GEN_SEED))
    print(f"  {'model':<16} {'library':<40} {'edges':>8} {'time':>12} {'edges/s':>10}  peer/ours")
    times: dict[str, dict[str, float]] = {}
    for model, ((lo, hi), cases) in models.items():
        t_ours = None
        times[model] = {}
        for name, make, count in cases:
            ecount = count(make(GEN_SEED))
            note = "" if lo <= ecount <= hi else f"  (edge count outside expected [{lo:.0f}, {hi:.0f}])"
            if name.startswith("quellostrin"):
                assert lo <= ecount <= hi, f"{name}: {ecount} edges, expected {lo:.0f}..{hi:.0f}"
            if check:
                continue
            seeds = iter(range(GEN_SEED, GEN_SEED + reps))
            t, _ = median_time(lambda: make(next(seeds)), reps)
            if t_ours is None:
                t_ours = t
                vs = ""
            else:
                vs = fmt_vs(t / t_ours)
            times[model][name] = t
            print(f"  {model:<16} {name:<40} {ecount:>8} {fmt_time(t):>12} {ecount / t / 1e6:>8.2f} M  {vs}{note}")
    print("  (igraph's Watts_Strogatz rewires with possible multi-edges; igraph draws from Python's random)")
    if not with_gnp:
        print("  (networkx gnp_random_graph left out at this size: n(n-1)/2 draws in Python, minutes)")
    print()
    return times


# --------------------------------------------------------------------------
# 4. Maze


def bench_maze(qs: Any, w: int, h: int, reps: int) -> None:
    print(f"== random_maze_ascii({w}, {h}, 0.3, 1); median of {reps}")
    s = qs.random_maze_ascii(w, h, 0.3, 1)
    cells = w * h
    walls = s.count("#")
    t, _ = median_time(lambda: qs.random_maze_ascii(w, h, 0.3, 1), reps)
    print(f"  {fmt_time(t)}  {cells / t / 1e6:.1f} M cells/s, {len(s)} characters, {walls / cells:.1%} '#'")
    print()


def report_fw(fw: dict[int, dict[str, float]]) -> None:
    sec = REPORT.section(
        "Floyd-Warshall",
        f"Dense random directed graphs ({FW_DENSITY:.0%} of the ordered pairs, weights in [1, 10)), end to end: "
        "every library starts from the same Python edge list. scipy builds a dense matrix through NumPy and "
        "runs on one core; rustworkx runs in parallel on both.")
    peers = ["scipy csgraph.floyd_warshall", "rustworkx floyd_warshall_numpy", "networkx floyd_warshall_numpy (1 run)"]
    sec.table("", ["n", "quellostrin", "scipy / ours", "rustworkx / ours", "networkx / ours"],
              [[n, seconds(r["ours"]), *[ratio(r[p] / r["ours"]) if p in r else "-" for p in peers]]
               for n, r in fw.items()])
    if 2000 in fw:
        for p in peers[:2]:
            sec.target(f"{p.split()[0]} / ours at n = 2000", fw[2000][p] / fw[2000]["ours"], 2.0)
    sec.table("Reading the n x n distances back: matrix() builds Python lists, numpy.asarray views the table",
              ["n", "matrix()", "numpy.asarray", "matrix() / asarray"],
              [[n, seconds(r["matrix"]), seconds(r["asarray"]), ratio(r["matrix"] / r["asarray"])]
               for n, r in fw.items()])
    if 2000 in fw:
        sec.target("numpy.asarray of the n = 2000 result", fw[2000]["asarray"] * 1e3, 5.0, unit=" ms",
                   at_most=True)
    plot = sec.plot("floyd_warshall_vs_n", "Floyd-Warshall, end to end", "nodes n", "time (s)")
    for n, r in fw.items():
        for name, t in r.items():
            if name.startswith(("quellostrin", "scipy", "rustworkx", "networkx")):
                plot.add(name.split(" (")[0], n, t)


def report_gen(gen: dict[int, dict[str, dict[str, float]]]) -> None:
    sec: Section = REPORT.section(
        "Random graph generators",
        "Erdos-Renyi p = 0.001, Barabasi-Albert m = 3, Watts-Strogatz k = 10 beta = 0.1; ours returns the edge "
        "list, the peers their graph objects. Random graphs cannot be compared edge by edge, so edge counts "
        "are checked to lie in the expected range. Our Erdos-Renyi draws one number for every pair of nodes "
        "(so that a seed fixes the graph), as networkx's gnp_random_graph does; fast_gnp_random_graph skips "
        "ahead between edges, so its work grows with the edges instead of the pairs.")
    rows = []
    for n, models in gen.items():
        for model, times in models.items():
            ours = next(v for k, v in times.items() if k.startswith("quellostrin"))
            rows.append([f"{n:,}", model, seconds(ours),
                         ", ".join(f"{k}: {ratio(v / ours)}" for k, v in times.items() if not k.startswith("quellostrin"))])
            if n == max(gen):
                for peer, goal_model in (("networkx barabasi_albert_graph", "Barabasi-Albert"),
                                         ("networkx watts_strogatz_graph", "Watts-Strogatz"),
                                         ("networkx fast_gnp_random_graph", "Erdos-Renyi")):
                    if model == goal_model and peer in times:
                        sec.target(f"{peer} / ours at n = {n:,}", times[peer] / ours, 10.0)
    sec.table("", ["n", "model", "quellostrin", "peer / ours"], rows)
    for model in next(iter(gen.values())):
        plot = sec.plot(f"generators_{model.lower().replace('-', '_')}", f"{model} generator", "nodes n",
                        "time (s)")
        for n, models in gen.items():
            for name, t in models.get(model, {}).items():
                plot.add(name, n, t)


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="smoke-test size")
    ap.add_argument("--reps", type=int, default=None, help="timing repetitions (default 3, quick 1)")
    ap.add_argument("--check", action="store_true", help="check the answers against the peers, time nothing")
    args = ap.parse_args(argv)
    sys.stdout.reconfigure(line_buffering=True)  # type: ignore[attr-defined]
    reps = args.reps if args.reps is not None else (1 if args.quick else 3)
    mods = import_or_exit("benchmarks/shortest_paths.py",
                          ["quellostrin", "numpy", "scipy", "scipy.sparse", "scipy.sparse.csgraph", "networkx",
                           "rustworkx"])
    try:
        import igraph  # type: ignore[import-not-found]

        mods["igraph"] = igraph
    except ImportError:
        pass
    qs = mods["quellostrin"]
    print("Shortest paths and generators: floyd_warshall, bellman_ford, gen_*, random_maze_ascii")
    print(f"quellostrin {getattr(qs, '__version__', '?')}, scipy {mods['scipy'].__version__}, "
          f"rustworkx {mods['rustworkx'].__version__}, networkx {mods['networkx'].__version__}, "
          f"igraph {mods['igraph'].__version__ if 'igraph' in mods else '(not installed)'}, "
          f"Python {sys.version.split()[0]}")
    print()

    fw_sizes = [200] if args.quick or args.check else [500, 1000, 2000]
    fw = bench_fw(mods, fw_sizes, reps, args.check)
    if args.quick or args.check:
        bf = bench_bf(mods, 10_000, 100_000, 2_000, 20_000, reps, args.check)
    else:
        bf = bench_bf(mods, 100_000, 1_000_000, 10_000, 100_000, reps)
    gen_sizes = [10_000] if args.quick or args.check else [1_000, 10_000, 100_000]
    gen = {n: bench_gen(mods, n, max(reps, 3), args.check) for n in gen_sizes}
    if args.check:
        return 0
    bench_maze(qs, *((500, 500) if args.quick else (2000, 2000)), reps=max(reps, 3))
    report_fw(fw)
    report_gen(gen)

    print("summary:")
    for n in (1000, 2000):
        if n in fw:
            r = fw[n]
            met = r["ours"] < r["scipy csgraph.floyd_warshall"] and r["ours"] < r["rustworkx floyd_warshall_numpy"]
            close = min(r["scipy csgraph.floyd_warshall"], r["rustworkx floyd_warshall_numpy"]) / r["ours"] < 1.05
            print(f"  floyd_warshall n = {n} faster than scipy and rustworkx (end-to-end): {'MET' if met else 'MISSED'}"
                  f"{' (within noise)' if close else ''} "
                  f"(scipy/ours {r['scipy csgraph.floyd_warshall'] / r['ours']:.3g}x, "
                  f"rustworkx/ours {r['rustworkx floyd_warshall_numpy'] / r['ours']:.3g}x)")
    if 2000 in fw:
        print(f"  numpy.asarray of the n = 2000 result under 5 ms: {'MET' if fw[2000]['asarray'] < 5e-3 else 'MISSED'} "
              f"({fmt_time(fw[2000]['asarray']).strip()}; matrix() {fmt_time(fw[2000]['matrix']).strip()})")
    print(f"  bellman_ford faster than scipy and networkx: {'MET' if min(bf[0], bf[1]) > 1 else 'MISSED'} "
          f"(scipy/ours {bf[0]:.3g}x on the smaller graph, networkx/ours {bf[1]:.3g}x at worst)")
    for n, times in gen.items():
        print(f"  generators at n = {n}, networkx/ours: " + ", ".join(
            f"{model} {t[peer] / ours:.3g}x ({peer.split()[1]})" for model, t in times.items()
            for ours in [next(v for k, v in t.items() if k.startswith("quellostrin"))]
            for peer in t if peer.startswith("networkx")))
    if args.quick:
        print("(--quick: a smoke test with small sizes and one repetition)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
