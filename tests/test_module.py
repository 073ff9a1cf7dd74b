"""The module's classes and docstrings, module objects that each own their
classes (re-import, sub-interpreters), and pickling."""

import importlib.util
import inspect
import math
import struct
import textwrap

import pytest

import quellostrin
from quellostrin import quellostrin_native as native


# __all__ is held to the stub's and the package's by test_package.py, and
# every name it lists to the module's own by stubtest.
def test_classes():
    with pytest.raises(TypeError):
        native.SearchResult()
    assert quellostrin.InternalError is native.InternalError
    assert native.InternalError.__bases__ == (BaseException,)
    assert "InternalError" not in native.__all__
    # Signatures are held to the stub by stubtest (test_package.py); the text
    # signature is stripped from __doc__, which holds only the prose.
    for name in filter(lambda n: inspect.isbuiltin(getattr(native, n)), native.__all__):
        doc = getattr(native, name).__doc__
        assert doc and not doc.startswith(name + "("), name


def test_each_module_object_owns_its_classes():
    spec = importlib.util.spec_from_file_location(native.__name__, native.__file__)
    again = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(again)
    assert again is not native and again.__all__ == native.__all__
    assert again.SearchResult is not native.SearchResult
    assert again.InternalError is not native.InternalError
    r = again.search_graph(3, [(0, 1, 1.0), (1, 2, 1.0)], 0, 2)
    assert type(r) is again.SearchResult and r.path == [0, 1, 2]
    assert again.search_implicit(lambda s: [(s + 1, 1.0)], 0, 2, heuristic=lambda a, b: 0).path == [0, 1, 2]
    del again
    assert native.search_graph(2, [(0, 1, 1.0)], 0, 1).found


def test_imports_and_searches_in_a_subinterpreter():
    interpreters = pytest.importorskip("_xxsubinterpreters")
    code = textwrap.dedent("""
        from quellostrin import search_graph, search_implicit
        assert search_graph(3, [(0, 1, 1.0), (1, 2, 1.0)], 0, 2, algorithm="astar").path == [0, 1, 2]
        assert search_implicit(lambda s: [(s + 1, 1.0)], 0, 3, heuristic=lambda a, b: 0.0).cost == 3.0
    """)
    for _ in range(2):
        interp = interpreters.create()
        try:
            interpreters.run_string(interp, code)
        finally:
            interpreters.destroy(interp)


def _results():
    """One object of every picklable kind, with the ways to read it back."""
    from quellostrin import (bellman_ford, floyd_warshall, search_graph, search_grid, search_implicit)
    neg = [(0, 1, 4.0), (0, 2, 1.0), (2, 1, -2.0), (3, 4, -1.0), (4, 3, -1.0)]
    return [
        search_graph(4, [(0, 1, 1.0), (1, 2, 2.5), (0, 2, 5.0), (2, 3, 1.0)], 0, 3, algorithm="dijkstra"),
        search_graph(3, [(0, 1, 1.0)], 0, 2, record=False, max_nodes=1),
        search_graph(3, [(0, 1, 1.0)], 0, 2, max_memory=0),
        search_grid("S..#\n.#.G", algorithm="bidirectional"),
        search_implicit(lambda s: [((s[0] + 1, -s[1]), 1.0)] if s[0] < 3 else [], (0, 5), (3, -5)),
        bellman_ford(5, neg, 0),
        bellman_ford(5, neg, 3),
        floyd_warshall(5, neg),
        floyd_warshall(0, []),
    ]


def test_results_and_errors_survive_pickle():
    import pickle
    for obj in _results():
        for protocol in (0, pickle.HIGHEST_PROTOCOL):
            back = pickle.loads(pickle.dumps(obj, protocol))
            assert type(back) is type(obj) and back == obj and not back != obj and repr(back) == repr(obj)
            assert getattr(back, "elapsed", None) == getattr(obj, "elapsed", None)
    error = pickle.loads(pickle.dumps(native.InternalError("broken")))  # found by its module and name
    assert type(error) is native.InternalError and error.args == ("broken",)


def test_results_compare_by_value():
    """Equal when every field but elapsed is, NaN to NaN; unequal when any
    one differs; never hashable."""
    def changed(part):  # another value of a pickled field
        if isinstance(part, bool):
            return not part
        if isinstance(part, (int, float)):
            return part + 1 if isinstance(part, int) else -part or 1.0  # inf too
        if isinstance(part, str):  # a stop reason other than "goal" (which goes with the path)
            return "exhausted" if part == "node_limit" else "node_limit"
        if isinstance(part, bytes):  # the last word: a number <-> NaN, a node <-> absent
            return part[:-8] + (bytes(8) if part[-8:] == b"\xff" * 8 else b"\xff" * 8)
        return (part or [0]) + (part or [0])[-1:]  # a list, or None

    for obj in _results():
        assert obj != 1 and type(obj).__hash__ is None
        with pytest.raises(TypeError, match="unhashable"):
            hash(obj)
        restore, args = obj.__reduce__()
        result = isinstance(obj, native.SearchResult)
        for i, part in enumerate(args):
            if part in (b"", "goal") or (result and part is None) or (isinstance(obj, native.AllPairs) and i == 0):
                continue  # nothing to change; an AllPairs' n is its tables' size; a path goes with "goal"
            assert (restore(*args[:i], changed(part), *args[i + 1:]) == obj) is (result and i == 6), (obj, i)
        k = 1 if result else 2  # a result's cost, the others' first distance
        if args[k] != b"":
            nan = math.nan if result else struct.pack("<d", math.nan) + args[k][8:]
            assert restore(*args[:k], nan, *args[k + 1:]) == restore(*args[:k], nan, *args[k + 1:])


def test_a_recording_is_built_once_when_first_read():
    import pickle
    from quellostrin import search_grid
    fresh = lambda: search_grid("S..\n.#.\n..G", algorithm="astar", record=True)  # noqa: E731
    read = fresh()
    trace, tree = read.trace, read.tree
    assert read.trace is trace and read.tree is tree and trace and tree
    # Either list first, or neither before pickling: the same lists come out.
    tree_first = fresh()
    assert (tree_first.tree, tree_first.trace) == (tree, trace)
    assert (pickle.loads(pickle.dumps(fresh())).trace, fresh().tree) == (trace, tree)


def _word(k):
    return struct.pack("<Q", k)


def _pickled(kind):
    """The arguments __reduce__ gives for a small object of `kind`."""
    from quellostrin import Graph, Grid, SlidingPuzzle, WordList, bellman_ford, floyd_warshall, search_grid
    return list({
        "result": lambda: search_grid("S.G"),
        "shortest": lambda: bellman_ford(3, [(0, 1, 1.0)], 0),
        "all_pairs": lambda: floyd_warshall(2, [(0, 1, 1.0)]),
        "grid": lambda: Grid("S.#\n..G"),
        "graph": lambda: Graph(4, [(0, 1, 1.0), (1, 2, -2.0), (2, 3, -math.inf)], undirected=False),
        "compact": lambda: Graph(100, [(10, 50, 1.0)]),
        "words": lambda: WordList(["ab", "cd"]),
        "sliding": lambda: SlidingPuzzle([1, 2, 0, 3]),
    }[kind]().__reduce__()[1])


# Each restore function's refusals: (kind, argument index, corrupt value, message).
CORRUPT = [
    ("result", 0, lambda path: tuple(path), "path is a list or None"),
    ("result", 0, lambda path: [], "path is empty"),
    ("result", 0, lambda path: None, "a path exactly when its stop_reason is 'goal'"),
    ("result", 7, lambda stop: "exhausted", "a path exactly when its stop_reason is 'goal'"),
    ("result", 7, lambda stop: "nope", "stop_reason is unknown"),
    ("shortest", 0, lambda source: 3, "its source past its nodes"),
    ("shortest", 2, lambda dist: dist[:-1], "wrong size of dist"),
    ("shortest", 3, lambda pred: pred[:-8], "wrong size of pred"),
    ("shortest", 3, lambda pred: _word(3) + pred[8:], "names a node past its nodes in pred"),
    ("all_pairs", 3, lambda hops: b"\xff" * 24, "wrong size of next_hop"),
    ("all_pairs", 3, lambda hops: _word(2) + hops[8:], "names a node past its nodes in next_hop"),
    ("all_pairs", 0, lambda n: 2**32, "wrong size of dist"),
    ("grid", 0, lambda width: 0, "malformed"),
    ("grid", 2, lambda costs: costs[:-8], "malformed"),
    ("grid", 3, lambda start: (0, 2), "malformed"),  # a wall
    ("grid", 4, lambda goal: (2, 0), "malformed"),  # out of bounds
    ("graph", 5, lambda offsets: offsets[:-8], "malformed"),
    ("graph", 6, lambda targets: _word(4) + targets[8:], "malformed"),
    ("graph", 11, lambda minus_inf: None, "malformed"),
    ("graph", 12, lambda negative: None, "malformed"),
    ("graph", 12, lambda negative: (0, 9, -2.0), "malformed"),
    ("compact", 4, lambda ids: ids[8:] + ids[:8], "malformed"),
    ("words", 1, lambda sizes: _word(2) + _word(3), "malformed"),
    ("words", 1, lambda sizes: _word(2), "malformed"),
    ("words", 0, lambda blob: b"aB" + blob[2:], "malformed"),
    ("words", 0, lambda blob: b"a\xff" + blob[2:], "malformed"),
    ("sliding", 0, lambda goal: b"\x01\x01\x02\x00", "malformed"),
    ("sliding", 1, lambda tiles: b"\x01\x01\x02", "malformed"),
    ("sliding", 4, lambda tables: tables[:-1], "malformed"),
    ("sliding", 3, lambda reflected: True, "malformed"),  # the goal's blank is off the diagonal
]
RESTORE = {"result": "search_result", "shortest": "shortest_paths", "all_pairs": "all_pairs", "grid": "grid",
           "graph": "graph", "compact": "graph", "words": "word_list", "sliding": "sliding_puzzle"}


@pytest.mark.parametrize("kind, index, corrupt, message", CORRUPT)
def test_a_corrupt_pickle_is_refused(kind, index, corrupt, message):
    restore = getattr(native, f"_restore_{RESTORE[kind]}")
    args = _pickled(kind)
    restore(*args)  # the untouched arguments restore
    args[index] = corrupt(args[index])
    with pytest.raises(ValueError) as info:
        restore(*args)
    assert message in str(info.value)
