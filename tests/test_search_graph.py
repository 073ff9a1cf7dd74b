"""search_graph: argument rules, error messages and their precedence, the
SearchResult view, and agreement with networkx on random graphs."""

import math
import re

import numpy as np
import pytest

from conftest import cheapest_edges, nx, nx_graph, path_weight, random_edges
from quellostrin import SearchResult, search_graph

LINE = [(0, 1, 1.0), (1, 2, 1.0)]
UNKNOWN_ALGO = ("unknown algorithm: '{}'. Available: bfs, dfs, ucs, dijkstra, greedy, astar, "
                "weighted_astar, iddfs, dls, ida_star, beam, bidirectional")
ALGORITHMS = ["bfs", "dfs", "ucs", "dijkstra", "greedy", "astar", "a*", "weighted_astar", "wastar",
              "iddfs", "ida_star", "idastar", "beam", "bidirectional", "bidir"]


class TestErrors:
    @pytest.mark.parametrize("kwargs, message", [
        (dict(num_nodes=0, edges=[], start=0, goal=0), "start and goal must be < num_nodes"),
        (dict(num_nodes=3, edges=LINE, start=0, goal=3), "start and goal must be < num_nodes"),
        (dict(num_nodes=3, edges=[(0, 1, 1.0), (0, 5, 1.0), (7, 0, 1.0)], start=0, goal=2),
         "edge (0, 5) is out of range for a 3-node graph"),
        (dict(num_nodes=3, edges=LINE, start=0, goal=2, heuristic="manhattan"),
         "unknown graph heuristic: 'manhattan'. Use 'zero' or a callable h(node, goal) -> float"),
        (dict(num_nodes=3, edges=LINE, start=0, goal=2, heuristic=3),
         "heuristic must be a name (str) or a callable h(node, goal) -> float"),
        (dict(num_nodes=3, edges=LINE, start=0, goal=2, algorithm="BFS"), UNKNOWN_ALGO.format("BFS")),
        (dict(num_nodes=3, edges=LINE, start=0, goal=2, algorithm="dls"), "'dls' requires depth_limit"),
    ])
    def test_messages(self, kwargs, message):
        with pytest.raises(ValueError) as info:
            search_graph(**kwargs)
        assert str(info.value) == message

    @pytest.mark.parametrize("kwargs, message", [
        # a bad start is reported before bad edges, a bad heuristic or an unknown algorithm
        (dict(goal=9, edges=[(0, 9, 1.0)], heuristic=3, algorithm="nope"), "start and goal must be < num_nodes"),
        (dict(edges=[(0, 9, 1.0)], heuristic=3, algorithm="nope"), "edge (0, 9) is out of range for a 3-node graph"),
        (dict(heuristic=3, algorithm="nope"), "heuristic must be a name (str) or a callable h(node, goal) -> float"),
        (dict(heuristic="h", algorithm="nope"),
         "unknown graph heuristic: 'h'. Use 'zero' or a callable h(node, goal) -> float"),
        (dict(heuristic=lambda a, b: 0.0, algorithm="nope"), UNKNOWN_ALGO.format("nope")),
    ])
    def test_precedence(self, kwargs, message):
        args = dict(num_nodes=3, edges=LINE, start=0, goal=2) | kwargs
        with pytest.raises(ValueError) as info:
            search_graph(**args)
        assert str(info.value) == message

    def test_conversion_errors_come_before_value_checks(self):
        with pytest.raises(TypeError, match="argument 'reopen'"):
            search_graph(0, [(0, 9, 1.0)], 5, 5, algorithm="nope", reopen=1)

    def test_cpython_wording_for_bad_calls(self):
        with pytest.raises(TypeError, match="goal"):
            search_graph(3, LINE, 0)
        with pytest.raises(TypeError, match="'nope' is an invalid keyword argument"):
            search_graph(3, LINE, 0, 2, nope=1)
        with pytest.raises(TypeError, match="start"):
            search_graph(3, LINE, 0, 2, start=0)
        with pytest.raises(TypeError):
            search_graph(3, LINE, 0, 2, "bfs", None, True, True, 2.0, None, None, None, False, "extra")


class TestArgumentConversion:
    @pytest.mark.parametrize("kwargs, name, exc", [
        (dict(num_nodes=3.0), "num_nodes", TypeError),
        (dict(start=1.5), "start", TypeError),
        (dict(goal="2"), "goal", TypeError),
        (dict(max_nodes=2.0), "max_nodes", TypeError),
        (dict(depth_limit="3"), "depth_limit", TypeError),
        (dict(record=1), "record", TypeError),
        (dict(undirected=None), "undirected", TypeError),
        (dict(reopen="yes"), "reopen", TypeError),
        (dict(algorithm=None), "algorithm", TypeError),
        (dict(algorithm=b"bfs"), "algorithm", TypeError),
        (dict(weight=None), "weight", TypeError),
        (dict(weight="2"), "weight", TypeError),
        (dict(edges=[[0, 1, 1.0]]), "edges", TypeError),  # a list is not a tuple
        (dict(edges=[(0, 1)]), "edges", TypeError),
        (dict(edges=[(0, 1, "1")]), "edges", TypeError),
        (dict(edges=[(0.0, 1, 1.0)]), "edges", TypeError),
        (dict(edges="abc"), "edges", TypeError),
        (dict(edges=((0, 1, 1.0) for _ in range(1))), "edges", TypeError),  # generators are refused
        (dict(edges={(0, 1, 1.0)}), "edges", TypeError),
    ])
    def test_type_errors_name_the_argument_and_keep_the_cause(self, kwargs, name, exc):
        args = dict(num_nodes=3, edges=LINE, start=0, goal=2) | kwargs
        with pytest.raises(exc) as info:
            search_graph(**args)
        assert str(info.value).startswith(f"argument '{name}': ")
        cause = info.value.__cause__
        assert isinstance(cause, TypeError)
        assert str(info.value) == f"argument '{name}': {cause}"

    @pytest.mark.parametrize("kwargs", [dict(start=-1), dict(num_nodes=-3), dict(max_nodes=-1),
                                        dict(edges=[(0, -1, 1.0)]), dict(beam_width=2**64)])
    def test_negative_or_huge_unsigned_is_overflow_error_unchanged(self, kwargs):
        args = dict(num_nodes=3, edges=LINE, start=0, goal=2) | kwargs
        with pytest.raises(OverflowError) as info:
            search_graph(**args)
        assert not str(info.value).startswith("argument")

    def test_accepted_forms(self):
        expected = search_graph(3, LINE, 0, 2)
        for kwargs in [
            dict(edges=tuple(LINE)),  # any sequence of tuples
            dict(edges=[(0, 1, 1), (1, 2, 1)]),  # int weights
            dict(start=np.uint8(0), goal=np.int64(2), num_nodes=np.int32(3)),  # index protocol
            dict(record=np.bool_(True), undirected=np.bool_(True)),
            dict(weight=3, beam_width=None, depth_limit=None, max_nodes=None),
            dict(start=True),  # bool is an int: node 1
        ]:
            args = dict(num_nodes=3, edges=LINE, start=0, goal=2) | kwargs
            r = search_graph(**args)
            assert r.found
            if "start" not in kwargs or kwargs["start"] is not True:
                assert r.path == expected.path

    def test_weights_are_not_inspected(self):
        r = search_graph(3, [(0, 1, -1.0), (1, 2, math.inf), (0, 2, math.nan)], 0, 2, undirected=False)
        assert r.found


class TestSearchResult:
    def test_line_graph_defaults(self):
        r = search_graph(3, LINE, 0, 2)
        assert isinstance(r, SearchResult)
        assert (r.path, r.cost, r.found, r.stop_reason) == ([0, 1, 2], 2.0, True, "goal")
        assert r.trace == [(0, 0.0, 0), (1, 1.0, 0), (2, 2.0, 0)]
        assert r.tree == [(0, 1), (1, 2)]
        assert repr(r).startswith("SearchResult(found=True, cost=2, expanded=3, frontier=1, elapsed=")

    def test_attributes_are_read_only_and_stored_once(self):
        r = search_graph(3, LINE, 0, 2)
        for name in ["path", "cost", "found", "nodes_expanded", "trace", "tree", "stop_reason", "elapsed"]:
            with pytest.raises(AttributeError):
                setattr(r, name, None)
        assert r.trace is r.trace and r.tree is r.tree and r.path is r.path
        r.path.append(99)  # plain lists: mutations are visible later
        assert r.path[-1] == 99

    def test_unreachable(self):
        r = search_graph(4, LINE, 0, 3, record=True)
        assert r.path is None and not r.found and r.cost == math.inf
        assert r.stop_reason == "exhausted"
        assert re.fullmatch(r"SearchResult\(found=False, cost=inf, expanded=3, frontier=1, "
                            r"elapsed=\d+\.\d{6}, stop=exhausted\)", repr(r))
        assert len(r.trace) == 3 and len(r.tree) == 2

    @pytest.mark.parametrize("w, text", [(7.0, "7"), (7.25, "7.25"), (1e-7, "0.0000001"),
                                         (1e21, "1000000000000000000000"), (0.1, "0.1"),
                                         (123456789.125, "123456789.125"), (-3.0, "-3")])
    def test_repr_cost_is_shortest_round_trip_without_exponent(self, w, text):
        r = search_graph(2, [(0, 1, w)], 0, 1)
        assert f"cost={text}," in repr(r)
        assert float(text) == w

    def test_repr_elapsed_is_correctly_rounded_to_six_places(self):
        for _ in range(20):
            r = search_graph(3, LINE, 0, 2)
            assert f"elapsed={r.elapsed:.6f}," in repr(r)

    def test_record_off_keeps_path_and_counters(self):
        on = search_graph(3, LINE, 0, 2, record=True)
        off = search_graph(3, LINE, 0, 2, record=False)
        assert off.trace == [] and off.tree == []
        assert (off.path, off.cost, off.nodes_expanded, off.nodes_generated, off.max_frontier_size) == \
               (on.path, on.cost, on.nodes_expanded, on.nodes_generated, on.max_frontier_size)

    @pytest.mark.parametrize("algorithm", ALGORITHMS)
    def test_start_equals_goal(self, algorithm):
        r = search_graph(3, LINE, 1, 1, algorithm=algorithm)
        assert (r.path, r.cost, r.found, r.stop_reason) == ([1], 0.0, True, "goal")

    def test_dispatch_options(self):
        chain = [(i, i + 1, 1.0) for i in range(1200)]
        assert search_graph(1201, chain, 0, 1000, algorithm="iddfs").found  # default depth 1000
        assert not search_graph(1201, chain, 0, 1001, algorithm="iddfs").found
        assert search_graph(1201, chain, 0, 1001, algorithm="iddfs", depth_limit=1001).found
        assert search_graph(1201, chain, 0, 5, algorithm="dls", depth_limit=5).found
        assert not search_graph(1201, chain, 0, 5, algorithm="dls", depth_limit=4).found
        limited = search_graph(1201, chain, 0, 50, algorithm="bfs", max_nodes=10)
        assert (limited.stop_reason, limited.nodes_expanded) == ("node_limit", 10)
        # max_nodes reaches only the frontier algorithms
        assert search_graph(1201, chain, 0, 50, algorithm="bidirectional", max_nodes=1).found
        star = [(0, i, 1.0) for i in range(1, 6)] + [(5, 6, 1.0)]
        assert search_graph(7, star, 0, 6, algorithm="beam").found  # no width: nothing is cut
        assert not search_graph(7, star, 0, 6, algorithm="beam", beam_width=1).found

    def test_weighted_astar_uses_weight(self):
        # h is 0 except at node 1; with weight 0 the detour via 1 is preferred by cost.
        edges = [(0, 1, 1.0), (1, 3, 1.0), (0, 2, 1.5), (2, 3, 1.0)]
        h = lambda n, goal: 10.0 if n == 1 else 0.0  # noqa: E731
        assert search_graph(4, edges, 0, 3, algorithm="wastar", heuristic=h, weight=0).path == [0, 1, 3]
        assert search_graph(4, edges, 0, 3, algorithm="wastar", heuristic=h, weight=1).path == [0, 2, 3]


class TestAgainstNetworkx:
    SEEDS = range(250)

    @pytest.mark.parametrize("seed", SEEDS)
    def test_costs_hops_and_paths(self, seed):
        n, edges = random_edges(seed)
        undirected = seed % 2 == 0
        g = nx_graph(n, edges, undirected)
        best = cheapest_edges(n, edges, undirected)
        s, t = seed % n, (seed * 7 + 3) % n
        reachable = nx.has_path(g, s, t)
        optimal = nx.shortest_path_length(g, s, t, weight="weight") if reachable else math.inf
        hops = nx.shortest_path_length(g, s, t) if reachable else None

        for algorithm in ["ucs", "dijkstra", "astar"]:
            r = search_graph(n, edges, s, t, algorithm=algorithm, undirected=undirected, record=False)
            assert r.found == reachable
            assert r.cost == pytest.approx(optimal, rel=1e-12)
        unit = [(u, v, 1.0) for u, v, _ in edges]
        hop_algorithms = ["bfs", "iddfs"] + (["bidirectional"] if undirected else [])
        for algorithm in hop_algorithms:
            r = search_graph(n, unit, s, t, algorithm=algorithm, undirected=undirected, depth_limit=n)
            assert r.found == reachable
            if reachable:
                assert len(r.path) - 1 == hops
        for algorithm in ALGORITHMS + ["dls"]:
            r = search_graph(n, edges, s, t, algorithm=algorithm, undirected=undirected, depth_limit=n)
            if r.found:
                assert r.path[0] == s and r.path[-1] == t
                weight = path_weight(r.path, best)
                if not (algorithm in ("bidirectional", "bidir") and not undirected):
                    assert weight is not None, (algorithm, r.path)
                    assert r.cost == pytest.approx(weight, rel=1e-12)
            else:
                assert r.path is None and r.cost == math.inf
