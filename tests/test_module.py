"""The module's registered surface: order, __all__, docstrings, signatures."""

import inspect

import pytest

import quellostrin
from quellostrin import quellostrin_native as native

# Registration order of everything the module exposes; entry points of
# families that are not built yet are simply absent, in place.
FULL_ORDER = [
    "search_grid", "search_grid_costs", "search_graph", "search_implicit",
    "gen_erdos_renyi", "gen_barabasi_albert", "gen_watts_strogatz", "sample_maze",
    "random_maze_ascii", "bellman_ford", "floyd_warshall", "search_npuzzle",
    "search_hanoi", "search_wordladder", "SearchResult", "ShortestPaths", "AllPairs",
]

TAIL = dict(record=True, weight=2.0, beam_width=None, depth_limit=None, max_nodes=None, reopen=False)
SIGNATURES = {
    "search_graph": (["num_nodes", "edges", "start", "goal"],
                     dict(algorithm="bfs", heuristic=None, undirected=True, **TAIL)),
    "search_implicit": (["successors", "start", "goal"], dict(algorithm="astar", heuristic=None, **TAIL)),
}


def test_all_lists_registered_names_in_registration_order():
    registered = [name for name in native.__dict__ if name in FULL_ORDER]
    assert native.__all__ == registered
    assert registered == [name for name in FULL_ORDER if name in registered]
    assert {"search_graph", "search_implicit", "SearchResult"} <= set(registered)


@pytest.mark.parametrize("name", sorted(SIGNATURES))
def test_signature_and_docstring(name):
    fn = getattr(native, name)
    required, defaults = SIGNATURES[name]
    params = list(inspect.signature(fn).parameters.values())
    assert [p.name for p in params] == required + list(defaults)
    assert all(p.kind is inspect.Parameter.POSITIONAL_OR_KEYWORD for p in params)
    assert all(p.default is inspect.Parameter.empty for p in params[: len(required)])
    assert {p.name: p.default for p in params[len(required):]} == defaults
    # The text signature is stripped from __doc__, which holds only the prose.
    assert fn.__doc__ and not fn.__doc__.startswith(name + "(")
    assert fn.__text_signature__.startswith("(")


def test_docstrings_are_the_published_texts():
    assert native.search_graph.__doc__.startswith(
        "Search an explicit weighted graph given as an edge list over `0..num_nodes`.")
    assert native.search_graph.__doc__.endswith("`SearchResult.nodes_reopened` reports what it cost.")
    assert native.search_implicit.__doc__ == (
        "Search an implicit graph defined by a Python successor callable\n"
        "`successors(state) -> [(state, cost), ...]`. States are ints or tuples of\n"
        "ints. `heuristic`, if given, is a callable `h(state, goal) -> float`.")
    assert native.SearchResult.__doc__.startswith("The outcome of a search.\n\nAttributes:\n")
    assert native.__doc__ == ""


def test_search_result_class_shape():
    cls = native.SearchResult
    assert cls.__bases__ == (object,)
    members = [n for n in vars(cls) if not n.startswith("__")]
    assert members == ["path", "cost", "found", "nodes_expanded", "nodes_generated", "nodes_reopened",
                       "max_frontier_size", "elapsed", "stop_reason", "trace", "tree"]
    with pytest.raises(TypeError):
        cls()


def test_internal_error_is_exposed_but_not_exported():
    assert quellostrin.InternalError is native.InternalError
    assert native.InternalError.__bases__ == (BaseException,)
    assert "InternalError" not in native.__all__
