"""Calls that stop early or are refused: Ctrl-C during a long search, a time
limit, a search that would outgrow its memory, and sizes past the machine's
memory (the first callback error ending a search is tests/test_implicit.py's
test_callback_exceptions). Each runs in a child process, so a call that fails
to stop is killed by the timeout (or the kernel) instead of taking the suite
down."""

import os
import re
import signal
import subprocess
import sys
import textwrap

import pytest

# Each prints "ready", then runs a search that would take minutes or forever.
LONG_SEARCHES = {
    # 4^24 states of the four-peg towers, with the lock released.
    "dijkstra": 'search_hanoi(24, pegs=4, algorithm="dijkstra", record=False)',
    # Every path of a two-successor chain up to depth 1000: exponentially many.
    "iddfs": 'search_graph(2000, CHAIN2, 0, 1999, algorithm="iddfs", depth_limit=1000, undirected=False, '
             'record=False)',
    # The same with a callable heuristic, so the lock stays held.
    "ida_star_callable": 'search_graph(2000, CHAIN2, 0, 1998, algorithm="ida_star", heuristic=lambda a, b: 0.0, '
                         'undirected=False, record=False)',
    # IDA* on a 24-puzzle with all tiles reversed, the lock released: the
    # sliding-tile fast path, which has its own loop.
    "npuzzle_ida_star": 'search_npuzzle(list(range(24, -1, -1)), algorithm="ida_star", record=False)',
    # Building the 7-8 pattern databases takes a minute.
    "pattern_databases": 'SlidingPuzzle(range(16), patterns="7-8")',
    # Half the rows of 5000 pivots, and a chain that gains one node per pass.
    "floyd_warshall": "floyd_warshall(5000, [(i, i + 1, 1.0) for i in range(4999)])",
    "bellman_ford": "bellman_ford(200000, [(i + 1, i, 1.0) for i in range(199999)], 199999)",
    "gen_erdos_renyi": "gen_erdos_renyi(10**6, 0.0, 0)",  # 5 * 10^11 draws, with the lock held
    # Several seconds each, most of them in the core.
    "gen_watts_strogatz": "gen_watts_strogatz(10**6, 20, 0.5, 0)",
    "gen_barabasi_albert": "gen_barabasi_albert(10**6, 10, 0)",
    "random_maze_ascii": "random_maze_ascii(20000, 20000, 0.3, 0)",  # seconds: 4 * 10^8 cells
    # The iddfs above as a batch, on the calling thread and on two workers.
    "search_many": 'Graph(2000, CHAIN2, undirected=False).search_many([(0, 1999)] * 4, algorithm="iddfs", '
                   'depth_limit=1000, record=False)',
    "search_many_workers": 'Graph(2000, CHAIN2, undirected=False).search_many([(0, 1999)] * 4, workers=2, '
                           'algorithm="iddfs", depth_limit=1000, record=False)',
}
# A child started from a background job inherits SIGINT ignored, and Python
# then installs no KeyboardInterrupt handler: restore it first.
PRELUDE = """
import signal, sys, time
signal.signal(signal.SIGINT, signal.default_int_handler)
from quellostrin import (Graph, SlidingPuzzle, bellman_ford, floyd_warshall, gen_barabasi_albert, gen_erdos_renyi,
                         gen_watts_strogatz, random_maze_ascii, search_graph, search_hanoi, search_implicit,
                         search_npuzzle)
CHAIN2 = [(i, j, 1.0) for i in range(2000) for j in (i + 1, i + 2) if j < 1999]
"""


def run_child(body, *, interrupt_after=None, timeout=60):
    """The child's output after its "ready" line, and its stderr."""
    code = PRELUDE + textwrap.dedent(body)
    # Unbuffered, so reading the "ready" line takes nothing more from the pipe.
    child = subprocess.Popen([sys.executable, "-c", code], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             bufsize=0)
    try:
        assert child.stdout.readline() == b"ready\n", child.stderr.read().decode()
        if interrupt_after is not None:
            subprocess.run(["sleep", str(interrupt_after)], check=True)
            child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=timeout)
    finally:
        child.kill()
        child.wait()
    return out.decode(), err.decode()


@pytest.mark.parametrize("case", LONG_SEARCHES)
def test_ctrl_c_stops_a_long_search(case):
    body = f"""
        print("ready", flush=True)
        try:
            {LONG_SEARCHES[case]}
        except KeyboardInterrupt:
            print("interrupted", flush=True)
    """
    # The child reports within a second of the signal, or not at all.
    out, err = run_child(body, interrupt_after=0.5, timeout=1.0)
    assert out == "interrupted\n", err


@pytest.mark.parametrize("case", ["dijkstra", "iddfs", "ida_star_callable", "npuzzle_ida_star"])
def test_time_limit_ends_a_long_search(case):
    # With the lock released or held, and in the sliding-tile fast path: the
    # search stops soon after the limit, with counters and trace as they stand.
    call = LONG_SEARCHES[case].removesuffix(")") + ", time_limit=0.2)"
    body = f"""
        print("ready", flush=True)
        r = {call}
        print(r.stop_reason, r.found, r.cost, r.nodes_expanded > 0, flush=True)
    """
    out, err = run_child(body, timeout=20)
    assert out == "time_limit False inf True\n", err


def test_a_search_stops_before_its_tables_outgrow_the_memory_it_may_have():
    # Breadth-first search of 30 disks would fill any machine. With the memory
    # available to the process set to 256 MiB above what it holds, it raises
    # MemoryError before its tables outgrow that, instead of being killed; under
    # max_memory of 256 MiB it stops with "memory_limit". The peak resident
    # memory shows that neither went past the figure.
    body = """
        import os, resource
        peak = lambda: resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024
        base = peak()
        print("ready", flush=True)
        os.environ["QUELLOSTRIN_AVAILABLE_MEMORY"] = str(base + 2**28)
        try:
            search_hanoi(30, algorithm="bfs")
        except MemoryError as e:
            print(e, flush=True)
        del os.environ["QUELLOSTRIN_AVAILABLE_MEMORY"]
        r = search_hanoi(30, algorithm="bfs", max_memory=2**28)
        print(r.stop_reason, r.found, r.cost, r.nodes_expanded > 10**5, flush=True)
        print((peak() - base) // 2**20, flush=True)
    """
    out, err = run_child(body, timeout=120)
    refusal, stopped, grown = out.splitlines()
    assert re.fullmatch(r"search stopped after \d{6,} expanded nodes: its tables needed \d+ bytes more, "
                        r"and only \d+ are available", refusal), err
    assert stopped == "memory_limit False inf True"
    assert int(grown) < 2**8 + 2**4  # MiB


# Sizes no machine here can hold, each with the start of its refusal.
HUGE = {
    "floyd_warshall(100_000, [])": "cannot allocate the 100000\u00d7100000 distance and next-hop tables: ",
    "bellman_ford(2**40, [], 0)": "cannot allocate the distances and predecessors of 1099511627776 nodes: ",
    "gen_erdos_renyi(10**6, 0.5, 0)": "cannot allocate a generated graph of 1000000 nodes and 249999750000 edges: ",
    "gen_watts_strogatz(2**40, 4, 0.1, 0)": "cannot allocate a generated graph of 1099511627776 nodes",
    "gen_barabasi_albert(2**62, 2, 0)": "cannot allocate a generated graph of 4611686018427387904 nodes and "
                                        "9223372036854775805 edges: its size does not fit in 64 bits",
    "SlidingPuzzle([*range(1, 25), 0], patterns=[range(1, 13), range(13, 25)])":
        "cannot allocate the pattern databases: they need 17125295140800000 bytes",
}


def test_what_cannot_fit_in_memory_is_refused_up_front():
    # In a child: Linux may grant such an allocation and kill the process
    # while it fills the pages; here each call must raise at once instead.
    body = f"""
        from quellostrin import gen_barabasi_albert, gen_watts_strogatz, random_maze_ascii
        print("ready", flush=True)
        for call in {list(HUGE)!r}:
            try:
                eval(call)
            except MemoryError as e:
                print(e, flush=True)
    """
    out, err = run_child(body, timeout=30)
    lines = out.splitlines()
    assert len(lines) == len(HUGE), err
    for line, start in zip(lines, HUGE.values()):
        assert line.startswith(start), line


@pytest.mark.skipif(os.environ.get("QUELLOSTRIN_SANITIZED") == "1",
                    reason="AddressSanitizer reserves more address space than the limit allows")
def test_a_search_out_of_memory_midway_raises_memory_error():
    # Breadth-first on Korf's first fifteen-puzzle needs far more than the
    # gigabyte of address space the child gets: the search must end in
    # MemoryError before the growth that would pass the limit (raised once
    # the lock is taken back), not an abort.
    body = """
        import resource
        from quellostrin import search_npuzzle
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
        print("ready", flush=True)
        try:
            search_npuzzle([14, 13, 15, 7, 11, 12, 9, 5, 6, 0, 2, 1, 4, 8, 10, 3], goal=list(range(16)),
                           algorithm="bfs", record=False)
        except MemoryError as e:
            print(e)
    """
    out, err = run_child(body, timeout=120)
    assert re.fullmatch(r"search stopped after \d+ expanded nodes: its tables needed \d+ bytes more, and only \d+ "
                        r"are available\n", out), err

