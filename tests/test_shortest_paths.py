"""bellman_ford and floyd_warshall: messages, the result classes, and
distances (as lists and as numpy views) and negative cycles against networkx
and scipy on random graphs with negative weights."""

import math
import random
import struct

import networkx as nx
import numpy as np
import pytest
from scipy.sparse.csgraph import csgraph_from_dense
from scipy.sparse.csgraph import floyd_warshall as scipy_floyd_warshall

from conftest import raises
from quellostrin import AllPairs, ShortestPaths, bellman_ford, floyd_warshall

THREE = [(0, 1, 4.0), (0, 2, 1.0), (2, 1, -2.0)]


@pytest.mark.parametrize("call, exc, message", [
    (lambda: bellman_ford(3, [(0, 9, 1.0)], 3), ValueError, "source must be < num_nodes"),
    (lambda: bellman_ford(3, [(0, 1, -math.inf), (0, 9, 1.0)], 0), ValueError,
     "edge (0, 9) is out of range for a 3-node graph"),
    (lambda: bellman_ford(3, [(0, 1, 1.0), (1, 2, -math.inf)], 0), ValueError, "edge (1, 2) has weight -inf"),
    (lambda: floyd_warshall(3, [(2, 0, -math.inf)]), ValueError, "edge (2, 0) has weight -inf"),
    (lambda: bellman_ford(2**64 - 1, [], 0), MemoryError, ""),
    (lambda: floyd_warshall(2**33, []), MemoryError, ""),
])
def test_messages(call, exc, message):
    raises(exc, message, call)


def test_result_classes():
    r = bellman_ford(3, THREE, 0)
    assert (r.source, r.dist, r.pred, r.negative_cycle) == (0, [0.0, -1.0, 1.0], [None, 2, 0], False)
    assert (r.path_to(1), r.path_to(3), repr(r)) == ([0, 2, 1], None, "ShortestPaths(source=0, nodes=3, negative_cycle=false)")
    a = floyd_warshall(3, THREE)
    assert (a.num_nodes, a.distance(0, 1), a.distance(0, 7), a.distance(7, 0), a.distance(1, 1)) == \
           (3, -1.0, math.inf, math.inf, 0.0)
    assert (a.path(0, 1), a.path(1, 0), a.path(0, 7), a.path(2, 2), repr(a)) == \
           ([0, 2, 1], None, None, [2], "AllPairs(num_nodes=3, negative_cycle=false)")
    m = a.matrix()
    m[0][0] = 99.0
    r.dist.append(1.0)
    assert a.matrix()[0][0] == 0.0 and len(r.dist) == 3  # new lists every time
    assert floyd_warshall(2, [(0, 1, -1.0)], undirected=True).negative_cycle
    for cls, obj in ((ShortestPaths, r), (AllPairs, a)):
        with pytest.raises(TypeError):
            cls()
        with pytest.raises(TypeError, match="read-write"):  # asks for a writable buffer, which is refused
            struct.pack_into("d", obj, 0, 1.0)
        with pytest.raises(AttributeError):
            obj.negative_cycle = True


def unbounded_from(g, source):
    """The nodes with a negative cycle on a walk from `source`: those reached
    from a strongly connected component that holds a negative cycle and that
    `source` reaches."""
    bad = set()
    for component in nx.strongly_connected_components(g):
        sub = g.subgraph(component)
        if sub.number_of_edges() and nx.negative_edge_cycle(sub.copy()):
            bad |= component
    seen = nx.descendants(g, source) | {source}
    hit = bad & seen
    return set().union(*(nx.descendants(g, k) | {k} for k in hit)) if hit else set()


@pytest.mark.parametrize("seed", range(200))
def test_against_networkx_and_scipy(seed):
    # Distances and paths from every source, negative cycles or not: -inf
    # exactly where a negative cycle lies on a walk from the source, every
    # other distance as networkx finds it on the graph without those nodes,
    # and a path exactly where the distance is finite, costing that distance.
    rng = random.Random(seed)
    n = rng.randint(1, 12)
    edges = [(rng.randrange(n), rng.randrange(n), float(rng.randint(-3, 9))) for _ in range(rng.randint(0, 3 * n))]
    g = nx.MultiDiGraph()
    g.add_nodes_from(range(n))
    g.add_weighted_edges_from(edges)
    cheapest = np.full((n, n), np.inf)
    for u, v, w in edges:
        cheapest[u, v] = min(cheapest[u, v], w)
    a = floyd_warshall(n, edges)
    assert a.negative_cycle == nx.negative_edge_cycle(g)
    # numpy views the same distances, inf and -inf included, read-only.
    table = np.asarray(a)
    assert np.array_equal(table, np.array(a.matrix()).reshape(n, n))
    assert table.dtype == np.float64 and not table.flags.writeable
    if not a.negative_cycle:
        expected = scipy_floyd_warshall(csgraph_from_dense(cheapest, null_value=np.inf), directed=True)
        assert np.array_equal(np.array(a.matrix()).reshape(n, n), expected)
    for source in range(n):
        unbounded = unbounded_from(g, source)
        r = bellman_ford(n, edges, source)
        assert r.negative_cycle == bool(unbounded)
        assert np.array_equal(np.asarray(r), r.dist) and not np.asarray(r).flags.writeable
        # What the source reaches without a cycle (networkx refuses any negative self-loop);
        # without the source itself when it is on a cycle.
        bounded = g.subgraph((nx.descendants(g, source) | {source}) - unbounded)
        dist = nx.bellman_ford_predecessor_and_distance(bounded, source)[1] if source in bounded else {}
        expected = [-math.inf if v in unbounded else dist.get(v, math.inf) for v in range(n)]
        assert r.dist == expected
        assert [a.distance(source, v) for v in range(n)] == expected
        for v in range(n):
            for path in (r.path_to(v), a.path(source, v)):
                assert (path is None) == (not math.isfinite(expected[v]))
                if path:
                    assert path[0] == source and path[-1] == v
                    assert sum(cheapest[x, y] for x, y in zip(path, path[1:])) == expected[v]
