"""search_implicit and callable heuristics: state conversion, callback
failures (stored during the search, raised after it), and agreement with
search_graph on the same graphs."""

import traceback

import pytest

from conftest import LINE, raises, random_edges
from quellostrin import search_graph, search_implicit

STATES_MSG = "implicit-graph states must be an int or a sequence of ints"
PAIRS_MSG = "successors must return a list of (state, cost) pairs"
H_MSG = "the heuristic callable must return a float"


def counter(s):
    return [(s + 1, 1.0)]


def test_state_forms():
    r = search_implicit(counter, 0, 3)
    assert r.path == [0, 1, 2, 3] and r.cost == 3.0 and all(type(n) is int for n in r.path)
    listed = search_implicit(lambda s: [[s + 1, 1.0]], 0, 3)  # pairs may be lists (from JSON, say)
    assert (listed.path, listed.trace, listed.tree) == (r.path, r.trace, r.tree)
    assert search_implicit(lambda s: [((s + 1,), 1.0)], (0,), (2,)).path == [0, 1, 2]  # 1-tuples are ints
    assert search_implicit(lambda s: [], (), ()).path == [()]
    seen = []

    def grid(state):
        seen.append(state)
        x, y = state
        return [([x + 1, y], 1.0), ([x, y + 1], 1.0)]

    r = search_implicit(grid, [0, 0], (1, 1), algorithm="bfs")  # lists come back as tuples
    assert r.path[0] == (0, 0) and r.path[-1] == (1, 1) and len(r.path) == 3
    assert all(type(s) is tuple for s in seen) and all(type(n) is tuple for n, _, _ in r.trace)


@pytest.mark.parametrize("start, goal", [("5", 0), ([1.5], 0), (2**63, 0), ([2**64], 0), ({1: 2}, 0),
                                         (1.0, 0), (None, 0), ([[1]], 0), (0, "x")])
def test_bad_states_fail_at_once(start, goal):
    calls = []
    assert str(raises(ValueError, STATES_MSG, search_implicit, lambda s: calls.append(s) or [], start, goal)) == STATES_MSG
    assert calls == []


@pytest.mark.parametrize("successors, heuristic, message", [
    *[(lambda s, bad=bad: bad, None, PAIRS_MSG)
      for bad in [{1: 1.0}, (1, 1.0), [[1, 1.0, 2]], ["ab"], [(1, "1.0")], [(1, 1.0, 2)], "ab", None, 42]],
    (lambda s: [(1, 1.0), ("x", 1.0)], None, STATES_MSG),
    *[(counter, h, H_MSG) for h in [lambda a, b: None, lambda a, b: "1.0", lambda a: 0.0, 3]],
])
def test_bad_callback_results(successors, heuristic, message):
    assert str(raises(ValueError, message, search_implicit, successors, 0, 3, heuristic=heuristic)) == message
    if heuristic is None:  # the same lists from a predecessor callable
        # The start side's layers grow, so the goal side expands second.
        message = message.replace("successors", "predecessors")
        assert str(raises(ValueError, message, search_implicit, lambda s: [(s + 1, 1.0), (s + 2, 1.0)], 0, 9,
                          algorithm="bidirectional", predecessors=successors)) == message


def test_successor_exception_is_reraised_unchanged_and_ends_the_calls():
    err = KeyError("boom")
    calls = []

    def succ(s):
        calls.append(s)
        if s == 2:
            raise err
        return [(s + 1, 1.0)]

    with pytest.raises(KeyError) as info:
        search_implicit(succ, 0, 5, algorithm="iddfs", depth_limit=50)
    assert info.value is err and calls == [0, 0, 1, 0, 1, 2]
    assert "succ" in [f.name for f in traceback.extract_tb(info.value.__traceback__)]
    with pytest.raises(TypeError, match="not callable"):
        search_implicit(42, 0, 1)
    assert search_implicit(42, 1, 1).path == [1]  # start == goal never calls it


@pytest.mark.parametrize("exc", [KeyboardInterrupt, SystemExit, ZeroDivisionError])
@pytest.mark.parametrize("where", ["successors", "heuristic", "graph heuristic"])
def test_callback_exceptions(exc, where):
    # A heuristic's error becomes ValueError with it as the cause; base
    # exceptions, and anything successors raise, come through as themselves.
    # The first error ends the search: A* would push more nodes, IDA* would
    # start more passes (on a longer chain, for minutes), each calling again.
    raised, calls = exc("stop"), []

    def boom(*args):
        calls.append(args)
        raise raised

    with pytest.raises(BaseException) as info:
        if where == "successors":
            search_implicit(boom, 0, 3)
        elif where == "heuristic":
            search_implicit(counter, 0, 3, heuristic=boom)
        else:
            search_graph(3, LINE, 0, 2, algorithm="ida_star", heuristic=boom)
    assert len(calls) == 1
    if where == "successors" or not issubclass(exc, Exception):
        assert info.value is raised
    else:
        assert type(info.value) is ValueError and str(info.value) == H_MSG and info.value.__cause__ is raised


def test_heuristic_arguments_results_and_calls():
    seen = []

    def h(node, goal):
        seen.append((node, goal))
        return 0  # an int is accepted

    assert search_implicit(lambda s: [((s[0] + 1, 0), 1.0)], (0, 0), (2, 0), heuristic=h).found
    assert seen and all(isinstance(n, tuple) and g == (2, 0) for n, g in seen)
    seen.clear()
    r = search_graph(3, LINE, 0, 2, algorithm="bfs", heuristic=h)
    assert len(seen) == r.nodes_generated  # once per push
    assert all(type(n) is int and g == 2 for n, g in seen)


@pytest.mark.parametrize("seed", range(60))
def test_same_answers_as_search_graph(seed):
    n, edges = random_edges(seed, max_nodes=15)
    undirected = seed % 2 == 1
    adj, back = {u: [] for u in range(n)}, {u: [] for u in range(n)}
    for u, v, w in edges:
        adj[u].append((v, w))
        back[v].append((u, w))
        if undirected:
            adj[v].append((u, w))
    s, t = 0, n - 1
    # A directed graph's bidirectional search walks back over its predecessors.
    predecessors = None if undirected else back.__getitem__
    for algorithm in ["bfs", "dfs", "dijkstra", "astar", "iddfs", "ida_star", "beam", "bidirectional"]:
        a = search_graph(n, edges, s, t, algorithm=algorithm, undirected=undirected, depth_limit=n)
        b = search_implicit(lambda u: adj[u], s, t, algorithm=algorithm, depth_limit=n, predecessors=predecessors)
        assert a == b, algorithm
    for goal in range(n):  # without predecessors the goal side guesses, but never reports a non-walk
        blind = search_implicit(adj.__getitem__, s, goal, algorithm="bidirectional")
        assert not blind.found or all(any(v == y for v, _ in adj[x]) for x, y in zip(blind.path, blind.path[1:]))
