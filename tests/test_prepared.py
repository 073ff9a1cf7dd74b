"""The prepared classes Grid, Graph and WordList: each search equals the
function's on the same arguments, field by field, over random inputs, every
algorithm and option; the one-to-all queries of Graph; pickling; and what a
query may not change."""

import itertools
import math
import pickle
import random

import networkx as nx
import numpy as np
import pytest

from conftest import GRID_RUNNABLE, RUNNABLE, raises, random_edges
from quellostrin import (Graph, Grid, WordList, bellman_ford, floyd_warshall, random_maze_ascii, search_graph,
                         search_grid, search_grid_costs, search_wordladder)


@pytest.mark.parametrize("seed", range(12))
def test_grid_searches_equal_the_functions(seed):
    rng = random.Random(seed)
    maze = random_maze_ascii(rng.randint(3, 30), rng.randint(3, 20), rng.choice([0.0, 0.2, 0.35]), seed=seed)
    costs = np.random.default_rng(seed).uniform(0.2, 4.0, size=(rng.randint(2, 12), rng.randint(2, 12)))
    costs[np.random.default_rng(seed + 1).random(costs.shape) < 0.2] = 0
    start, goal = (0, 0), (costs.shape[0] - 1, costs.shape[1] - 1)
    costs[start] = costs[goal] = 1.0
    by_map, by_costs, by_pickle = Grid(maze), Grid(costs), pickle.loads(pickle.dumps(Grid(costs)))
    for algorithm, diagonal in itertools.product(GRID_RUNNABLE, (False, True)):
        # A memory cap that stops some searches midway: a reused workspace
        # counts as a fresh one.
        heuristics = [None, "octile", "euclidean", "zero"] + [lambda a, b: abs(a[0] - b[0])] * (algorithm != "jps")
        options = dict(algorithm=algorithm, diagonal=diagonal, reopen=seed % 2 == 1, max_nodes=5000,
                       max_memory=rng.choice([None, 2**15, 2**16]), heuristic=rng.choice(heuristics),
                       **GRID_RUNNABLE[algorithm])
        assert by_map.search(**options) == search_grid(maze, **options)
        if algorithm == "jps":  # the costs vary
            for grid in (by_costs, by_pickle):
                raises(ValueError, "'jps' needs a grid whose open cells all cost the same", grid.search, start, goal,
                       **options)
            continue
        expected = search_grid_costs(costs, start, goal, **options)
        assert by_costs.search(start, goal, **options) == expected
        assert by_pickle.search(start, goal, **options) == expected


@pytest.mark.parametrize("seed", range(30))
def test_graph_searches_equal_the_functions(seed):
    # Directed or not, pickled or not; starts and goals that no edge names
    # included.
    rng = random.Random(seed)
    n, edges = random_edges(seed, max_nodes=14)
    undirected = seed % 2 == 0
    nodes = sorted({u for u, _, _ in edges} | {v for _, v, _ in edges}) + [rng.randrange(n) for _ in range(2)]
    graph = Graph(n, edges, undirected=undirected)
    restored = pickle.loads(pickle.dumps(graph))
    assert (graph.num_nodes, graph.undirected, repr(restored)) == (n, undirected, repr(graph))
    for algorithm in RUNNABLE:
        start, goal = rng.choice(nodes), rng.choice(nodes)
        options = dict(algorithm=algorithm, reopen=rng.random() < 0.3, max_nodes=5000, **RUNNABLE[algorithm],
                       heuristic=rng.choice([None, lambda a, b: (a * 7 + b) % 5 * 0.3]))
        expected = search_graph(n, edges, start, goal, undirected=undirected, **options)
        assert graph.search(start, goal, **options) == expected
        assert restored.search(start, goal, **options) == expected


@pytest.mark.parametrize("seed", range(20))
def test_graph_shortest_paths(seed):
    # bellman_ford and floyd_warshall as the functions give them; dijkstra's
    # distances as networkx's, and its paths cost them.
    n, edges = random_edges(seed, max_nodes=15)
    undirected = seed % 2 == 0
    graph, source = Graph(n, edges, undirected=undirected), seed % n
    assert graph.bellman_ford(source) == bellman_ford(n, edges, source, undirected=undirected)
    assert graph.floyd_warshall() == floyd_warshall(n, edges, undirected=undirected)
    g = (nx.MultiGraph if undirected else nx.MultiDiGraph)()
    g.add_nodes_from(range(n))
    g.add_weighted_edges_from(edges)
    expected = nx.single_source_dijkstra_path_length(g, source)
    r = graph.dijkstra(source)
    assert r.dist == pytest.approx([expected.get(v, math.inf) for v in range(n)])
    cheapest = {}
    for u, v, w in edges:
        for step in [(u, v), (v, u)] if undirected else [(u, v)]:
            cheapest[step] = min(w, cheapest.get(step, math.inf))
    for v in range(n):
        path = r.path_to(v)
        assert (path is None) == (r.dist[v] == math.inf)
        assert path is None or sum(cheapest[s] for s in zip(path, path[1:])) == pytest.approx(r.dist[v])


@pytest.mark.parametrize("seed", range(15))
def test_word_list_searches_equal_the_function(seed):
    rng = random.Random(seed)
    words = sorted({"".join(rng.choice("abc-\u00e9") for _ in range(rng.choice([3, 3, 4]))) for _ in range(40)})
    listed = WordList(words)
    restored = pickle.loads(pickle.dumps(listed))
    assert len(listed) == len(restored) == len(set(w.lower() for w in words))
    for algorithm in RUNNABLE:
        start, goal = rng.choice(words + ["abc", "CAB"]), rng.choice(words + ["cba"])
        if len(start.encode()) != len(goal.encode()):
            continue
        options = dict(algorithm=algorithm, max_nodes=5000, **RUNNABLE[algorithm])
        expected = search_wordladder(start, goal, words, **options)
        assert listed.search(start, goal, **options) == expected
        assert restored.search(start, goal, **options) == expected
    assert len(listed) == len(restored)  # the queries' start and goal were not added


@pytest.mark.parametrize("seed", range(6))
def test_search_many_equals_one_search_per_query(seed):
    # Sequential searches, one worker and two, lists and arrays of queries.
    rng = random.Random(seed)
    maze = random_maze_ascii(40, 30, 0.3, seed=seed)
    cells = [(r, c) for r, line in enumerate(maze.splitlines()) for c, ch in enumerate(line) if ch != "#"]
    n, edges = random_edges(seed, max_nodes=30)
    words = sorted({"".join(rng.choice("abcd") for _ in range(3)) for _ in range(30)})
    cases = [
        (Grid(maze), [(rng.choice(cells), rng.choice(cells)) for _ in range(30)],
         lambda qs: np.array([[*s, *t] for s, t in qs]), dict(diagonal=True, heuristic="octile", max_nodes=400)),
        (Graph(n, edges, undirected=seed % 2 == 0), [(rng.randrange(n), rng.randrange(n)) for _ in range(30)],
         np.array, dict(algorithm="dijkstra", time_limit=10.0)),
        (WordList(words), [(rng.choice(words), rng.choice(words)) for _ in range(30)], None,
         dict(algorithm="bidirectional")),
    ]
    for obj, queries, as_array, options in cases:
        expected = [obj.search(*q, **options) for q in queries]
        assert obj.search_many(queries, **options) == expected
        assert obj.search_many(queries, workers=2, **options) == expected
        if as_array:
            assert obj.search_many(as_array(queries), workers=3, **options) == expected
        # A callable heuristic runs on the calling thread only.
        assert obj.search_many(queries[:3], heuristic=lambda a, b: 0.0) == \
               [obj.search(*q, heuristic=lambda a, b: 0.0) for q in queries[:3]]
        with pytest.raises(ValueError, match="^workers > 1 needs a built-in heuristic"):
            obj.search_many(queries, workers=2, heuristic=lambda a, b: 0.0)
        assert obj.search_many([]) == []


GRID, GRAPH, WORDS = Grid("S.#\n..G"), Graph(3, [(0, 1, 1.0)]), WordList(["ab", "cd"])
# search_many checks every query before it searches (the first bad one named).
REFUSALS = [
    (lambda: GRID.search_many([((0, 0), (1, 2)), ((0, 0), (0, 2))]), ValueError,
     "query 1: start and goal must be in-bounds, non-wall cells"),
    (lambda: GRID.search_many([((0, 0), [1, 2, 0])]), TypeError, "query 0: argument 'goal': expected a (row, col)"),
    (lambda: GRAPH.search_many([(0, 1), (2, 3)], algorithm="nope"), ValueError,
     "query 1: start and goal must be < num_nodes"),
    (lambda: GRAPH.search_many([(0, 1)], algorithm="nope"), ValueError, "unknown algorithm: 'nope'"),
    (lambda: GRAPH.search_many([(0, 1)], workers=0), ValueError, "workers must be between 1 and 1024"),
    (lambda: GRAPH.search_many([(0, 1)], 2), TypeError, "search_many() takes at most 1 positional argument (2 given)"),
    (lambda: GRAPH.search_many([(0, 1, 2)]), TypeError, "query 0: argument 'queries': expected a (start, goal)"),
    (lambda: GRAPH.search_many("01"), TypeError, "argument 'queries': expected a sequence"),
    (lambda: WORDS.search_many([("ab", "cde")]), ValueError, "query 0: start and goal must have the same length"),
    (lambda: Grid("..#\n...").search(), ValueError, "start and goal are needed"),
    (lambda: GRID.search((0, 2), None), ValueError, "start and goal must be in-bounds, non-wall cells"),
    (lambda: GRID.search(algorithm="nope"), ValueError, "unknown algorithm"),
    (lambda: Grid([]), ValueError, "costs must be a non-empty matrix"),
    (lambda: Grid(5), TypeError, "argument 'map'"),
    (lambda: Graph(3, [(0, 5, 1.0)]), ValueError, "edge (0, 5) is out of range for a 3-node graph"),
    (lambda: GRAPH.search(0, 3), ValueError, "start and goal must be < num_nodes"),
    (lambda: Graph(3, [(0, 1, -1.0)]).dijkstra(0), ValueError, "dijkstra needs weights >= 0"),
    (lambda: Graph(3, [(0, 1, -math.inf)]).bellman_ford(0), ValueError, "edge (0, 1) has weight -inf"),
    (lambda: GRAPH.bellman_ford(3), ValueError, "source must be < num_nodes"),
    (lambda: WORDS.search("ab", "abc"), ValueError, "start and goal must have the same length"),
]


@pytest.mark.parametrize("call, error, message", REFUSALS)
def test_refusals(call, error, message):
    raises(error, message, call)


def test_properties_and_views():
    assert (GRID.shape, GRID.start, GRID.goal, repr(GRID)) == ((2, 3), (0, 0), (1, 2), "Grid(height=2, width=3)")
    assert (Grid("..#\n...").start, repr(WordList(["ab", "AB", "cd"]))) == (None, "WordList(2 words)")
    # numpy views the costs as given (0 for '#'), read-only.
    costs = np.array([[1.0, -2.0, np.nan], [0.5, 9.0, np.inf]])
    for given, expected in [("S.#\n.2G", [[1, 1, 0], [1, 2, 1]]), (costs, costs), ([[1, 2], [3]], [[1, 2], [3, np.nan]])]:
        view = np.asarray(Grid(given))
        assert np.array_equal(view, expected, equal_nan=True) and not view.flags.writeable
    graph = Graph(4, [(0, 1, 1.0), (1, 2, math.inf), (2, 3, 2.0)], undirected=False)
    assert (graph.num_edges, repr(graph)) == (2, "Graph(num_nodes=4, num_edges=2, undirected=False)")
