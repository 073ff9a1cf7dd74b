#!/usr/bin/env python3
"""Threads benchmark: a fixed batch of grid A* queries on one thread and on
a ThreadPoolExecutor of two.

    python3 benchmarks/threads.py            # 48 queries, 7 repetitions
    python3 benchmarks/threads.py --quick    # 12 queries, 3 repetitions

A search with a built-in heuristic releases the interpreter lock for the
whole search, so two threads should answer a batch about twice as fast as
one on two free cores (the target is 2x; the threads share nothing but the
read-only cost matrix). The batch: 8-connected A* (orthogonal steps 1,
diagonal sqrt(2), no corner cutting) with the octile heuristic and
record=False, through search_grid_costs on a float64 NumPy matrix of the
Moving AI map maze512-32-9 (512 x 512), scenarios spread evenly over the
map's difficulty buckets.

Before anything is timed, the one-thread and the two-thread answers must be
equal (path and cost, query by query), and on the Moving AI map each cost
must equal the scenario's optimal length. Then the two runs alternate for
the repetitions, and the medians give the throughput (queries and
expansions per second) of each and their ratio. How many cores each run
kept busy (process CPU time over wall time) and the machine's load average
are printed too: when other work holds a core, two threads get less than two
and the ratio falls short of 2x for reasons outside this library; equal CPU
time per batch on one thread and on two shows the threads do not slow each
other down.
"""

from __future__ import annotations

import argparse
import os
import statistics
import sys
import time
from collections.abc import Callable, Sequence
from concurrent.futures import ThreadPoolExecutor
from typing import Any

from common import fmt_time, import_or_exit
from grid import OPT_TOL, load_maps, pick_scenarios, rel_close
from report import REPORT, seconds

MAP = "maze512-32-9"
THREADS = 2
TARGET_RATIO = 2.0

Cell = tuple[int, int]
Query = tuple[Cell, Cell, float]  # start, goal, optimal cost


def moving_ai_batch(np: Any, n: int) -> tuple[Any, list[Query]]:
    """The cost matrix of the map and n of its scenarios."""
    gm = next(gm for gm in load_maps() if gm.name == MAP)
    picked = pick_scenarios(gm.scenarios, n)
    return np.asarray(gm.grid), [(s.start, s.goal, s.optimal_length) for s in picked]


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="12 queries, 3 repetitions (smoke test)")
    ap.add_argument("--queries", type=int, default=None, help="queries in the batch (default 48, quick 12)")
    ap.add_argument("--reps", type=int, default=None, help="repetitions of each run (default 7, quick 3)")
    ap.add_argument("--check", action="store_true", help="check the answers, time nothing")
    args = ap.parse_args(argv)
    n = args.queries if args.queries is not None else (12 if args.quick else 48)
    reps = args.reps if args.reps is not None else (3 if args.quick else 7)
    if n < 1 or reps < 1:
        ap.error("--queries and --reps must be at least 1")
    mods = import_or_exit("benchmarks/threads.py", ["quellostrin", "numpy"])
    qs, np = mods["quellostrin"], mods["numpy"]

    costs, batch = moving_ai_batch(np, n)
    # Longest first: a long query picked up last would leave one thread idle
    # while the other finishes it.
    batch.sort(key=lambda q: -q[2])

    def solve(q: Query) -> Any:
        return qs.search_grid_costs(costs, q[0], q[1], diagonal=True, heuristic="octile", record=False)

    def serial() -> list[Any]:
        return [solve(q) for q in batch]

    pool = ThreadPoolExecutor(max_workers=THREADS)

    def threaded() -> list[Any]:
        return list(pool.map(solve, batch))

    print(f"Threads benchmark: {len(batch)} A* queries (8-connected, octile, record=False) on {MAP} (data/movingai)")
    print(f"quellostrin {qs.__version__}, numpy {np.__version__}, Python {sys.version.split()[0]}; "
          f"{os.cpu_count()} cores, load average {os.getloadavg()[0]:.2f} at the start")

    one, two = serial(), threaded()
    for i, (q, a, b) in enumerate(zip(batch, one, two)):
        if (a.found, a.cost, a.path) != (b.found, b.cost, b.path):
            print(f"FAIL: query {i} {q[:2]}: one thread {a}, two threads {b}")
            return 1
        if not rel_close(a.cost, q[2], OPT_TOL):
            print(f"FAIL: query {i} {q[:2]}: cost {a.cost}, scenario optimum {q[2]}")
            return 1
    expanded = sum(r.nodes_expanded for r in one)
    checked = "equal, and equal to the scenario optima"
    print(f"answers: one thread and {THREADS} threads {checked} on all {len(batch)}; "
          f"{expanded:,} expansions per batch")
    if args.check:
        pool.shutdown()
        return 0

    runs: dict[str, list[float]] = {"1 thread": [], f"{THREADS} threads": []}
    cpu: dict[str, list[float]] = {name: [] for name in runs}  # process CPU time per batch
    fns: dict[str, Callable[[], Sequence[Any]]] = {"1 thread": serial, f"{THREADS} threads": threaded}
    for rep in range(reps):
        # Alternate which goes first, so that drift in the machine's load
        # does not favour either.
        for name in sorted(fns, reverse=bool(rep % 2)):
            t0, c0 = time.perf_counter(), time.process_time()
            fns[name]()
            runs[name].append(time.perf_counter() - t0)
            cpu[name].append(time.process_time() - c0)
    pool.shutdown()

    med = {name: statistics.median(ts) for name, ts in runs.items()}
    print(f"\nmedians of {reps} repetitions (cores busy: CPU time / wall time; two threads that get two free cores "
          f"keep about 2 busy):")
    for name, t in med.items():
        busy = statistics.median(c / w for c, w in zip(cpu[name], runs[name]))
        print(f"  {name:10} {fmt_time(t)} per batch   {len(batch) / t:9.1f} queries/s   {expanded / t / 1e6:7.2f} M "
              f"expansions/s   {busy:4.2f} cores busy")
    ratio = med["1 thread"] / med[f"{THREADS} threads"]
    verdict = "meets" if ratio >= 0.9 * TARGET_RATIO else "falls short of"
    print(f"  ratio: {THREADS} threads answer {ratio:.2f}x as many queries per second as 1 thread "
          f"({verdict} the {TARGET_RATIO:g}x target); load average {os.getloadavg()[0]:.2f} at the end")
    sec = REPORT.section(
        "Threads",
        f"A batch of {len(batch)} grid A* queries on {MAP} through a ThreadPoolExecutor: searches with a "
        "built-in heuristic release the GIL, so threads run them in parallel. On a shared machine the "
        "second core is not always free; the load average is given for that reason.")
    sec.table("", ["run", "per batch", "queries/s", "M expansions/s"],
              [[name, seconds(t), f"{len(batch) / t:.0f}", f"{expanded / t / 1e6:.2f}"] for name, t in med.items()])
    sec.note(f"{THREADS} threads / 1 thread: {ratio:.2f}x; load average {os.getloadavg()[0]:.2f} at the end.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
