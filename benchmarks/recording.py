#!/usr/bin/env python3
"""What recording costs: a grid search that expands about 10^6 cells with
record=False and with record=True (the trace and the search tree returned as
Python lists).

    python3 benchmarks/recording.py            # 1000 x 1000 open grid
    python3 benchmarks/recording.py --quick    # 300 x 300

Dijkstra, 4-connected, on an open grid of unit costs from one corner to the
opposite one: the goal is the last cell settled, so the search expands every
cell. The two answers must agree (path, cost, counters) before anything is
timed. Reported: median wall time of each, their ratio against the target of
at most 2x, the time of the first read of .trace and .tree (which builds
their Python lists), and the memory of the recording: the resident size a
live result holds in the core's form, and the Python objects of the lists.
"""

from __future__ import annotations

import argparse
import gc
import statistics
import subprocess
import sys
import time
import tracemalloc
from typing import Any

from common import fmt_time, import_or_exit
from report import REPORT, seconds

TARGET = 2.0  # record=True time / record=False time, at most


def child_resident(side: int, record: bool) -> int:
    """Resident size in bytes of a fresh process holding the result of one
    search (Linux)."""
    code = (f"import resource, numpy as np, quellostrin as q\n"
            f"r = q.search_grid_costs(np.ones(({side}, {side})), (0, 0), ({side - 1}, {side - 1}), "
            f"algorithm='dijkstra', record={record})\n"
            "print(int(open('/proc/self/statm').read().split()[1]) * resource.getpagesize())")
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True)
    return int(out.stdout)


def peak_traced(fn: Any) -> tuple[int, Any]:
    """tracemalloc's peak over one call, and the call's result."""
    gc.collect()
    tracemalloc.start()
    try:
        out = fn()
        _, peak = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    return peak, out


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="300 x 300 grid, 3 repetitions (smoke test)")
    ap.add_argument("--reps", type=int, default=None, help="timed repetitions (default 7, quick 3)")
    ap.add_argument("--check", action="store_true", help="check that both answers agree, time nothing")
    args = ap.parse_args(argv)
    side = 300 if args.quick or args.check else 1000
    reps = args.reps if args.reps is not None else (3 if args.quick else 7)
    mods = import_or_exit("benchmarks/recording.py", ["quellostrin", "numpy"])
    qs, np = mods["quellostrin"], mods["numpy"]
    costs = np.ones((side, side))
    goal = (side - 1, side - 1)

    def run(record: bool) -> Any:
        return qs.search_grid_costs(costs, (0, 0), goal, algorithm="dijkstra", record=record)

    print(f"Recording benchmark: Dijkstra, 4-connected, {side} x {side} open grid of unit costs, corner to corner")
    plain, recorded = run(False), run(True)
    counters = ("found", "cost", "path", "nodes_expanded", "nodes_generated", "max_frontier_size", "stop_reason")
    for name in counters:
        if getattr(plain, name) != getattr(recorded, name):
            print(f"DISAGREEMENT - {name}: record=False {getattr(plain, name)!r}, "
                  f"record=True {getattr(recorded, name)!r}", file=sys.stderr)
            return 1
    if len(recorded.trace) != recorded.nodes_expanded or not recorded.tree:
        print(f"DISAGREEMENT - trace of {len(recorded.trace)} steps for {recorded.nodes_expanded} expansions",
              file=sys.stderr)
        return 1
    print(f"answers agree: {plain.nodes_expanded:,} expansions, cost {plain.cost:g}; "
          f"trace {len(recorded.trace):,} steps, tree {len(recorded.tree):,} edges")
    if args.check:
        return 0
    del plain, recorded

    times: dict[bool, list[float]] = {False: [], True: []}
    search: dict[bool, list[float]] = {False: [], True: []}
    for rep in range(reps):
        for record in (rep % 2 == 0, rep % 2 != 0):
            gc.collect()
            t0 = time.perf_counter()
            r = run(record)
            times[record].append(time.perf_counter() - t0)
            search[record].append(r.elapsed)
            del r
    med = {k: statistics.median(v) for k, v in times.items()}
    ratio = med[True] / med[False]

    # The trace and tree stay in the core's compact form until first read;
    # reading them builds the Python lists.
    read: list[float] = []
    for _ in range(max(1, reps // 2)):
        r = run(True)
        gc.collect()
        t0 = time.perf_counter()
        r.trace, r.tree
        read.append(time.perf_counter() - t0)
        del r
    read_med = statistics.median(read)

    # Memory: what a result with its recording (the core form, as the call
    # returns it) holds beyond one without, in fresh processes, and the Python
    # objects the two lists take once read.
    core_bytes = child_resident(side, True) - child_resident(side, False)
    recorded = run(True)
    peak_lists, _ = peak_traced(lambda: (recorded.trace, recorded.tree))
    steps = len(recorded.trace)
    print(f"medians of {reps}:")
    for record in (False, True):
        print(f"  record={record!s:<6} {fmt_time(med[record])} per call, search alone "
              f"{fmt_time(statistics.median(search[record]))}")
    print(f"  record=True / record=False: {ratio:.2f}x (target at most {TARGET:g}x): "
          f"{'MET' if ratio <= TARGET else 'MISSED'}")
    print(f"  reading .trace and .tree the first time (builds the Python lists): {fmt_time(read_med)}")
    print(f"  memory: the recording in core form {core_bytes / 2**20:.0f} MiB resident "
          f"({core_bytes / steps:.0f} bytes per expanded cell); as Python lists {peak_lists / 2**20:.0f} MiB "
          f"({peak_lists / steps:.0f} bytes per expanded cell)")
    sec = REPORT.section(
        "Recording the trace and the search tree",
        f"Dijkstra, 4-connected, on a {side} x {side} open grid of unit costs from corner to corner: "
        f"{steps:,} expansions. With record=True the result holds the trace (one step per expansion) and "
        "the search tree (one edge per discovered cell) in the core's compact form; the Python lists of "
        "tuples are built when `.trace` or `.tree` is first read.")
    sec.table("", ["", "time", "memory"], [
        ["record=False call", seconds(med[False]), ""],
        ["record=True call", seconds(med[True]),
         f"{core_bytes / 2**20:.0f} MiB ({core_bytes / steps:.0f} B per expansion)"],
        ["first read of .trace and .tree", seconds(read_med),
         f"{peak_lists / 2**20:.0f} MiB ({peak_lists / steps:.0f} B per expansion)"]])
    sec.target(f"record=True time / record=False time, {steps:,} expansions", ratio, TARGET, at_most=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
