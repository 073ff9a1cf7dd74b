"""search_graph and what every search entry point shares: argument rules,
error messages in their order of precedence, dispatch options, and the
SearchResult view."""

import itertools
import math
import random
import re

import numpy as np
import pytest

from conftest import ALGORITHMS, ALIASES, LINE, RUNNABLE, fields, raises, random_edges
from quellostrin import bellman_ford, floyd_warshall, search_graph, search_implicit

BASE = dict(num_nodes=3, edges=LINE, start=0, goal=2)
# The algorithms of the frontier driver, the ones that can reopen.
FRONTIER = ("bfs", "dfs", "ucs", "dijkstra", "greedy", "astar", "weighted_astar")
UNKNOWN_ALGO = "unknown algorithm: '{}'. Available: " + ", ".join(ALGORITHMS)
UNKNOWN_H = "unknown graph heuristic: '{}'. Use 'zero' or a callable h(node, goal) -> float"
BAD_H = "heuristic must be a name (str) or a callable h(node, goal) -> float"
RANGE = "start and goal must be < num_nodes"
TIME_LIMIT = "time_limit must be None or a number of seconds >= 0"


class TestErrors:
    # Each row also carries the later mistakes it must be reported before.
    @pytest.mark.parametrize("kwargs, message", [
        (dict(num_nodes=0, edges=[], goal=0), RANGE),
        (dict(goal=9, edges=[(0, 9, 1.0)], heuristic=3, algorithm="nope"), RANGE),
        (dict(edges=[(0, 1, 1.0), (0, 9, 1.0), (7, 0, 1.0)], heuristic=3, algorithm="nope"),
         "edge (0, 9) is out of range for a 3-node graph"),
        (dict(heuristic=3, algorithm="nope"), BAD_H),
        (dict(heuristic="manhattan", algorithm="nope"), UNKNOWN_H.format("manhattan")),
        (dict(heuristic=lambda a, b: 0.0, algorithm="nope"), UNKNOWN_ALGO.format("nope")),
        (dict(algorithm="BFS"), UNKNOWN_ALGO.format("BFS")),
        (dict(algorithm="dls"), "'dls' requires depth_limit"),
        (dict(algorithm="dls", depth_limit=2, time_limit=-1.0), TIME_LIMIT),
        (dict(time_limit=math.nan), TIME_LIMIT),
    ])
    def test_value_errors_in_order(self, kwargs, message):
        assert str(raises(ValueError, message, search_graph, **(BASE | kwargs))) == message

    @pytest.mark.parametrize("kwargs, name, exc", [
        (dict(num_nodes=3.0), "num_nodes", TypeError),
        (dict(start=1.5, goal="2"), "start", TypeError),  # the first bad argument is reported
        (dict(record=1), "record", TypeError),
        (dict(undirected=None), "undirected", TypeError),
        (dict(algorithm=b"bfs"), "algorithm", TypeError),
        (dict(weight="2"), "weight", TypeError),
        (dict(edges=[[0, 1, 1.0, 2]]), "edges", TypeError),
        (dict(edges=["abc"]), "edges", TypeError),  # a str is no edge
        (dict(edges=[(0.5, 1, 1.0)]), "edges", TypeError),  # whole floats are node numbers, others not
        (dict(edges=np.array([[0.5, 1, 1.0]])), "edges", TypeError),  # arrays: node numbers must be whole
        (dict(edges=np.array([[0, -1, 1]])), "edges", OverflowError),
        (dict(edges=((0, 1, 1.0) for _ in range(1))), "edges", TypeError),  # generators are refused
        (dict(num_nodes=0, reopen=1, algorithm="nope"), "reopen", TypeError),  # before any value check
        (dict(start=-1), "start", OverflowError),
        (dict(edges=[(0, -1, 1.0)]), "edges", OverflowError),
        (dict(beam_width=2**64), "beam_width", OverflowError),
        (dict(max_memory=-1), "max_memory", OverflowError),
    ])
    def test_conversion_errors_name_the_argument_and_keep_the_cause(self, kwargs, name, exc):
        with pytest.raises(exc) as info:
            search_graph(**(BASE | kwargs))
        cause = info.value.__cause__
        assert type(info.value) is exc and type(cause) is exc
        assert str(info.value) == f"argument '{name}': {cause}"

    def test_cpython_wording_for_bad_calls(self):
        with pytest.raises(TypeError, match=r"search_graph\(\) missing required argument 'goal' \(pos 4\)"):
            search_graph(3, LINE, 0)
        with pytest.raises(TypeError, match="'nope' is an invalid keyword argument"):
            search_graph(3, LINE, 0, 2, nope=1)
        with pytest.raises(TypeError, match="takes at most 15 arguments"):
            search_graph(3, LINE, 0, 2, "bfs", None, True, True, 2.0, None, None, None, False, None, None, "extra")

    def test_edge_list_resized_during_conversion(self):
        edges = [(0, 1, 1.0), (1, 2, 1.0)]

        class Shrinking:
            def __float__(self):
                edges.clear()
                return 1.0

        edges[0] = (0, 1, Shrinking())
        with pytest.raises(RuntimeError, match="the edge list changed size during conversion"):
            search_graph(3, edges, 0, 2)

    def test_accepted_forms(self):
        expected = search_graph(**BASE).path
        for kwargs in [
            dict(edges=[(0, 1, 1), (1, 2, 1)]),  # int weights
            dict(start=np.uint8(0), goal=np.int64(2), num_nodes=np.int32(3)),  # index protocol
            dict(record=np.bool_(True), undirected=np.bool_(True)),
            dict(weight=3, beam_width=None, depth_limit=None, max_nodes=None),
        ]:
            assert search_graph(**(BASE | kwargs)).path == expected
        assert search_graph(**(BASE | dict(start=True))).path == [1, 2]  # bool is an int
        # weights are not inspected
        assert search_graph(3, [(0, 1, -1.0), (1, 2, math.inf), (0, 2, math.nan)], 0, 2, undirected=False).found

    @pytest.mark.parametrize("seed", range(8))
    def test_edge_lists_in_every_form_give_the_same_answers(self, seed):
        # Lists or tuples of tuples, lists (JSON, ndarray.tolist()), rows of an array, and (m, 3)
        # arrays of floats or ints, contiguous or not: one answer for all.
        n, edges = random_edges(seed)
        array = np.array(edges)
        ints = [(u, v, round(w)) for u, v, w in edges]
        for call in (lambda e: search_graph(n, e, 0, n - 1), lambda e: bellman_ford(n, e, 0, undirected=True),
                     lambda e: floyd_warshall(n, e)):
            expected = repr(fields(call(edges)))
            for form in [tuple(edges), [list(e) for e in edges], array.tolist(), list(array), array,
                         np.asfortranarray(array)]:
                assert repr(fields(call(form))) == expected
            expected = repr(fields(call(ints)))
            for form in [np.array(ints, dtype=np.int64), np.array(ints, dtype=np.uint16), np.array(ints)[::-1][::-1]]:
                assert repr(fields(call(form))) == expected

class TestDispatch:
    def test_aliases_run_their_algorithm(self):
        h = lambda n, goal: abs(goal - n) * 0.5  # noqa: E731
        for alias, name in ALIASES.items():
            a = search_graph(6, [(i, i + 1, 1.0) for i in range(5)], 0, 5, algorithm=alias, heuristic=h)
            b = search_graph(6, [(i, i + 1, 1.0) for i in range(5)], 0, 5, algorithm=name, heuristic=h)
            assert (a.path, a.trace, a.tree) == (b.path, b.trace, b.tree)

    def test_depth_width_and_weight_options(self):
        chain = [(i, i + 1, 1.0) for i in range(1200)]
        assert search_graph(1201, chain, 0, 1000, algorithm="iddfs", record=False).found  # default depth 1000
        assert not search_graph(1201, chain, 0, 1001, algorithm="iddfs", record=False).found
        assert search_graph(1201, chain, 0, 1001, algorithm="iddfs", depth_limit=1001, record=False).found
        assert search_graph(1201, chain, 0, 5, algorithm="dls", depth_limit=5).found
        assert not search_graph(1201, chain, 0, 5, algorithm="dls", depth_limit=4).found
        star = [(0, i, 1.0) for i in range(1, 6)] + [(5, 6, 1.0)]
        assert search_graph(7, star, 0, 6, algorithm="beam").found  # no width: nothing is cut
        assert not search_graph(7, star, 0, 6, algorithm="beam", beam_width=1).found
        # h is 0 except at node 1; with weight 0 the detour via 1 is preferred by cost.
        edges, h = [(0, 1, 1.0), (1, 3, 1.0), (0, 2, 1.5), (2, 3, 1.0)], lambda n, goal: 10.0 if n == 1 else 0.0
        for weight, path in [(0, [0, 1, 3]), (1, [0, 2, 3])]:
            assert search_graph(4, edges, 0, 3, algorithm="wastar", heuristic=h, weight=weight).path == path

    @pytest.mark.parametrize("algorithm", RUNNABLE)
    @pytest.mark.parametrize("limit", [dict(max_nodes=1000), dict(max_memory=2**17)])
    def test_node_and_memory_limits_bound_every_algorithm(self, algorithm, limit):
        # A complete directed graph on 0..9 (the path-at-a-time algorithms
        # would enumerate ~10^9 simple paths) running into a chain to 1999, and
        # the goal 3999 at the end of a chain of its own, so both sides of a
        # bidirectional search grow a node per layer without ever meeting.
        edges = [(u, v, 1.0) for u in range(10) for v in range(10) if u != v]
        edges += [(i, i + 1, 1.0) for i in range(9, 1999)] + [(i, i + 1, 1.0) for i in range(2000, 3999)]
        r = search_graph(4000, edges, 0, 3999, algorithm=algorithm, undirected=False, **limit, **RUNNABLE[algorithm])
        reason = "node_limit" if "max_nodes" in limit else "memory_limit"
        assert (r.stop_reason, r.found, r.cost) == (reason, False, math.inf)
        assert r.nodes_expanded == 1000 or algorithm.startswith("bidir") or reason == "memory_limit"
        assert len(r.trace) == r.nodes_expanded > 100

    @pytest.mark.parametrize("seed", range(60))
    def test_reopening_ends_exactly_when_no_negative_cycle_is_reachable(self, seed):
        rng = random.Random(seed)
        n, edges = random_edges(seed, max_nodes=12, density=1.5)
        edges = [(u, v, w - rng.choice([0, 0, 4, 11])) for u, v, w in edges]
        undirected = seed % 3 == 0  # then any negative edge within reach is a cycle of its own
        adjacency, links = {u: [] for u in range(n + 1)}, {(u, v) for u, v, _ in edges}
        for u, v, w in edges:
            adjacency[u].append((v, w))
            if undirected:
                adjacency[v].append((u, w))
                links.add((v, u))
        # The goal n is isolated: the search runs until it has settled every cost.
        graph = dict(num_nodes=n + 1, edges=edges, start=0, goal=n, undirected=undirected)
        calls = [lambda **kw: search_graph(**graph, **kw),
                 lambda **kw: search_implicit(adjacency.__getitem__, 0, n, **kw)]
        bf = bellman_ford(n + 1, edges, 0, undirected=undirected)
        for algorithm, call in itertools.product(FRONTIER, calls):
            if bf.negative_cycle:
                with pytest.raises(ValueError, match="^negative cycle reachable from start: this search cannot end; "
                                                     "use bellman_ford to find it$"):
                    call(algorithm=algorithm, reopen=True, max_nodes=10**6)  # the limit only guards the test
                assert call(algorithm=algorithm).stop_reason == "exhausted"
                # A goal found while the cycle has looped the parent links (before their edge
                # counts prove the cycle) has no path to report: a walk from the start, or the refusal.
                for goal in range(1, n) if call is calls[0] else ():
                    try:
                        r = search_graph(**(graph | dict(goal=goal)), algorithm=algorithm, reopen=True, max_nodes=10**6)
                    except ValueError as e:
                        assert str(e).startswith("negative cycle reachable from start")
                        continue
                    assert not r.found or (r.path[0], r.path[-1]) == (0, goal) and set(zip(r.path, r.path[1:])) <= links
                continue
            r = call(algorithm=algorithm, reopen=True)
            assert r.stop_reason == "exhausted"
            # Each reached node has its shortest cost: the last trace entry of each node.
            settled = {node: g for node, g, _ in r.trace}
            assert settled == pytest.approx({v: d for v, d in enumerate(bf.dist) if d != math.inf})
            # A cost of -inf stops lowering, so that proof could not end a
            # search round a cycle through it: reopening refuses such a cost.
            with pytest.raises(ValueError, match="^a path of cost -inf is reachable from start"):
                search_graph(**(graph | dict(edges=[*edges, (0, n, -math.inf)])), algorithm=algorithm, reopen=True)

    @pytest.mark.parametrize("seed", range(40))
    def test_sparse_node_numbers_search_the_same(self, seed):
        # The same graph with its nodes renumbered far apart (num_nodes then
        # dwarfs the edges, and only the named nodes are searched) gives the
        # same search, renumbered: path, trace, tree, counters, heuristic calls;
        # directed too, where bidirectional search walks back over predecessors;
        # a memory cap it never reaches changes nothing.
        rng = random.Random(seed)
        n, edges = random_edges(seed)
        name = dict(zip(range(n), rng.sample(range(2**50), n)))
        ids = {v: k for k, v in name.items()}
        big = [(name[u], name[v], w) for u, v, w in edges]
        goal = rng.randrange(n)
        h = lambda a, b: (a * 7 + b) % 5 * 0.3  # noqa: E731
        algorithm = ["astar", "dijkstra", "bfs", "dfs", "bidirectional", "ida_star", "beam"][seed % 7]
        options = dict(algorithm=algorithm, reopen=seed % 2 == 1, undirected=seed % 3 != 0)
        small = search_graph(n, edges, 0, goal, heuristic=h, **options)
        renamed = search_graph(2**50, big, name[0], name[goal], heuristic=lambda a, b: h(ids[a], ids[b]),
                               max_memory=2**40, **options)  # a cap never reached
        assert renamed.path == (small.path and [name[v] for v in small.path])
        assert renamed.trace == [(name[v], g, f) for v, g, f in small.trace]
        assert renamed.tree == [(name[a], name[b]) for a, b in small.tree]
        assert (renamed.cost, renamed.nodes_expanded, renamed.nodes_generated, renamed.max_frontier_size) == \
               (small.cost, small.nodes_expanded, small.nodes_generated, small.max_frontier_size)


class TestEdgeMeanings:
    @pytest.mark.parametrize("seed", range(40))
    def test_a_found_cost_is_its_paths_cost(self, seed):
        # The cheapest parallel edge at each step, summed along the path, for
        # every algorithm, with and without reopening (which may re-parent an
        # ancestor of the goal after the goal's label was set).
        rng = random.Random(seed)
        n, edges = random_edges(seed, max_nodes=8, density=2.0)
        undirected = seed % 2 == 0
        cheapest = {}
        for u, v, w in edges:
            for step in [(u, v), (v, u)] if undirected else [(u, v)]:
                cheapest[step] = min(w, cheapest.get(step, math.inf))
        for algorithm, reopen in itertools.product(RUNNABLE, (False, True)):
            for goal in range(n):
                r = search_graph(n, edges, 0, goal, algorithm=algorithm, reopen=reopen, undirected=undirected,
                                 heuristic=lambda a, b: rng.choice([0.0, 2.0]), **RUNNABLE[algorithm])
                if r.found:
                    assert r.cost == sum(cheapest[step] for step in zip(r.path, r.path[1:])), (algorithm, r.path)
        edges = [(3, 4, 7.0), (4, 4, 5.0), (4, 4, 3.0), (0, 3, 9.0), (3, 2, 9.0), (2, 3, 3.0), (0, 1, 1.0),
                 (0, 2, 1.0), (2, 0, 7.0)]
        r = search_graph(5, edges, 0, 4, algorithm="bfs", reopen=True, undirected=False)
        assert (r.path, r.cost) == ([0, 2, 3, 4], 11.0)

    @pytest.mark.parametrize("seed", range(30))
    def test_an_infinite_weight_is_no_edge(self, seed):
        # Every algorithm, and both shortest-path tables, answer as on the graph without those edges.
        rng = random.Random(seed)
        n, edges = random_edges(seed, max_nodes=12)
        with_inf = list(edges)
        for _ in range(n):
            with_inf.insert(rng.randrange(len(with_inf) + 1), (rng.randrange(n), rng.randrange(n), math.inf))
        for algorithm, undirected in itertools.product(RUNNABLE, (True, False)):
            options = dict(algorithm=algorithm, undirected=undirected, **RUNNABLE[algorithm])
            assert search_graph(n, with_inf, 0, n - 1, **options) == search_graph(n, edges, 0, n - 1, **options), \
                algorithm
        assert bellman_ford(n, with_inf, 0) == bellman_ford(n, edges, 0)
        assert floyd_warshall(n, with_inf) == floyd_warshall(n, edges)


class TestSearchResult:
    def test_line_graph_defaults_and_record_off(self):
        r = search_graph(**BASE)
        assert (r.path, r.cost, r.found, r.stop_reason) == ([0, 1, 2], 2.0, True, "goal")
        assert r.trace == [(0, 0.0, 0), (1, 1.0, 0), (2, 2.0, 0)]
        assert r.tree == [(0, 1), (1, 2)]
        assert repr(r) == f"SearchResult(found=True, cost=2, expanded=3, frontier=1, elapsed={r.elapsed:.6f}, stop=goal)"
        with pytest.raises(AttributeError):
            r.cost = 1.0  # read-only
        assert r.trace is r.trace and r.path is r.path  # built once, when the result is made
        off = search_graph(**BASE, record=False)  # the path and counters still, no trace or tree
        assert (off.path, off.cost, off.nodes_expanded, off.nodes_generated, off.max_frontier_size, off.trace,
                off.tree) == (r.path, r.cost, r.nodes_expanded, r.nodes_generated, r.max_frontier_size, [], [])

    def test_unreachable_and_repr_cost_as_an_integer_below_two_to_53_else_as_python_prints_it(self):
        r = search_graph(4, LINE, 0, 3, record=True)
        assert (r.path, r.found, r.cost, r.stop_reason) == (None, False, math.inf, "exhausted")
        assert re.fullmatch(r"SearchResult\(found=False, cost=inf, expanded=3, frontier=1, "
                            r"elapsed=\d+\.\d{6}, stop=exhausted\)", repr(r))
        assert len(r.trace) == 3 and len(r.tree) == 2
        for w in [7.25, 1e-7, 1e-4, 1e15 + 0.5, 2.0**53, 1e21, 1e300, -3.5, math.nan]:
            assert f"cost={w!r}," in repr(search_graph(2, [(0, 1, w)], 0, 1, algorithm="bidirectional"))
        for w, text in [(14.0, "14"), (-2.0, "-2"), (2.0**53 - 1, "9007199254740991")]:
            assert f"cost={text}," in repr(search_graph(2, [(0, 1, w)], 0, 1))
