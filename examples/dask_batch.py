# mypy: allow-untyped-calls
# (Client, LocalCluster and their methods carry no annotations.)
"""The batch of grid searches from threads.py, on a Dask cluster.

The grid is built once, as a prepared `Grid`, and sent to the workers once
(scattered, pickled compactly); the queries go out in chunks, each answered
by one `search_many`, and the results come back pickled; they are checked
against the same batch answered here, on one thread.

    python examples/dask_batch.py                      # a LocalCluster in this process
    python examples/dask_batch.py tcp://scheduler:8786 # a running scheduler
    python examples/dask_batch.py --size 300 --queries 400 --chunk 20

A remote scheduler's workers need quellostrin installed (the same version);
they need nothing else from here: the chunk function below travels with the
tasks, pickled by value because it is defined in the script being run.
Needs `pip install "quellostrin[dask]"`.
"""

from __future__ import annotations

import argparse
import os
import sys
import time

from threads import Query, answers, make_batch

from quellostrin import Grid, SearchResult

try:
    from dask.distributed import Client, LocalCluster
except ImportError as exc:
    sys.exit(f"{exc}: this example needs Dask's distributed scheduler (pip install 'quellostrin[dask]')")


def solve_chunk(grid: Grid, chunk: list[Query]) -> list[SearchResult]:
    """One task: a few queries in one batch, so that each task is worth its
    scheduling. The searches release the interpreter lock, so the threads of
    one worker run several tasks in parallel."""
    return grid.search_many(chunk, diagonal=True, heuristic="octile", record=False)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("scheduler", nargs="?", help="address of a running scheduler; default a LocalCluster")
    parser.add_argument("--size", type=int, default=200, help="side of the square grid")
    parser.add_argument("--queries", type=int, default=100)
    parser.add_argument("--chunk", type=int, default=10, help="queries per task")
    args = parser.parse_args()

    costs, batch = make_batch(args.size, args.queries)
    grid = Grid(costs)
    chunks = [batch[i : i + args.chunk] for i in range(0, len(batch), args.chunk)]

    if args.scheduler:
        cluster = None
        client = Client(args.scheduler)
    else:
        # Worker threads in this process: the searches release the lock, so
        # threads are enough, and nothing is forked or spawned.
        cluster = LocalCluster(
            n_workers=1, threads_per_worker=os.cpu_count() or 2, processes=False, dashboard_address=None
        )
        client = Client(cluster)
    try:
        workers = client.scheduler_info()["workers"]
        threads = sum(w["nthreads"] for w in workers.values())
        print(f"{len(batch)} A* queries in {len(chunks)} tasks on {len(workers)} worker(s), {threads} thread(s)")
        t0 = time.perf_counter()
        grid_on_workers = client.scatter(grid, broadcast=True)
        futures = [client.submit(solve_chunk, grid_on_workers, chunk, pure=False) for chunk in chunks]
        distributed = [r for part in client.gather(futures) for r in part]
        t_dask = time.perf_counter() - t0
    finally:
        client.close()
        if cluster is not None:
            cluster.close()

    t0 = time.perf_counter()
    local = solve_chunk(grid, batch)
    t_local = time.perf_counter() - t0
    if answers(distributed) != answers(local):
        raise SystemExit("the answers from Dask differ from the local ones")
    print(f"paths found: {sum(r.found for r in local)} of {len(batch)}; answers agree with the local run")
    print(f"dask:     {t_dask:8.3f} s  (scatter, tasks and gather included)")
    print(f"local:    {t_local:8.3f} s  (one thread)")


if __name__ == "__main__":
    main()
