"""search_implicit and callable heuristics: state conversion, callback
failures (stored during the search, raised after it), and the one-element
state rule."""

import math
import traceback

import pytest

from conftest import random_edges
from quellostrin import search_graph, search_implicit

STATES_MSG = "implicit-graph states must be an int or a sequence of ints"
PAIRS_MSG = "successors must return a list of (state, cost) pairs"
H_MSG = "the heuristic callable must return a float"
LINE = [(0, 1, 1.0), (1, 2, 1.0)]


def counter(s):
    return [(s + 1, 1.0)]


class TestStates:
    def test_chain_of_ints(self):
        r = search_implicit(counter, 0, 3)
        assert r.path == [0, 1, 2, 3] and r.cost == 3.0
        assert all(type(n) is int for n in r.path)

    def test_one_tuples_come_back_as_ints_and_lists_as_tuples(self):
        r = search_implicit(lambda s: [((s + 1,), 1.0)], (0,), (2,))
        assert r.path == [0, 1, 2]
        seen = []

        def grid(state):
            seen.append(state)
            x, y = state
            return [([x + 1, y], 1.0), ([x, y + 1], 1.0)]

        r = search_implicit(grid, [0, 0], (1, 1), algorithm="bfs")
        assert r.path[0] == (0, 0) and r.path[-1] == (1, 1) and len(r.path) == 3
        assert all(type(s) is tuple for s in seen)
        assert all(type(node) is tuple for node, _, _ in r.trace)

    def test_empty_state_is_the_empty_tuple(self):
        r = search_implicit(lambda s: [], (), ())
        assert r.path == [()]

    @pytest.mark.parametrize("start, goal", [("5", 0), ([1.5], 0), (2**63, 0), ([2**64], 0), ({1: 2}, 0),
                                             (1.0, 0), (None, 0), ([[1]], 0), (0, "x")])
    def test_bad_states_fail_at_once(self, start, goal):
        calls = []
        with pytest.raises(ValueError) as info:
            search_implicit(lambda s: calls.append(s) or [], start, goal)
        assert str(info.value) == STATES_MSG and calls == []


class TestSuccessorFailures:
    @pytest.mark.parametrize("bad", [
        {1: 1.0},  # a dict
        (1, 1.0),  # a bare pair, not inside a list
        [[1, 1.0]],  # pairs as lists
        [(1, "1.0")],  # a string cost
        [(1, 1.0, 2)],
        "ab",
        None,
        42,
    ])
    def test_bad_results(self, bad):
        with pytest.raises(ValueError) as info:
            search_implicit(lambda s: bad, 0, 3)
        assert str(info.value) == PAIRS_MSG

    def test_string_successor_state(self):
        with pytest.raises(ValueError) as info:
            search_implicit(lambda s: [(1, 1.0), ("x", 1.0)], 0, 3)
        assert str(info.value) == STATES_MSG

    def test_successor_exception_is_reraised_unchanged_with_traceback(self):
        err = KeyError("boom")

        def succ(s):
            if s == 2:
                raise err
            return [(s + 1, 1.0)]

        with pytest.raises(KeyError) as info:
            search_implicit(succ, 0, 5)
        assert info.value is err
        frames = [f.name for f in traceback.extract_tb(info.value.__traceback__)]
        assert "succ" in frames

    def test_non_callable_successors_fails_at_first_use(self):
        with pytest.raises(TypeError, match="not callable"):
            search_implicit(42, 0, 1)
        assert search_implicit(42, 1, 1).path == [1]  # start == goal never calls it

    def test_no_calls_after_the_first_failure(self):
        calls = []

        def succ(s):
            calls.append(s)
            raise RuntimeError("once")

        with pytest.raises(RuntimeError):
            search_implicit(succ, 0, 5, algorithm="iddfs", depth_limit=50)
        assert calls == [0]

    @pytest.mark.parametrize("exc", [KeyboardInterrupt, SystemExit])
    @pytest.mark.parametrize("where", ["successors", "heuristic"])
    def test_base_exceptions_come_through_as_themselves(self, exc, where):
        raised = exc("stop")

        def boom(*args):
            raise raised

        kwargs = dict(successors=boom) if where == "successors" else dict(successors=counter, heuristic=boom)
        with pytest.raises(exc) as info:
            search_implicit(start=0, goal=3, **kwargs)
        assert info.value is raised
        if where == "heuristic":
            with pytest.raises(exc) as info:
                search_graph(3, LINE, 0, 2, algorithm="astar", heuristic=boom)
            assert info.value is raised


class TestHeuristics:
    @pytest.mark.parametrize("h", [lambda a, b: None, lambda a, b: "1.0", lambda a: 0.0, 3])
    def test_bad_heuristic(self, h):
        with pytest.raises(ValueError) as info:
            search_implicit(counter, 0, 3, heuristic=h)
        assert str(info.value) == H_MSG

    def test_raising_heuristic_keeps_its_exception_as_cause(self):
        err = ZeroDivisionError("nope")

        def h(a, b):
            raise err

        for call in (lambda: search_implicit(counter, 0, 3, heuristic=h),
                     lambda: search_graph(3, LINE, 0, 2, algorithm="astar", heuristic=h)):
            with pytest.raises(ValueError) as info:
                call()
            assert str(info.value) == H_MSG
            assert info.value.__cause__ is err

    def test_int_heuristic_result_accepted_and_arguments_converted(self):
        seen = []

        def h(node, goal):
            seen.append((node, goal))
            return 0

        assert search_implicit(lambda s: [((s[0] + 1, 0), 1.0)], (0, 0), (2, 0), heuristic=h).found
        assert seen and all(isinstance(n, tuple) and g == (2, 0) for n, g in seen)
        seen.clear()
        search_graph(3, LINE, 0, 2, algorithm="greedy", heuristic=h)
        assert seen and all(type(n) is int and g == 2 for n, g in seen)

    def test_no_heuristic_means_zero(self):
        a = search_implicit(counter, 0, 4, algorithm="astar")
        b = search_implicit(counter, 0, 4, algorithm="ucs")
        assert (a.path, a.nodes_expanded, a.nodes_generated) == (b.path, b.nodes_expanded, b.nodes_generated)

    def test_heuristic_called_once_per_push(self):
        calls = []
        h = lambda a, b: calls.append(a) or 0.0  # noqa: E731
        r = search_graph(3, LINE, 0, 2, algorithm="bfs", heuristic=h)
        assert len(calls) == r.nodes_generated


class TestImplicitMatchesExplicit:
    @pytest.mark.parametrize("seed", range(60))
    def test_same_answers_as_search_graph(self, seed):
        n, edges = random_edges(seed, max_nodes=15)
        undirected = seed % 2 == 1
        adj = {u: [] for u in range(n)}
        for u, v, w in edges:
            adj[u].append((v, w))
            if undirected:
                adj[v].append((u, w))
        s, t = 0, n - 1
        for algorithm in ["bfs", "dfs", "dijkstra", "astar", "iddfs", "ida_star", "beam", "bidirectional"]:
            a = search_graph(n, edges, s, t, algorithm=algorithm, undirected=undirected, depth_limit=n)
            b = search_implicit(lambda u: adj[u], s, t, algorithm=algorithm, depth_limit=n)
            assert (a.path, a.nodes_expanded, a.nodes_generated, a.stop_reason) == \
                   (b.path, b.nodes_expanded, b.nodes_generated, b.stop_reason), algorithm
            assert a.cost == b.cost or (math.isnan(a.cost) and math.isnan(b.cost))
            assert a.trace == b.trace and a.tree == b.tree
