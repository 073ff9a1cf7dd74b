"""A batch of grid searches on a thread pool.

A search with a built-in heuristic releases the interpreter lock while it
runs, so plain threads search in parallel. This makes one batch of A*
queries over a random terrain (a NumPy cost matrix), answers it on one
thread and then on a ThreadPoolExecutor, checks that both give the same
answers and prints the speed-up, which approaches the number of free cores.

    python examples/threads.py [--size 200] [--queries 100] [--workers N]
"""

from __future__ import annotations

import argparse
import os
import time
from collections.abc import Sequence
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import numpy.typing as npt

from quellostrin import SearchResult, search_grid_costs

Cell = tuple[int, int]
Query = tuple[Cell, Cell]
Costs = npt.NDArray[np.float64]


def make_batch(size: int, queries: int, seed: int = 1) -> tuple[Costs, list[Query]]:
    """A size x size terrain (costs 1 to 9, a fifth of the cells walls) and
    `queries` random (start, goal) pairs of open cells."""
    rng = np.random.default_rng(seed)
    costs = rng.integers(1, 10, size=(size, size)).astype(np.float64)
    costs[rng.random((size, size)) < 0.2] = 0.0  # a cost <= 0 is a wall
    open_cells = [(int(r), int(c)) for r, c in np.argwhere(costs > 0)]
    picks = rng.choice(len(open_cells), size=(queries, 2))
    return costs, [(open_cells[a], open_cells[b]) for a, b in picks]


def solve(costs: Costs, query: Query) -> SearchResult:
    """8-connected A* with the octile estimate; the estimate is a built-in,
    so the search runs without the interpreter lock. record=False skips the
    trace and tree, which a batch does not need."""
    start, goal = query
    return search_grid_costs(costs, start, goal, diagonal=True, heuristic="octile", record=False)


def answers(results: Sequence[SearchResult]) -> list[tuple[bool, float, list[Cell] | None]]:
    """What two runs of the same batch must agree on."""
    return [(r.found, r.cost, r.path) for r in results]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--size", type=int, default=200, help="side of the square grid")
    parser.add_argument("--queries", type=int, default=100)
    parser.add_argument("--workers", type=int, default=os.cpu_count() or 2)
    args = parser.parse_args()

    costs, batch = make_batch(args.size, args.queries)
    print(f"{len(batch)} A* queries on a {args.size} x {args.size} terrain, {args.workers} worker threads")

    t0 = time.perf_counter()
    serial = [solve(costs, q) for q in batch]
    t_serial = time.perf_counter() - t0

    with ThreadPoolExecutor(max_workers=args.workers) as pool:
        t0 = time.perf_counter()
        threaded = list(pool.map(lambda q: solve(costs, q), batch))
        t_threaded = time.perf_counter() - t0

    if answers(serial) != answers(threaded):
        raise SystemExit("the threaded answers differ from the serial ones")
    found = sum(r.found for r in serial)
    expanded = sum(r.nodes_expanded for r in serial)
    print(f"paths found: {found} of {len(batch)}, {expanded} nodes expanded in all; answers agree")
    print(f"1 thread:   {t_serial:8.3f} s  ({len(batch) / t_serial:8.1f} queries/s)")
    print(f"{args.workers} threads:  {t_threaded:8.3f} s  ({len(batch) / t_threaded:8.1f} queries/s)")
    print(f"speed-up:   {t_serial / t_threaded:.2f}x")


if __name__ == "__main__":
    main()
