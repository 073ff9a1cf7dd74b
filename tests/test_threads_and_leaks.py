"""The interpreter lock around searches, every entry point called from many
threads at once, and reference or memory leaks over many calls of every entry
point, both when it succeeds and in each way it refuses a call."""

import ctypes
import functools
import gc
import itertools
import os
import random
import sys
import threading
import time
import tracemalloc
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

from conftest import fields
from quellostrin import (Graph, Grid, SlidingPuzzle, WordList, bellman_ford, floyd_warshall, gen_barabasi_albert, gen_erdos_renyi,
                         gen_watts_strogatz, random_maze_ascii, sample_maze, search_graph, search_grid,
                         search_grid_costs, search_hanoi, search_implicit, search_npuzzle, search_wordladder)

# Depth-limited search over a complete directed graph enumerates simple paths:
# a tiny input gives a long search, which the node limit bounds.
LONG = dict(num_nodes=12, edges=[(u, v, 1.0) for u in range(11) for v in range(11) if u != v], start=0, goal=11,
            algorithm="dls", depth_limit=11, undirected=False, record=False, max_nodes=3_000_000)


def test_named_heuristic_searches_release_the_lock():
    count = [0]
    stop = threading.Event()

    def spin():
        while not stop.is_set():
            count[0] += 1

    (thread := threading.Thread(target=spin)).start()
    try:
        t0, c0 = time.perf_counter(), count[0]
        time.sleep(0.2)
        rate = (count[0] - c0) / (time.perf_counter() - t0)  # spinner speed on its own
        t0, c0 = time.perf_counter(), count[0]
        assert search_graph(**LONG).stop_reason == "node_limit"
        during = count[0] - c0
        wall = time.perf_counter() - t0
    finally:
        stop.set()
        thread.join()
    # Holding the lock would let the spinner run for a switch interval or two
    # at most; released, it runs for most of the search.
    assert during > 0.25 * rate * wall, (during, rate, wall)


# Python callables for every kind of domain; the searches that use them keep
# the lock, but threads switch inside their calls.
h_int, h_cell = lambda a, b: float((a * 7 + b) % 5), lambda a, b: float(abs(a[0] - b[0]) + abs(a[1] - b[1]))
h_diff = lambda s, g: float(sum(x != y for x, y in zip(s, g)))  # noqa: E731 - tiles, pegs or letters out of place
MOVES = [(dr, dc) for dr, dc in itertools.permutations((1, -1, 2, -2), 2) if abs(dr) != abs(dc)]
step, knight = (lambda s: [((s * 3) % 10_007, 1.0), (s + 1, 2.0)] if s < 10_007 else [],
                lambda s: [(t, 1.0) for t in ((s[0] + a, s[1] + b) for a, b in MOVES) if 0 <= min(t) <= max(t) < 30])

rng = random.Random(5)
N = 3000
EDGES = [(rng.randrange(N), rng.randrange(N), rng.uniform(1, 10)) for _ in range(4 * N)]
NEG = [(rng.randrange(40), rng.randrange(40), rng.uniform(-1, 10)) for _ in range(200)]
CYCLE = NEG + [(1, 2, -5.0), (2, 1, 1.0)]  # NEG has negative weights but no negative cycle
MAZE = random_maze_ascii(60, 40, 0.25, 3)
COSTS = [[rng.choice([0, 1, 1, 2, 5]) for _ in range(50)] for _ in range(40)]
COSTS[0][0] = COSTS[-1][-1] = 1
COSTS_NP = np.array(COSTS, dtype=float)
WORDS = ["".join(w) for w in itertools.product("abcdef", repeat=3) if rng.random() < 0.5]

P = functools.partial
G, GC, K = P(search_graph, N, EDGES, 0, 17), P(search_grid_costs, COSTS_NP, (0, 0), (39, 49)), (0, 0)
# One object of each prepared class, which every thread queries at once.
GRID, GRAPH, WORD_LIST = Grid(MAZE), Graph(N, EDGES, undirected=False), WordList(WORDS)
JOBS = {
    "prepared_grid": P(GRID.search), "prepared_grid_diagonal": P(GRID.search, diagonal=True, heuristic="octile"),
    "prepared_costs_h": P(Grid(COSTS_NP).search, K, (39, 49), heuristic=h_cell),
    "prepared_graph": P(GRAPH.search, 0, 17, algorithm="dijkstra"),
    "prepared_graph_bidirectional": P(GRAPH.search, 0, 17, algorithm="bidirectional"),
    "prepared_graph_dijkstra": P(GRAPH.dijkstra, 3), "prepared_word_list": P(WORD_LIST.search, "aaa", "fff"),
    "graph_dijkstra": P(G, algorithm="dijkstra"), "graph_bidirectional": P(G, algorithm="bidirectional"),
    "graph_astar_h": P(G, algorithm="astar", heuristic=h_int, undirected=False),
    "graph_ida_h": P(G, algorithm="ida_star", heuristic=h_int, max_nodes=3000),
    "graph_beam": P(G, algorithm="beam", beam_width=20), "graph_dls": P(G, algorithm="dls", depth_limit=5),
    "implicit_bfs": P(search_implicit, step, 1, 5000, algorithm="bfs"),
    "implicit_astar_h": P(search_implicit, knight, K, (29, 29), heuristic=h_cell),
    "implicit_iddfs": P(search_implicit, knight, K, (29, 28), algorithm="iddfs", max_nodes=3000),
    "grid_astar": P(search_grid, MAZE),
    "grid_greedy_octile": P(search_grid, MAZE, algorithm="greedy", heuristic="octile", diagonal=True),
    "grid_weighted_h": P(search_grid, MAZE, algorithm="weighted_astar", heuristic=h_cell, weight=1.5),
    "costs_list_ucs": P(search_grid_costs, COSTS, K, (39, 49), algorithm="ucs"),
    "costs_numpy_octile": P(GC, heuristic="octile", diagonal=True), "costs_numpy_h": P(GC, heuristic=h_cell),
    "npuzzle_ida": P(search_npuzzle, [8, 6, 7, 2, 5, 4, 3, 0, 1], algorithm="ida_star"),
    "npuzzle_h": P(search_npuzzle, [8, 6, 7, 2, 5, 4, 3, 0, 1], heuristic=h_diff, max_nodes=4000),
    "hanoi": P(search_hanoi, 7), "hanoi_h": P(search_hanoi, 5, heuristic=h_diff),
    "hanoi_4_pegs_bfs": P(search_hanoi, 5, algorithm="bfs", pegs=4),
    "ladder_bfs": P(search_wordladder, "aaa", "fff", WORDS, algorithm="bfs"),
    "ladder_h": P(search_wordladder, "aaa", "fff", WORDS, heuristic=h_diff),
    "bellman_ford": P(bellman_ford, 40, NEG, 0), "bellman_ford_cycle": P(bellman_ford, 40, CYCLE, 0),
    "floyd_warshall": P(floyd_warshall, 40, NEG), "floyd_warshall_cycle": P(floyd_warshall, 40, CYCLE),
    "erdos_renyi": P(gen_erdos_renyi, 300, 0.05, 3), "barabasi_albert": P(gen_barabasi_albert, 500, 3, 4),
    "watts_strogatz": P(gen_watts_strogatz, 500, 6, 0.2, 5),
    "sample_maze": P(sample_maze, "wall"), "random_maze": P(random_maze_ascii, 80, 40, 0.3, 6),
}


def test_every_entry_point_from_many_threads_matches_sequential_calls():
    expected = {name: job() for name, job in JOBS.items()}
    barrier = threading.Barrier(8)

    def worker(seed):  # every job three times over, shuffled; the names of those that differ
        order = random.Random(seed).sample(list(JOBS) * 3, 3 * len(JOBS))
        barrier.wait()
        return [name for name in order if JOBS[name]() != expected[name]]

    switch = sys.getswitchinterval()
    sys.setswitchinterval(1e-5)  # switch threads inside the callables' calls as often as possible
    try:
        with ThreadPoolExecutor(8) as pool:
            assert [name for names in pool.map(worker, range(8)) for name in names] == []
    finally:
        sys.setswitchinterval(switch)


def resident():
    if os.environ.get("QUELLOSTRIN_SANITIZED") == "1":
        # Under AddressSanitizer (scripts/sanitize) freed blocks wait in its
        # quarantine, still resident, so resident memory grows whatever the
        # code does; its allocator's count of bytes in live blocks is exact.
        live = ctypes.CDLL(None).__sanitizer_get_current_allocated_bytes
        live.restype = ctypes.c_size_t
        return live()
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def growth(fn, rounds):
    """Bytes of Python memory (as tracemalloc sees it) and of resident memory
    (which also sees the C++ heap) still taken after `rounds` calls of fn."""
    for _ in range(200):
        fn()
    gc.collect()
    tracemalloc.start()
    try:
        base, rss = tracemalloc.get_traced_memory()[0], resident()
        for _ in range(rounds):
            fn()
        gc.collect()
        return tracemalloc.get_traced_memory()[0] - base, resident() - rss
    finally:
        tracemalloc.stop()


# Tiny inputs, so that each call is quick. The callbacks that fail: one raises
# an Exception, one a SystemExit (passed on as it is), one answers junk; a
# successor function fails mid-search.
T3, W, C = [(0, 1, 1.0), (1, 2, 1.0)], "cat cot dot dog".split(), [[1, 1], [2, 1]]  # split: fresh strings
C_NP, INF = np.array(C, dtype=np.float32), float("inf")
h_raises, h_exit, junk = lambda a, b: 1 / 0, lambda a, b: sys.exit(3), lambda *_: "x"
succ_raises = lambda s: [(s + 1, 1.0)] if s < 3 else {}[s]  # noqa: E731
g, im, gr, gc_, hn = (P(search_graph, 3, T3, 0, 2), P(search_implicit, step, 0, 9), P(search_grid, "S.#\n..G"),
                     P(search_grid_costs, C, K, (1, 1)), P(search_hanoi, 2))
n8, wl = P(search_npuzzle, [1, 2, 3, 4, 5, 6, 0, 7, 8]), P(search_wordladder, "cat", "dog", W)
V, T, O, M = ValueError, TypeError, OverflowError, MemoryError
# The restore functions the objects' __reduce__ names, called directly: pickle.loads
# would add the pickler's own lookups.
REDUCED = {"words": WordList(W).__reduce__(), "grid": Grid(C_NP).__reduce__(), "graph": Graph(2**40, T3).__reduce__(),
           "sliding": SlidingPuzzle([1, 2, 3, 0]).__reduce__()}
# Every entry point's success (None) and each distinct refusal, with what it raises.
CASES = {
    "graph": (None, g), "graph_h": (None, P(g, algorithm="astar", heuristic=h_int)),
    "graph_h_junk": (V, P(g, algorithm="astar", heuristic=junk)),
    "graph_h_raises": (V, P(g, algorithm="astar", heuristic=h_raises)),
    "graph_h_exit": (SystemExit, P(g, algorithm="greedy", heuristic=h_exit)), "graph_h_5": (V, P(g, heuristic=5)),
    "graph_unknown_heuristic": (V, P(g, heuristic="nope")), "graph_unknown_algorithm": (V, P(g, algorithm="no")),
    "graph_no_depth_limit": (V, P(g, algorithm="dls")), "graph_bad_record": (T, P(g, record=1)),
    "graph_edge_out_of_range": (V, P(search_graph, 2, T3, 0, 1)), "graph_goal": (V, P(search_graph, 3, T3, 0, 3)),
    "graph_negative_node": (O, P(search_graph, 3, T3, -1, 2)), "graph_n_str": (T, P(search_graph, "3", T3, 0, 2)),
    "graph_edges_not_list": (T, P(search_graph, 3, 5, 0, 2)), "graph_edge": (T, P(search_graph, 3, [(0, 1)], 0, 2)),
    "graph_edge_weight": (T, P(search_graph, 3, [(0, 1, "w")], 0, 2)), "graph_kwarg": (T, P(g, nope=1)),
    "graph_missing_arg": (T, P(search_graph, 3, T3, 0)), "implicit_algorithm": (V, P(im, algorithm="no")),
    "implicit": (None, P(im, heuristic=h_int)), "implicit_h_raises": (V, P(im, heuristic=h_raises)),
    "implicit_tuples": (None, P(search_implicit, knight, K, (2, 1), algorithm="bfs")),
    "implicit_raises": (LookupError, P(search_implicit, succ_raises, 0, 9, algorithm="ida_star")),
    "implicit_not_a_list": (V, P(search_implicit, lambda s: 5, 0, 9)),
    "implicit_returns_str": (V, P(search_implicit, junk, 0, 9)),
    "implicit_pair_shape": (V, P(search_implicit, lambda s: [(s + 1, 1.0, 0)], 0, 9)),
    "implicit_bad_cost": (V, P(search_implicit, lambda s: [(s + 1, "x")], 0, 9)),
    "implicit_bad_state": (V, P(search_implicit, lambda s: [("ab", 1.0)], 0, 9)),
    "implicit_bad_start": (V, P(search_implicit, step, "ab", 9)), "grid": (None, gr),
    "grid_h": (None, P(gr, heuristic=h_cell, diagonal=True)), "grid_h_raises": (V, P(gr, heuristic=h_raises)),
    "grid_unknown_heuristic": (V, P(gr, heuristic="nope")), "grid_bad_diagonal": (T, P(gr, diagonal=1)),
    "grid_no_goal": (V, P(search_grid, "S.#\n...")), "grid_map_not_str": (T, P(search_grid, 5)),
    "costs": (None, gc_), "costs_numpy": (None, P(search_grid_costs, C_NP, K, (1, 1), heuristic="octile")),
    "costs_h_junk": (V, P(search_grid_costs, C_NP, K, (1, 1), heuristic=junk)),
    "costs_not_matrix": (T, P(search_grid_costs, 5, K, (1, 1))), "costs_empty": (V, P(search_grid_costs, [], K, K)),
    "costs_bad_item": (T, P(search_grid_costs, [[1, "x"]], K, (0, 1))),
    "costs_goal_outside": (V, P(search_grid_costs, C, K, (2, 0))),
    "costs_cell_list": (T, P(search_grid_costs, C, [0, 0.5], (1, 1))),
    "costs_cell_array": (None, P(search_grid_costs, C, np.array([0, 0]), [1, 1])),
    "costs_cell_overflow": (O, P(search_grid_costs, C, (0, 2**40), (1, 1))),
    "npuzzle": (None, n8), "npuzzle_h": (None, P(n8, heuristic=h_diff)),
    "npuzzle_h_raises": (V, P(n8, heuristic=h_raises)),
    "npuzzle_unknown_heuristic": (V, P(n8, heuristic="nope")), "npuzzle_goal_length": (V, P(n8, goal=[1, 0])),
    "npuzzle_not_square": (V, P(search_npuzzle, [1, 0, 2])), "npuzzle_repeat": (V, P(search_npuzzle, [1, 1, 2, 0])),
    "npuzzle_unsolvable": (V, P(search_npuzzle, [2, 1, 3, 0])), "npuzzle_long": (V, P(search_npuzzle, range(257))),
    "npuzzle_float_tile": (T, P(search_npuzzle, [1.0, 2, 3, 0])), "npuzzle_str": (T, P(search_npuzzle, "1230")),
    "hanoi": (None, hn), "hanoi_h": (None, P(hn, heuristic=h_diff, pegs=4)), "hanoi_h_junk": (V, P(hn, heuristic=junk)),
    "hanoi_unknown_heuristic": (V, P(hn, heuristic="nope")), "hanoi_no_disks": (V, P(search_hanoi, 0)),
    "hanoi_two_pegs": (V, P(hn, pegs=2)), "hanoi_many_pegs": (V, P(hn, pegs=10**6)),
    "hanoi_too_many_disks": (M, P(search_hanoi, 2**62)), "ladder": (None, wl),
    "ladder_h": (None, P(wl, heuristic=h_diff)), "ladder_h_raises": (V, P(wl, heuristic=h_raises)),
    "ladder_unknown_heuristic": (V, P(wl, heuristic="nope")), "ladder_lengths": (V, P(search_wordladder, "a", "bc", W)),
    "ladder_word_not_str": (T, lambda: search_wordladder("cat", "dog", iter(["cot", 5]))),
    "ladder_words_set": (None, P(search_wordladder, "cat", "dog", set(W))),
    "ladder_words_str": (T, P(search_wordladder, "cat", "dog", "cot")),
    "ladder_start_not_str": (T, P(search_wordladder, 5, "dog", W)),
    "bellman_ford": (None, P(bellman_ford, 3, [*T3, (2, 1, -3.0)], 0)), "bf_source": (V, P(bellman_ford, 3, T3, 3)),
    "bf_edge_out_of_range": (V, P(bellman_ford, 2, T3, 0)), "bf_minus_inf": (V, P(bellman_ford, 3, [(0, 1, -INF)], 0)),
    "bf_too_large": (M, P(bellman_ford, 2**62, [], 0)), "bf_edges_none": (T, P(bellman_ford, 3, None, 0)),
    "bf_bad_undirected": (T, P(bellman_ford, 3, T3, 0, undirected="yes")),
    "floyd_warshall": (None, P(floyd_warshall, 3, T3, undirected=True)), "fw_edge": (V, P(floyd_warshall, 2, T3)),
    "fw_minus_inf": (V, P(floyd_warshall, 3, [(0, 1, -INF)])), "fw_too_large": (M, P(floyd_warshall, 2**40, [])),
    "fw_edge_shape": (T, P(floyd_warshall, 3, [[0, 1]])), "er_p_str": (T, P(gen_erdos_renyi, 6, "p", 1)),
    "erdos_renyi": (None, P(gen_erdos_renyi, 6, 0.5, 1)), "ws_float_seed": (T, P(gen_watts_strogatz, 6, 2, 0.5, 1.5)),
    "barabasi_albert": (None, P(gen_barabasi_albert, 6, 2, 1)), "ba_m": (V, P(gen_barabasi_albert, 2, 2, 1)),
    "watts_strogatz": (None, P(gen_watts_strogatz, 6, 2, 0.5, 1)), "ws_odd_k": (V, P(gen_watts_strogatz, 6, 3, 0.5, 1)),
    "sample_maze": (None, P(sample_maze, "open")), "sample_maze_unknown": (V, P(sample_maze, "nope")),
    "sample_maze_bytes": (T, P(sample_maze, b"open")), "maze_overflow": (O, P(random_maze_ascii, 2**40, 3, 0.2, 1)),
    "random_maze": (None, P(random_maze_ascii, 4, 3, 0.2, 1)), "maze_empty": (V, P(random_maze_ascii, 0, 3, 0.2, 1)),
    "grid_object": (None, lambda: Grid("S.#\n..G").search(heuristic=h_cell)),
    # The objects' own halves of pickling: __reduce__, and the restore it names.
    "grid_object_reduce": (None, lambda: Grid(C_NP).__reduce__()),
    "grid_object_restore": (None, lambda: (lambda f, a: f(*a))(*REDUCED["grid"]).search(K, (1, 1))),
    "grid_object_no_start": (V, lambda: Grid(C).search()), "grid_object_map": (T, P(Grid, 5)),
    "graph_object": (None, lambda: Graph(3, T3).search(0, 2, algorithm="astar", heuristic=h_int)),
    "graph_object_sparse_reduce": (None, lambda: Graph(2**40, T3).__reduce__()),
    "graph_object_sparse_restore": (None, lambda: (lambda f, a: f(*a))(*REDUCED["graph"]).search(0, 9)),
    "graph_object_shortest_paths": (None, lambda: Graph(3, T3, undirected=False).bellman_ford(0)),
    "graph_object_negative_dijkstra": (V, lambda: Graph(3, [(0, 1, -1.0)]).dijkstra(0)),
    "graph_object_goal": (V, lambda: Graph(3, T3).search(0, 3)),

    "word_list_h": (None, lambda: WordList(W).search("cat", "dog", heuristic=h_diff)),
    "word_list_reduce": (None, lambda: WordList(W).__reduce__()),
    "word_list_restore": (None, lambda: (lambda f, a: f(*a))(*REDUCED["words"]).search("cat", "dog")),
    "word_list_lengths": (V, lambda: WordList(W).search("cat", "dogs")),
    "sliding_puzzle": (None, lambda: SlidingPuzzle([1, 2, 3, 0]).search_many([[1, 2, 0, 3], [0, 2, 1, 3]], workers=2,
                                                                            algorithm="ida_star", heuristic="pdb")),
    "sliding_puzzle_patterns": (V, lambda: SlidingPuzzle([1, 2, 3, 0], patterns=[[1, 1]])),
    "sliding_puzzle_restore": (None, lambda: (lambda f, a: f(*a))(*REDUCED["sliding"]).search([1, 2, 0, 3],
                                                                                             heuristic="pdb")),
}
# The objects the calls pass in, and their items: their reference counts must not drift.
KEPT = [o for _, f in CASES.values() for o in (*getattr(f, "args", ()), *getattr(f, "keywords", {}).values())
        if callable(o) or isinstance(o, (list, np.ndarray))] + [*T3, *W, *C]


@pytest.mark.parametrize("name", CASES)
def test_no_leaks_over_many_calls(name):
    error, fn = CASES[name]
    if error:
        pytest.raises(error, fn)  # the case reaches the refusal it is named for

    def call():
        try:
            result = fn()
            fields(result)  # reading a result builds its attributes too
            if hasattr(result, "negative_cycle"):
                np.asarray(result).sum()  # and a view of its distances holds it for a while
        except error or ():
            pass

    refs = [sys.getrefcount(o) for o in KEPT]
    # A malloc of 16 bytes per call leaked from C++ would take ~400 KiB.
    python, rss = growth(call, 15_000)
    assert python < 64 * 1024 and rss < 256 * 1024, (python, rss)
    assert [sys.getrefcount(o) for o in KEPT] == refs
