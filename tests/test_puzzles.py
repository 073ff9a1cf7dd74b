"""search_hanoi, search_npuzzle and search_wordladder: messages in their
order, states as tuples and words as str, and optimal lengths against
independent oracles (closed forms, a breadth-first search of the 8-puzzle,
networkx over Knuth's five-letter words)."""

import collections
import itertools
import pickle
import random

import networkx as nx
import numpy as np
import pytest

from conftest import data_file, raises
from quellostrin import SlidingPuzzle, search_hanoi, search_npuzzle, search_wordladder

GOAL8 = (1, 2, 3, 4, 5, 6, 7, 8, 0)
PERM = "{} must be a permutation of 0..{} (0 = blank)"


@pytest.mark.parametrize("call, exc, message", [
    (lambda: search_hanoi(0, pegs=2, heuristic=3), ValueError, "disks must be \u2265 1"),
    (lambda: search_hanoi(2, pegs=2, heuristic=3), ValueError, "pegs must be \u2265 3"),
    (lambda: search_hanoi(2, pegs=17), ValueError, "pegs must be between 3 and 16, got 17"),
    (lambda: search_hanoi(2**40), MemoryError, "disks=1099511627776 is too large: a Hanoi state needs 1099511627776 bytes"),
    (lambda: search_hanoi(3, heuristic="manhattan", algorithm="nope"), ValueError,
     "unknown hanoi heuristic: 'manhattan'. Use misplaced, zero, or a callable"),
    (lambda: search_hanoi(-1), OverflowError, "argument 'disks': "),
    (lambda: search_npuzzle(range(2**62)), ValueError, "tiles length must be at most 256 (a side of at most 16)"),
    (lambda: search_npuzzle([]), ValueError, "tiles length must be a non-zero perfect square (9, 16, 25, \u2026)"),
    (lambda: search_npuzzle(range(8), goal=[0] * 3), ValueError, "tiles length must be a non-zero perfect square"),
    (lambda: search_npuzzle([1, 2, 3, 4, 5, 6, 7, 8, 8]), ValueError, PERM.format("tiles", 8)),
    (lambda: search_npuzzle([1, 2, 3, 4, 5, 6, 7, 8, -1]), ValueError, PERM.format("tiles", 8)),
    (lambda: search_npuzzle(GOAL8, goal=range(2**40)), ValueError, "goal must have the same length as tiles"),
    (lambda: search_npuzzle(GOAL8, goal=[0] * 9), ValueError, PERM.format("goal", 8)),
    (lambda: search_npuzzle([1, 2, 3, 4, 5, 6, 8, 7, 0], heuristic=3), ValueError,
     "this configuration is not solvable into the goal (parity)"),
    (lambda: search_npuzzle(GOAL8, heuristic="hamming", algorithm="nope"), ValueError,
     "unknown npuzzle heuristic: 'hamming'. Use manhattan, misplaced, zero, or a callable h(state, goal) -> float"),
    (lambda: search_npuzzle([1.0] * 9), TypeError, "argument 'tiles': "),
    (lambda: SlidingPuzzle(range(17)), ValueError, "goal length must be a non-zero perfect square"),
    (lambda: SlidingPuzzle([0, 1, 2, 2]), ValueError, PERM.format("goal", 3)),
    (lambda: SlidingPuzzle(GOAL8, patterns="6-6-3"), ValueError,
     "patterns '6-6-3' is for the 4x4 board; give a list of tile groups for side 3"),
    (lambda: SlidingPuzzle(GOAL8, patterns="5-5-5"), ValueError, "unknown patterns: '5-5-5'. Use 6-6-3, 7-8, whole"),
    (lambda: SlidingPuzzle(GOAL8, patterns=[[1, 2, 3], [3, 4, 5, 6, 7, 8]]), ValueError,
     "patterns: tile 3 is in two groups"),
    (lambda: SlidingPuzzle(GOAL8, patterns=[[1, 2, 3], [4, 5, 6, 7]]), ValueError, "patterns: tile 8 is in no group"),
    (lambda: SlidingPuzzle(GOAL8, patterns=[[1, 2, 3, 4, 5, 6, 7, 9]]), ValueError, "patterns: 9 is not a tile"),
    (lambda: SlidingPuzzle(GOAL8, patterns=5), TypeError, "argument 'patterns': expected '6-6-3', '7-8', 'whole'"),
    (lambda: SlidingPuzzle([*range(1, 25), 0]).search([*range(1, 25), 0], heuristic="pdb"), ValueError,
     "heuristic 'pdb' needs pattern databases: from side 5 on"),
    (lambda: SlidingPuzzle([1, 2, 3, 0]).search(GOAL8), ValueError, "tiles must have 4 entries, as the goal has"),
    (lambda: SlidingPuzzle([1, 2, 3, 0]).search([2, 1, 3, 0]), ValueError,
     "this configuration is not solvable into the goal (parity)"),
    (lambda: SlidingPuzzle([1, 2, 3, 0]).search([1, 2, 3, 0], heuristic="hamming"), ValueError,
     "unknown npuzzle heuristic: 'hamming'. Use manhattan, misplaced, zero, pdb, or a callable"),
    (lambda: SlidingPuzzle([1, 2, 3, 0]).search_many([[1, 2, 3, 0], [1, 2, 3, 3]]), ValueError,
     "query 1: " + PERM.format("tiles", 3)),
    (lambda: search_wordladder("abc", "abcde", [], heuristic=3), ValueError, "start and goal must have the same length"),
    (lambda: search_wordladder("ab", "cd", "ab"), TypeError, "argument 'words': expected an iterable of str, got str"),
    (lambda: search_wordladder("ab", "cd", 5), TypeError, "argument 'words': expected an iterable of str, got int"),
    (lambda: search_wordladder("ab", "cd", iter(["ab", 3])), TypeError,
     "argument 'words': expected an iterable of str, got int at index 1"),
    (lambda: search_wordladder("ab", "cd", [], heuristic="misplaced"), ValueError,
     "unknown wordladder heuristic: 'misplaced'. Use hamming, zero, or a callable"),
])
def test_messages_in_order(call, exc, message):
    raises(exc, message, call)


def test_states_and_words():
    r = search_hanoi(3)
    assert (len(r.path), r.path[0], r.path[-1], r.cost) == (8, (0, 0, 0), (2, 2, 2), 7.0)
    assert search_npuzzle(list(GOAL8)).path == [GOAL8]
    assert search_npuzzle([1, 0, 2, 3, 4, 5, 6, 7, 8], goal=range(9)).path == [(1, 0, 2, 3, 4, 5, 6, 7, 8), tuple(range(9))]
    seen = []
    r = search_wordladder("CoLD", "WARM", ["cord", "Card", "WARD", "warm", "word"],
                          heuristic=lambda w, g: seen.append((w, g)) or 0.0)
    assert r.path == ["cold", "cord", "word", "ward", "warm"]  # lower-cased; the start need not be a word
    # Any iterable of str, read once: a set, a generator, a NumPy array.
    words = ["cord", "Card", "WARD", "warm", "word"]
    for given in ({*words}, (w for w in words), np.array(words)):
        assert search_wordladder("CoLD", "WARM", given).path == r.path
    assert all(type(w) is str and g == "warm" for w, g in seen)
    # Lower-casing is Python's own, even where the lower case is longer.
    assert search_wordladder("\u0130b", "\u0130b".lower(), ["x"]).path == ["\u0130b".lower()]


@pytest.mark.parametrize("pegs, optimal", [(3, [2**n - 1 for n in range(1, 11)]), (4, [1, 3, 5, 9, 13, 17, 25])])
def test_hanoi_optimal_moves(pegs, optimal):
    for disks, moves in enumerate(optimal, start=1):
        for algorithm in ("astar", "bfs", "bidirectional"):
            r = search_hanoi(disks, pegs=pegs, algorithm=algorithm, record=False)
            assert (r.cost, len(r.path) - 1) == (moves, moves), (disks, algorithm)


def eight_puzzle_distances():
    """Moves from every solvable 8-puzzle state to the goal, by breadth-first search."""
    dist = {GOAL8: 0}
    queue = collections.deque([GOAL8])
    while queue:
        s = queue.popleft()
        b = s.index(0)
        for d in (-3, 3, -1, 1):
            t = b + d
            if 0 <= t < 9 and (d in (-3, 3) or t // 3 == b // 3):
                n = list(s)
                n[b], n[t] = n[t], n[b]
                n = tuple(n)
                if n not in dist:
                    dist[n] = dist[s] + 1
                    queue.append(n)
    return dist


def test_eight_puzzle_optimal_against_breadth_first():
    dist = eight_puzzle_distances()
    assert len(dist) == 181440
    starts = random.Random(8).sample(sorted(dist), 300)
    for s in starts:
        r = search_npuzzle(list(s), heuristic="manhattan", record=False)
        assert r.cost == dist[s] and r.path[0] == s and r.path[-1] == GOAL8
    unsolvable = (2, 1, 3, 4, 5, 6, 7, 8, 0)
    assert unsolvable not in dist
    with pytest.raises(ValueError, match="parity"):
        search_npuzzle(list(unsolvable))


def korf_instances():
    """{id: (tiles, optimal length)} of Korf's 100 15-puzzles (goal 0, 1, ..., 15)."""
    rows = (line.split("\t") for line in data_file("korf100", "korf100.tsv").read_text().splitlines()
            if line and not line.startswith(("#", "id\t")))
    return {int(f[0]): ([int(x) for x in f[1].split(",")], int(f[2])) for f in rows}


def test_korf_instances_at_their_optimal_length():
    """IDA* with the built-in Manhattan distance (the sliding-tile fast path)
    on easy instances of Korf's 100: the published optimal length and a
    path of legal slides. Against the same distance as a callable, which runs
    the general strategy: the same result, trace included, up to a node limit."""
    korf = korf_instances()
    goal = tuple(range(16))

    def manhattan(state, _goal):
        return sum(abs(i // 4 - t // 4) + abs(i % 4 - t % 4) for i, t in enumerate(state) if t)

    for kid in (55, 42, 79):
        tiles, optimal = korf[kid]
        r = search_npuzzle(tiles, goal=goal, algorithm="ida_star", heuristic="manhattan", record=False)
        assert (r.cost, len(r.path) - 1, r.path[0], r.path[-1]) == (optimal, optimal, tuple(tiles), goal), kid
        for a, b in zip(r.path, r.path[1:]):
            za, zb = a.index(0), b.index(0)
            assert abs(za // 4 - zb // 4) + abs(za % 4 - zb % 4) == 1 and a[zb] == b[za], kid
            assert [x for i, x in enumerate(a) if i not in (za, zb)] == [x for i, x in enumerate(b) if i not in (za, zb)]
        for max_nodes in (None, 3000) if kid == 55 else (3000,):
            a, b = (search_npuzzle(tiles, goal=goal, algorithm="ida_star", heuristic=h, max_nodes=max_nodes,
                                   record=max_nodes is not None) for h in ("manhattan", manhattan))
            assert a == b, (kid, max_nodes)


def test_sliding_puzzle_databases_are_admissible_and_its_searches_optimal():
    """The 8-puzzle's whole-board database is the distance of a breadth-first
    search; on the 15-puzzle, 6-6-3 never falls below the Manhattan distance
    nor above the optimal length (found by IDA* on the Manhattan distance) on
    boards near the goal, and IDA* over it solves easy instances of Korf's
    100 at their published length. Searches equal search_npuzzle's with any
    other heuristic, one by one or in a batch, after a pickle round trip too."""
    dist = eight_puzzle_distances()
    eight = SlidingPuzzle(GOAL8)
    assert (eight.side, eight.patterns, eight.nbytes) == (3, ((1, 2, 3, 4, 5, 6, 7, 8),), 362880)
    for s in random.Random(3).sample(sorted(dist), 3000):
        assert eight.estimate(s) == dist[s]
    starts = random.Random(4).sample(sorted(dist), 40)
    for s in starts[:10]:
        r = eight.search(s, algorithm="ida_star", heuristic="pdb")
        assert (r.cost, r.nodes_expanded) == (dist[s], dist[s] + 1)  # an exact estimate walks straight to the goal
        assert eight.search(s, heuristic="misplaced") == search_npuzzle(s, heuristic="misplaced")

    goal = tuple(range(16))
    fifteen = SlidingPuzzle(goal)
    rng = random.Random(5)
    for _ in range(30):
        board = list(goal)
        for _ in range(rng.randrange(10, 40)):
            b = board.index(0)
            t = rng.choice([c for c in (b - 4, b + 4, b - 1, b + 1)
                            if 0 <= c < 16 and (abs(c - b) == 4 or c // 4 == b // 4)])
            board[b], board[t] = board[t], board[b]
        manhattan = sum(abs(i // 4 - t // 4) + abs(i % 4 - t % 4) for i, t in enumerate(board) if t)
        optimal = search_npuzzle(board, goal=goal, algorithm="ida_star", record=False).cost
        assert manhattan <= fifteen.estimate(board) <= optimal
    korf = korf_instances()
    boards = [korf[kid][0] for kid in (55, 42, 79)]
    results = fifteen.search_many(boards, algorithm="ida_star", heuristic="pdb", record=False)
    assert [r.cost for r in results] == [korf[kid][1] for kid in (55, 42, 79)]
    restored = pickle.loads(pickle.dumps(fifteen))
    assert (repr(restored), restored.patterns, restored.goal) == (repr(fifteen), fifteen.patterns, goal)
    assert restored.search_many(np.array(boards), workers=2, algorithm="ida_star", heuristic="pdb",
                                record=False) == results
    assert restored.search(boards[0], algorithm="astar", heuristic="pdb").cost == results[0].cost


def test_word_ladders_against_networkx():
    words = data_file("words", "sgb-words.txt").read_text().split()
    g = nx.Graph()
    g.add_nodes_from(words)
    buckets = collections.defaultdict(list)
    for w in words:
        for i in range(5):
            buckets[w[:i] + "_" + w[i + 1:]].append(w)
    for group in buckets.values():
        g.add_edges_from(itertools.combinations(group, 2))
    assert g.number_of_edges() == 14135
    rng = random.Random(5)
    for _ in range(200):
        s, t = rng.sample(words, 2)
        r = search_wordladder(s, t, words, algorithm="astar" if rng.random() < 0.5 else "bfs", record=False)
        if nx.has_path(g, s, t):
            assert r.cost == nx.shortest_path_length(g, s, t) and r.path[0] == s and r.path[-1] == t
            assert all(sum(a != b for a, b in zip(x, y)) == 1 for x, y in zip(r.path, r.path[1:]))
        else:
            assert (r.found, r.stop_reason) == (False, "exhausted")
