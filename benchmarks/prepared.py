#!/usr/bin/env python3
"""Prepared objects: build once, query many.

    python3 benchmarks/prepared.py            # the sizes the targets are set for
    python3 benchmarks/prepared.py --quick    # fewer repetitions (smoke test)
    python3 benchmarks/prepared.py --check    # the answers only, nothing timed

Per-query times of Grid, Graph and WordList built once, against peers that
also build once (networkx graphs, a scipy csr_matrix, a rustworkx graph,
pyastar2d's weight array), on the same queries in the same run; every answer
is checked against the peers' (or the Moving AI optimum) before anything is
timed. Reported as medians of interleaved repetitions and ratios:

* Grid, the 24 Moving AI scenarios per map of benchmarks/grid.py (A*,
  8-connected, octile, record=False): per query against networkx
  ``astar_path_length`` on a prebuilt graph (target 100x);
* Grid, a query between two adjacent open cells of maze512-32-9 (target
  <= 5 us), beside pyastar2d on the same cells;
* Grid.search_many on a batch of maze512-32-9 scenarios: workers=2 against
  workers=1 (target 1.8x) and workers=1 against a Python loop over .search;
* Graph, the 10^5-node, 5*10^5-edge graph of benchmarks/run.py: Dijkstra to
  its far goal and to a goal reached halfway, against scipy ``dijkstra`` on a
  prebuilt csr_matrix (target 2x) and rustworkx on a prebuilt graph asked for
  the same goal (target 3x); a one-edge query (target <= 5 us);
* WordList, Knuth's 5,757 words, the 205 pairs of benchmarks/puzzles.py:
  bidirectional against networkx ``shortest_path_length`` on a prebuilt
  graph (target 2x), bfs and astar beside it;
* memory: bytes per cell of a prepared Grid and of one search workspace.
"""

from __future__ import annotations

import argparse
import math
import random
import statistics
import sys
import time
from collections.abc import Callable
from typing import Any

from common import DATA, fmt_time, import_or_exit
from grid import OPT_TOL, build_inputs, load_maps, octile, pick_scenarios, rel_close
from puzzles import FIXED_LADDERS, LADDER_SEED, word_graph
from report import REPORT, ratio, seconds
from run import build_rustworkx, build_scipy, make_edges

Timings = dict[str, float]


def interleaved(cases: dict[str, Callable[[], Any]], reps: int, inner: int = 1,
                cpu: Timings | None = None) -> Timings:
    """Median seconds per call of each case, the cases taking turns; `cpu`,
    when given, receives the median CPU seconds of the process per call."""
    times: dict[str, list[float]] = {name: [] for name in cases}
    cpus: dict[str, list[float]] = {name: [] for name in cases}
    for rep in range(reps):
        for name in sorted(cases, reverse=bool(rep % 2)):
            f = cases[name]
            t0, c0 = time.perf_counter(), time.process_time()
            for _ in range(inner):
                f()
            times[name].append((time.perf_counter() - t0) / inner)
            cpus[name].append((time.process_time() - c0) / inner)
    if cpu is not None:
        cpu.update({name: statistics.median(cs) for name, cs in cpus.items()})
    return {name: statistics.median(ts) for name, ts in times.items()}


def show(title: str, med: Timings, ours: str) -> None:
    print(title)
    for name, t in med.items():
        note = "" if name == ours else f"   {med[name] / med[ours]:8.3g}x ours"
        print(f"  {name:42} {fmt_time(t)}{note}")


def fail(message: str) -> int:
    print(f"DISAGREEMENT - nothing timed: {message}", file=sys.stderr)
    return 1


def bench_grids(mods: dict[str, Any], args: argparse.Namespace) -> int:
    qs, nx, np = mods["quellostrin"], mods["networkx"], mods["numpy"]
    sec = REPORT.section("Prepared objects", "Grid, Graph and WordList built once, then queried; the peers "
                         "build once too. Per query, medians of interleaved repetitions.")
    rows = []
    maps = load_maps()
    for gm in maps:
        scens = pick_scenarios(gm.scenarios, 24)
        build_inputs(mods, gm, scens)
        grid = gm.grid
        g = gm.inputs["nx"]
        ours = [grid.search(s.start, s.goal, diagonal=True, heuristic="octile", record=False) for s in scens]
        for s, r in zip(scens, ours):
            if not rel_close(r.cost, s.optimal_length, OPT_TOL):
                return fail(f"{gm.name} {s.start}->{s.goal}: ours {r.cost}, optimum {s.optimal_length}")
            theirs = nx.astar_path_length(g, s.start, s.goal, heuristic=octile)
            if not rel_close(theirs, r.cost, 1e-9):
                return fail(f"{gm.name} {s.start}->{s.goal}: networkx {theirs}, ours {r.cost}")
            jumped = grid.search(s.start, s.goal, diagonal=True, algorithm="jps", record=False)
            if not rel_close(jumped.cost, r.cost, 1e-9):
                return fail(f"{gm.name} {s.start}->{s.goal}: jps {jumped.cost}, astar {r.cost}")
        if args.check:
            continue
        med = interleaved({
            "Grid.search": lambda: [grid.search(s.start, s.goal, diagonal=True, heuristic="octile", record=False)
                                    for s in scens],
            # The same costs by another road (jps's own counters and, among
            # equal-cost paths, its own path): beside the target, not in it.
            "Grid.search jps": lambda: [grid.search(s.start, s.goal, diagonal=True, algorithm="jps", record=False)
                                        for s in scens],
            "networkx astar_path_length (prebuilt)": lambda: [nx.astar_path_length(g, s.start, s.goal,
                                                                                    heuristic=octile)
                                                               for s in scens],
        }, args.reps)
        per = {k: v / len(scens) for k, v in med.items()}
        show(f"== {gm.name}: {len(scens)} scenarios, per query", per, "Grid.search")
        x = per["networkx astar_path_length (prebuilt)"] / per["Grid.search"]
        nx_time = per["networkx astar_path_length (prebuilt)"]
        rows.append([gm.name, seconds(per["Grid.search"]), seconds(nx_time), ratio(x),
                     seconds(per["Grid.search jps"]), ratio(nx_time / per["Grid.search jps"])])
        sec.target(f"Grid A* on {gm.name}, per query, networkx (prebuilt graph) / ours", x, 100.0)
    if rows:
        sec.table("Grid.search on the Moving AI maps (24 scenarios each, 8-connected, octile, record=False; "
                  "jps: the same optimal costs, its own counters)",
                  ["map", "ours", "networkx", "networkx / ours", "ours, jps", "networkx / jps"], rows)

    # Two adjacent open cells of the 512 x 512 maze, and a batch of its scenarios.
    maze = next(gm for gm in maps if gm.name == "maze512-32-9")
    grid = maze.grid
    costs = np.asarray(grid)
    r0, c0 = next((r, c) for r in range(costs.shape[0]) for c in range(costs.shape[1] - 1)
                  if costs[r, c] and costs[r, c + 1])
    a, b = (r0, c0), (r0, c0 + 1)
    w32 = np.where(costs > 0, np.float32(1.0), np.float32(np.inf)).astype(np.float32)
    pyastar2d = mods.get("pyastar2d")
    near = grid.search(a, b, record=False)
    if near.path != [a, b] or (pyastar2d and len(pyastar2d.astar_path(w32, a, b, allow_diagonal=False)) != 2):
        return fail("adjacent cells")
    batch = [(s.start, s.goal) for s in pick_scenarios(maze.scenarios, 48 if not args.quick else 12)]
    one = grid.search_many(batch, diagonal=True, heuristic="octile", record=False)
    two = grid.search_many(batch, workers=2, diagonal=True, heuristic="octile", record=False)
    loop = [grid.search(s, t, diagonal=True, heuristic="octile", record=False) for s, t in batch]
    if [r.path for r in one] != [r.path for r in two] or [r.path for r in one] != [r.path for r in loop]:
        return fail("search_many differs from .search")
    if args.check:
        return 0
    cases: dict[str, Callable[[], Any]] = {"Grid.search, adjacent cells": lambda: grid.search(a, b, record=False)}
    if pyastar2d:
        cases["pyastar2d astar_path, adjacent cells"] = lambda: pyastar2d.astar_path(w32, a, b, allow_diagonal=False)
    med = interleaved(cases, args.reps, inner=200)
    show("== maze512-32-9, a query between two adjacent open cells", med, "Grid.search, adjacent cells")
    sec.target("Grid.search between two adjacent cells of maze512-32-9 (us)", med["Grid.search, adjacent cells"] * 1e6,
               5.0, unit=" us", at_most=True)
    # Two interleavings: on this machine whatever runs right after a
    # two-worker batch ran 5-10% slower (the loop or workers=1 alike), so the
    # Python loop is compared with workers=1 alone, and workers=2 with
    # workers=1 taking turns in both orders.
    def many1() -> Any:
        return grid.search_many(batch, diagonal=True, heuristic="octile", record=False)

    cpu: Timings = {}
    med = interleaved({
        "search_many, workers=1": many1,
        "search_many, workers=2": lambda: grid.search_many(batch, workers=2, diagonal=True, heuristic="octile",
                                                           record=False),
    }, 2 * args.reps + 1, cpu=cpu)
    med_loop = interleaved({
        "search_many, workers=1": many1,
        "a Python loop over .search": lambda: [grid.search(s, t, diagonal=True, heuristic="octile", record=False)
                                               for s, t in batch],
    }, 2 * args.reps + 1)
    show(f"== maze512-32-9, a batch of {len(batch)} scenarios", med, "search_many, workers=1")
    show(f"== maze512-32-9, a batch of {len(batch)} scenarios", med_loop, "search_many, workers=1")
    x2 = med["search_many, workers=1"] / med["search_many, workers=2"]
    # The same searches cost more CPU time on two cores than on one when the
    # cores slow each other down (these searches read a few MiB each, more
    # than a core's own cache holds): the CPU column shows how much.
    print(f"  CPU time per batch: {fmt_time(cpu['search_many, workers=2'])} with two workers, "
          f"{fmt_time(cpu['search_many, workers=1'])} with one")
    sec.table(f"Grid.search_many on maze512-32-9 ({len(batch)} scenarios, octile, record=False), workers=2 and "
              "workers=1 taking turns; then workers=1 and a Python loop taking turns",
              ["run", "per batch", "CPU time"], [[k, seconds(v), seconds(cpu[k])] for k, v in med.items()]
              + [["search_many, workers=1 (taking turns with the loop)", seconds(med_loop["search_many, workers=1"]), ""],
                 ["a Python loop over .search", seconds(med_loop["a Python loop over .search"]), ""]])
    sec.target("search_many workers=2 / workers=1 (throughput)", x2, 1.8)
    # Where a batch saves most, the reading of each query's arguments: many
    # short queries (to a random open cell up to 8 rows and columns away
    # whose shortest path is at most 16 cells: a wall between two cells of
    # the maze can make their path long).
    rng = np.random.default_rng(3)
    open_cells = np.argwhere(costs > 0)
    short = []
    while len(short) < (2000 if not args.quick else 200):
        r, c = (int(v) for v in open_cells[rng.integers(len(open_cells))])
        r2, c2 = r + int(rng.integers(-8, 9)), c + int(rng.integers(-8, 9))
        if 0 <= r2 < costs.shape[0] and 0 <= c2 < costs.shape[1] and costs[r2, c2] > 0:
            if len(grid.search((r, c), (r2, c2), diagonal=True, heuristic="octile", record=False).path) <= 16:
                short.append(((r, c), (r2, c2)))
    med_short = interleaved({
        "search_many, workers=1": lambda: grid.search_many(short, diagonal=True, heuristic="octile", record=False),
        "a Python loop over .search": lambda: [grid.search(s, t, diagonal=True, heuristic="octile", record=False)
                                               for s, t in short],
    }, args.reps)
    show(f"== maze512-32-9, a batch of {len(short)} short queries", med_short, "search_many, workers=1")
    sec.table(f"Grid.search_many on maze512-32-9, {len(short)} short queries (octile, record=False)",
              ["run", "per batch"], [[k, seconds(v)] for k, v in med_short.items()])
    sec.target("search_many workers=1 against a Python loop over .search (scenarios)",
               med_loop["a Python loop over .search"] / med_loop["search_many, workers=1"], 1.0)
    sec.target("search_many workers=1 against a Python loop over .search (short queries)",
               med_short["a Python loop over .search"] / med_short["search_many, workers=1"], 1.0)
    cells = costs.size
    padded = (costs.shape[0] + 2) * (costs.shape[1] + 2)
    grid_bytes = (padded * 1 + cells * 8) / cells
    workspace_bytes = padded * (2 + 8 + 4) / cells
    print(f"memory: a prepared Grid holds {grid_bytes:.1f} bytes per cell, a workspace {workspace_bytes:.1f}")
    sec.note(f"Memory of maze512-32-9: a prepared Grid {grid_bytes:.1f} bytes per cell (a wall flag with a border, "
             f"an 8-byte cost), one search workspace {workspace_bytes:.1f} (a 2-byte mark, an 8-byte label and a "
             "4-byte parent per cell).")
    return 0


def bench_graph(mods: dict[str, Any], args: argparse.Namespace) -> int:
    qs = mods["quellostrin"]
    dijkstra = mods["scipy.sparse.csgraph"].dijkstra
    rx = mods["rustworkx"]
    n, m = (10**4, 5 * 10**4) if args.quick else (10**5, 5 * 10**5)
    edges = make_edges(n, m, 7)
    graph = qs.Graph(n, edges, undirected=False)
    csr = build_scipy(mods, n, edges)
    rg = build_rustworkx(mods, n, edges)
    dist = dijkstra(csr, directed=True, indices=0)
    reach = [v for v in range(n) if math.isfinite(dist[v])]
    far = max(reach, key=lambda v: dist[v])
    half = min(reach, key=lambda v: abs(dist[v] - dist[far] / 2))
    one_u, one_v, _ = edges[0]
    for goal in (far, half):
        r = graph.search(0, goal, algorithm="dijkstra", record=False)
        rx_cost = rx.dijkstra_shortest_path_lengths(rg, 0, lambda w: w, goal=goal)[goal]
        if not (rel_close(r.cost, dist[goal], 1e-9) and rel_close(rx_cost, r.cost, 1e-9)):
            return fail(f"graph 0->{goal}: ours {r.cost}, scipy {dist[goal]}, rustworkx {rx_cost}")
    if args.check:
        return 0
    sec = REPORT.section("Prepared Graph", f"A seeded random directed graph of {n:,} nodes and {m:,} edges "
                         "(benchmarks/run.py's), built once by every library; Dijkstra from node 0, per query.")
    rows = []
    for label, goal in (("far goal", far), ("goal halfway", half)):
        med = interleaved({
            "Graph.search dijkstra": lambda: graph.search(0, goal, algorithm="dijkstra", record=False),
            "scipy dijkstra(indices=0) (prebuilt csr_matrix)": lambda: dijkstra(csr, directed=True, indices=0)[goal],
            "rustworkx dijkstra_shortest_path_lengths(goal)": lambda: rx.dijkstra_shortest_path_lengths(
                rg, 0, lambda w: w, goal=goal),
        }, args.reps)
        show(f"== Graph, Dijkstra to the {label} ({goal})", med, "Graph.search dijkstra")
        ours = med["Graph.search dijkstra"]
        xs = med["scipy dijkstra(indices=0) (prebuilt csr_matrix)"] / ours
        xr = med["rustworkx dijkstra_shortest_path_lengths(goal)"] / ours
        rows.append([label, seconds(ours), ratio(xs), ratio(xr)])
        sec.target(f"Graph Dijkstra, {label}: scipy (prebuilt) / ours", xs, 2.0)
        sec.target(f"Graph Dijkstra, {label}: rustworkx (prebuilt) / ours", xr, 3.0)
    sec.table("", ["query", "ours", "scipy / ours", "rustworkx / ours"], rows)
    med = interleaved({"one edge": lambda: graph.search(one_u, one_v, algorithm="dijkstra", record=False)},
                      args.reps, inner=200)
    print(f"  a one-edge query: {fmt_time(med['one edge'])}")
    sec.target("Graph.search over one edge (us)", med["one edge"] * 1e6, 5.0, unit=" us", at_most=True)
    return 0


def bench_words(mods: dict[str, Any], args: argparse.Namespace) -> int:
    qs, nx = mods["quellostrin"], mods["networkx"]
    words = (DATA / "words" / "sgb-words.txt").read_text().split()
    rng = random.Random(LADDER_SEED)
    pairs = list(FIXED_LADDERS) + [tuple(rng.sample(words, 2)) for _ in range(200)]
    g = word_graph(nx, words)
    listed = qs.WordList(words)

    def networkx(a: str, b: str) -> int | None:
        try:
            return int(nx.shortest_path_length(g, a, b))
        except nx.NetworkXNoPath:
            return None

    for a, b in pairs:
        ref = networkx(a, b)
        for algorithm in ("bidirectional", "bfs", "astar"):
            r = listed.search(a, b, algorithm=algorithm, record=False)
            if (ref is None and r.found) or (ref is not None and r.cost != ref):
                return fail(f"{a}->{b} ({algorithm}): ours {r.cost}, networkx {ref}")
    if args.check:
        return 0
    med = interleaved({
        f"WordList.search {algorithm}": (lambda algorithm=algorithm: [listed.search(a, b, algorithm=algorithm,
                                                                                    record=False) for a, b in pairs])
        for algorithm in ("bidirectional", "bfs", "astar")
    } | {"networkx shortest_path_length (prebuilt)": lambda: [networkx(a, b) for a, b in pairs]}, args.reps)
    per = {k: v / len(pairs) for k, v in med.items()}
    show(f"== WordList, {len(words)} words, {len(pairs)} pairs, per query", per, "WordList.search bidirectional")
    sec = REPORT.section("Prepared WordList", f"Knuth's {len(words):,} five-letter words, {len(pairs)} pairs "
                         "(benchmarks/puzzles.py's); networkx on a graph built once. Per query.")
    sec.table("", ["search", "per query", "networkx / this"],
              [[k, seconds(v), ratio(per["networkx shortest_path_length (prebuilt)"] / v)] for k, v in per.items()])
    sec.target("WordList bidirectional: networkx (prebuilt) / ours",
               per["networkx shortest_path_length (prebuilt)"] / per["WordList.search bidirectional"], 2.0)
    return 0


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="fewer repetitions and smaller sizes (smoke test)")
    ap.add_argument("--check", action="store_true", help="check the answers, time nothing")
    args = ap.parse_args(argv)
    args.reps = 3 if args.quick else 7
    mods = import_or_exit("benchmarks/prepared.py", ["quellostrin", "numpy", "networkx", "rustworkx", "scipy.sparse",
                                                     "scipy.sparse.csgraph", "pathfinding.core.grid"])
    try:
        import pyastar2d
        mods["pyastar2d"] = pyastar2d
    except ImportError:
        pass
    for bench in (bench_grids, bench_graph, bench_words):
        if bench(mods, args):
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
