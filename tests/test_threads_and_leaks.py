"""The interpreter lock around searches, concurrent calls, and reference or
memory leaks over many calls (including calls whose callbacks raise)."""

import gc
import random
import sys
import threading
import time
import tracemalloc

import pytest

from quellostrin import search_graph, search_implicit

# Depth-limited search over a complete directed graph enumerates simple paths:
# a tiny input gives a long search, which the node limit bounds.
LONG = dict(num_nodes=12, edges=[(u, v, 1.0) for u in range(11) for v in range(11) if u != v], start=0, goal=11,
            algorithm="dls", depth_limit=11, undirected=False, record=False, max_nodes=3_000_000)


def test_named_heuristic_searches_release_the_lock():
    count = [0]
    stop = threading.Event()

    def spin():
        while not stop.is_set():
            count[0] += 1

    thread = threading.Thread(target=spin)
    thread.start()
    try:
        t0, c0 = time.perf_counter(), count[0]
        time.sleep(0.2)
        rate = (count[0] - c0) / (time.perf_counter() - t0)  # spinner speed on its own

        t0, c0 = time.perf_counter(), count[0]
        assert search_graph(**LONG).stop_reason == "node_limit"
        during = count[0] - c0
        wall = time.perf_counter() - t0
    finally:
        stop.set()
        thread.join()
    # Holding the lock would let the spinner run for a switch interval or two
    # at most; released, it runs for most of the search.
    assert during > 0.25 * rate * wall, (during, rate, wall)


def random_case(seed):
    rng = random.Random(seed)
    n = 20_000
    edges = [(rng.randrange(n), rng.randrange(n), rng.uniform(1, 10)) for _ in range(4 * n)]
    algorithm = ["dijkstra", "bfs", "astar", "bidirectional", "beam", "ida_star"][seed % 6]
    case = dict(num_nodes=n, edges=edges, start=0, goal=seed + 1, algorithm=algorithm, beam_width=50)
    if seed % 2:
        # A callable heuristic keeps the lock, but threads still switch
        # inside its calls; each search must see only its own calls.
        case |= dict(heuristic=lambda a, b, k=seed: float((a * k) % 3) * 0.1, max_nodes=3000)
    return case


def summary(r):
    return (r.path, r.cost, r.nodes_expanded, r.nodes_generated, r.max_frontier_size, r.trace, r.tree)


def test_concurrent_searches_match_sequential_ones():
    cases = [random_case(seed) for seed in range(12)]
    expected = [summary(search_graph(**c)) for c in cases]
    got = [None] * len(cases)

    def worker(indices):
        for i in indices:
            got[i] = summary(search_graph(**cases[i]))

    threads = [threading.Thread(target=worker, args=(range(k, len(cases), 4),)) for k in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert got == expected


def traced_growth(fn, rounds):
    """Bytes of Python memory still allocated after `rounds` calls of fn."""
    for _ in range(200):
        fn()
    gc.collect()
    tracemalloc.start()
    try:
        base = tracemalloc.get_traced_memory()[0]
        for _ in range(rounds):
            fn()
        gc.collect()
        return tracemalloc.get_traced_memory()[0] - base
    finally:
        tracemalloc.stop()


def h_ok(a, b):
    return 0.0


def h_raises(a, b):
    raise ArithmeticError("h")


def succ_ok(s):
    return [(s + 1, 1.0), (s + 2, 2.5)] if s < 30 else []


def succ_raises(s):
    if s > 3:
        raise LookupError("s")
    return [(s + 1, 1.0)]


def succ_bad(s):
    return [(s + 1, "x")]


CHAIN = [(0, 1, 1.0), (1, 2, 1.0), (2, 5, 1.0)]
# Calls that succeed, and calls that fail in every way a call can fail.
CALLS = {
    "graph": lambda: search_graph(6, CHAIN, 0, 5),
    "graph_callable": lambda: search_graph(6, CHAIN, 0, 5, algorithm="astar", heuristic=h_ok),
    "graph_raising": lambda: search_graph(6, CHAIN, 0, 5, algorithm="astar", heuristic=h_raises),
    "implicit": lambda: search_implicit(succ_ok, 0, 20, heuristic=h_ok),
    "implicit_raising": lambda: search_implicit(succ_raises, 0, 20, algorithm="ida_star"),
    "implicit_bad": lambda: search_implicit(succ_bad, 0, 20, algorithm="ida_star"),
    "bad_record": lambda: search_graph(3, CHAIN[:1], 0, 2, record=1),
    "bad_algorithm": lambda: search_graph(3, CHAIN[:1], 0, 2, algorithm="nope"),
}


@pytest.mark.parametrize("name", CALLS)
def test_no_leaks_over_many_calls(name):
    def call():
        try:
            CALLS[name]()
        except (TypeError, ValueError, LookupError):
            pass

    callables = (h_ok, h_raises, succ_ok, succ_raises, succ_bad)
    refs = [sys.getrefcount(c) for c in callables]
    growth = traced_growth(call, 20_000)
    assert growth < 64 * 1024, growth
    assert [sys.getrefcount(c) for c in callables] == refs
