"""Searches that stop early: Ctrl-C during a long search, and the first
callback error. Each long search runs in a child process, so a search that
fails to stop is killed by the timeout instead of hanging the suite."""

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
    # Half the rows of 5000 pivots, and a chain that gains one node per pass.
    "floyd_warshall": "floyd_warshall(5000, [(i, i + 1, 1.0) for i in range(4999)])",
    "bellman_ford": "bellman_ford(200000, [(i + 1, i, 1.0) for i in range(199999)], 199999)",
    "gen_erdos_renyi": "gen_erdos_renyi(10**6, 0.0, 0)",  # 5 * 10^11 draws, with the lock held
}
PRELUDE = """
import sys, time
from quellostrin import bellman_ford, floyd_warshall, gen_erdos_renyi, search_graph, search_hanoi, search_implicit
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


def test_first_callback_error_ends_the_search():
    # Without the stop, the heuristic's failure would leave IDA* to enumerate
    # the chain's paths with h = 0 for minutes before reporting it.
    body = """
        calls = []
        def h(a, b):
            calls.append(a)
            raise ZeroDivisionError("h")
        print("ready", flush=True)
        try:
            search_graph(2000, CHAIN2, 0, 1998, algorithm="ida_star", heuristic=h, undirected=False)
        except ValueError as e:
            assert isinstance(e.__cause__, ZeroDivisionError), e
            print(len(calls))
    """
    out, err = run_child(body, timeout=30)
    assert out == "1\n", err
