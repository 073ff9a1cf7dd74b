"""search_grid and search_grid_costs: messages in their order, cells as
(row, col) tuples, optimal paths (the Moving AI benchmark: test_movingai.py),
and Jump Point Search against A*."""

import math
import struct

import numpy as np
import pytest

from conftest import raises
from quellostrin import (Grid, WordList, search_graph, search_grid, search_grid_costs, search_hanoi, search_implicit,
                         search_npuzzle)

BAD_CELLS = "start and goal must be in-bounds, non-wall cells"
UNKNOWN_H = ("unknown heuristic: '{}'. Available: zero, manhattan, euclidean, octile, "
             "or a callable h(node, goal) -> float")
NO_SG = "the ASCII map must contain a start 'S' and a goal 'G'"
CELL = "expected a (row, col) pair of ints, got "
GRIDS_ONLY = ("'jps' (Jump Point Search) runs on grids only: search_grid, search_grid_costs, Grid.search and "
              "Grid.search_many")


class TestErrors:
    @pytest.mark.parametrize("call, exc, message", [
        (lambda: search_grid("", algorithm="nope", heuristic=3), ValueError, NO_SG),
        (lambda: search_grid("S.G", heuristic=3, algorithm="nope"),
         ValueError, "heuristic must be a name (str) or a callable h(node, goal) -> float"),
        (lambda: search_grid("S.G", heuristic="misplaced", algorithm="nope"), ValueError, UNKNOWN_H.format("misplaced")),
        (lambda: search_grid("S.G", diagonal=1, algorithm="nope"), TypeError, "argument 'diagonal': "),
        (lambda: search_grid(b"S.G"), TypeError, "argument 'map': "),
        (lambda: search_grid("S\ud800G"), UnicodeEncodeError, "'utf-8' codec can't encode"),
        (lambda: search_grid_costs([], (0, 0), (0, 0), algorithm="nope"), ValueError, "costs must be a non-empty matrix"),
        (lambda: search_grid_costs([[], []], (5, 5), (0, 0)), ValueError, "costs must be a non-empty matrix"),
        (lambda: search_grid_costs([[1, 1]], (-1, 0), (0, 0), heuristic=3), ValueError, BAD_CELLS),
        (lambda: search_grid_costs([[1, 1]], (0, 0), (0, 2)), ValueError, BAD_CELLS),
        (lambda: search_grid_costs([[1, 1], [1]], (0, 0), (1, 1)), ValueError, BAD_CELLS),  # past a short row: a wall
        (lambda: search_grid_costs([[1, 0]], (0, 0), (0, 1)), ValueError, BAD_CELLS),
        (lambda: search_grid_costs([[1, 1]], [0, 0.0], (0, 1)), TypeError,
         "argument 'start': " + CELL + "list holding float at index 1"),
        (lambda: search_grid_costs([[1, 1]], (0, 0), [0, 1, 2]), TypeError,
         "argument 'goal': " + CELL + "list of length 3"),
        (lambda: search_grid_costs([[1, 1]], "ab", 1.5), TypeError, "argument 'start': " + CELL + "str"),
        (lambda: search_grid_costs([[1, 1]], (0, 0), np.array(1)), TypeError, "argument 'goal': " + CELL + "ndarray"),
        (lambda: search_grid_costs([[1, 1]], (0, 2**31), (0, 1)), OverflowError, "argument 'start': "),
        (lambda: search_grid_costs([[1, "x"]], (0, 2**31), (0, 1)), TypeError, "argument 'costs': "),
        (lambda: search_grid_costs("ab", (0, 0), (0, 1)), TypeError, "argument 'costs': "),
    ])
    def test_messages_in_order(self, call, exc, message):
        raises(exc, message, call)

    def test_a_huge_matrix_is_refused_before_its_elements_are_read(self):
        class Row:
            def __len__(self):
                return 2**32 + 2

            def __getitem__(self, i):
                raise AssertionError("an element was converted")

        raises(ValueError, "grid too large: 4294967298\u00d71 = 4294967298 cells (max 2147483647)", search_grid_costs,
               [Row()], (0, 0), (0, 1))

    def test_memoryviews_are_read_or_refused_with_type_error(self):
        # A memoryview cannot be indexed by rows, so every format either reads
        # as numbers or is refused by name (no NotImplementedError).
        for fmt in "nNdq?":
            view = memoryview(struct.pack("4" + fmt, 1, 1, 1, 1)).cast("B").cast(fmt, shape=[2, 2])
            assert search_grid_costs(view, (0, 0), (1, 1)).cost == 2.0, fmt
        flags = memoryview(bytes([2, 0, 2, 7])).cast("?", shape=[2, 2])  # any non-zero byte is true, cost 1
        assert search_grid_costs(flags, (0, 0), (1, 1)).path == [(0, 0), (1, 0), (1, 1)]
        assert search_grid_costs(flags, (0, 0), (1, 1)).cost == 2.0
        for view in (memoryview(b"ab" * 2).cast("c", shape=[2, 2]), memoryview(bytes(8)).cast("B", shape=[2, 2, 2])):
            with pytest.raises(TypeError, match="^argument 'costs': expected a matrix of numbers, got a"):
                search_grid_costs(view, (0, 0), (1, 1))


class TestSearch:
    def test_cells_as_any_pair_of_ints_and_tuples_out(self):
        # Lists from JSON, NumPy rows and integers: the same search; the path,
        # the trace and the heuristic's arguments are (row, col) tuples.
        costs, rows, seen = [[1, 1, 1], [1, 0, 1]], np.array([[0, 0], [1, 2]], dtype=np.int16), []
        expected = search_grid_costs(costs, (0, 0), (1, 2))
        search_grid_costs(costs, [0, 0], rows[1], heuristic=lambda a, b: seen.append((a, b)) or 0.0)
        assert seen[0] == ((0, 0), (1, 2)) and all(type(c) is tuple for c, _, _ in expected.trace)
        grid = Grid(costs)
        for start, goal in [([0, 0], [1, 2]), (rows[0], rows[1]), ((np.int64(0), np.uint8(0)), range(1, 3))]:
            assert search_grid_costs(costs, start, goal) == grid.search(start, goal) == expected
        assert grid.search_many([[[0, 0], [1, 2]], (rows[0], rows[1])]) == [expected] * 2
        assert expected.path == [(0, 0), (0, 1), (0, 2), (1, 2)]

    def test_default_heuristic_overestimates_diagonals(self):
        maze = "S....\n.#...\n..#..\n..##.\n#...G"
        assert search_grid(maze, diagonal=True).cost == pytest.approx(6 + math.sqrt(2))
        assert search_grid(maze, diagonal=True, heuristic="octile").cost == pytest.approx(4 + 2 * math.sqrt(2))
        assert search_grid(maze, diagonal=True, algorithm="dijkstra").cost == pytest.approx(4 + 2 * math.sqrt(2))

    def test_matrix_forms_agree(self):
        rng = np.random.default_rng(5)
        costs = rng.integers(0, 6, size=(30, 40)).astype(float)
        costs[0, 0] = costs[-1, -1] = 1
        expected = search_grid_costs(costs.tolist(), (0, 0), (29, 39), diagonal=True)
        for form in (costs, costs.astype(np.int32), costs.astype(np.float32), costs.T.copy().T,
                     [np.array(row) for row in costs], tuple(tuple(row) for row in costs.tolist())):
            r = search_grid_costs(form, (0, 0), (29, 39), diagonal=True)
            assert (r.path, r.cost) == (expected.path, expected.cost)

    @pytest.mark.parametrize("seed", range(40))
    def test_astar_finds_the_cheapest_path_with_every_consistent_heuristic(self, seed):
        # Terrain from 0.1 to 3, walls included: the heuristics scale with the
        # cheapest open cell where it is below 1, so A* stays optimal.
        rng = np.random.default_rng(seed)
        h, w = rng.integers(2, 14, size=2)
        costs = rng.uniform(0.1, 3.0 if seed % 2 else 1.0, size=(h, w))
        costs[rng.random((h, w)) < 0.2] = 0
        start, goal = (0, 0), (int(h) - 1, int(w) - 1)
        costs[start] = costs[goal] = rng.uniform(0.1, 1.0)
        for diagonal, heuristics in [(False, ("manhattan", "octile", "euclidean")), (True, ("octile", "euclidean"))]:
            best = search_grid_costs(costs, start, goal, diagonal=diagonal, algorithm="dijkstra")
            for heuristic in heuristics:
                r = search_grid_costs(costs, start, goal, diagonal=diagonal, heuristic=heuristic)
                assert r.found == best.found and r.cost == pytest.approx(best.cost, rel=1e-12), heuristic
        assert search_grid_costs([[1, 1, .5, .5], [.5, 1, 1, .5]], (0, 0), (1, 3)).cost == 2.5


def walk_cost(costs, path, diagonal):
    """The cost of `path` on a grid of 1s and 0s by the grid's moves (no corner
    cut), or an AssertionError at the first step that is not one."""
    total = 0.0
    for (r, c), (r2, c2) in zip(path, path[1:]):
        dr, dc = r2 - r, c2 - c
        assert max(abs(dr), abs(dc)) == 1 and (diagonal or abs(dr) + abs(dc) == 1) and costs[r2, c2] > 0, (r, c)
        assert costs[r + dr, c] > 0 and costs[r, c + dc] > 0, ("corner cut", (r, c))
        total += costs[r2, c2] * (math.sqrt(2) if dr and dc else 1.0)
    return total


def is_jump_point(costs, cell, d, goal, diagonal):
    """Whether an optimal path reaching `cell` in direction `d` may turn
    there: a cell beside it open where the one beside the cell behind is a
    wall, or (moving diagonally, or vertically with 4 neighbours) a straight
    run from it along a part of `d` (either way, for the latter) that meets
    the goal or such a cell before a wall."""
    h, w = costs.shape
    def open_(r, c):
        return 0 <= r < h and 0 <= c < w and costs[r, c] > 0

    def turns(r, c, dr, dc):
        return any(open_(r + sr, c + sc) and not open_(r + sr - dr, c + sc - dc) for sr, sc in [(dc, dr), (-dc, -dr)])

    def run(r, c, dr, dc):
        while open_(r + dr, c + dc):
            r, c = r + dr, c + dc
            if (r, c) == goal or turns(r, c, dr, dc):
                return True
        return False

    (r, c), (dr, dc) = cell, d
    if cell == goal or (not (dr and dc) and turns(r, c, dr, dc)):
        return True
    if dr and dc:
        return run(r, c, dr, 0) or run(r, c, 0, dc)
    return not diagonal and dr != 0 and (run(r, c, 0, 1) or run(r, c, 0, -1))


class TestJumpPointSearch:
    @pytest.mark.parametrize("seed", range(40))
    def test_astar_cost_on_a_legal_path_expanding_only_jump_points(self, seed):
        # Rows longer than a word of 64 cells; one cost, now and then not 1.
        rng = np.random.default_rng(seed)
        h, w = rng.integers(1, 30), rng.integers(1, 150)
        cost = 2.5 if seed % 4 == 0 else 1.0
        costs = np.where(rng.random((h, w)) < rng.uniform(0.0, 0.45), 0.0, cost)
        cells = [tuple(map(int, c)) for c in np.argwhere(costs > 0)] or [(0, 0)]
        costs[cells[0]] = cost
        grid = Grid(costs)
        for diagonal in (False, True):
            for _ in range(6):
                s, t = cells[rng.integers(len(cells))], cells[rng.integers(len(cells))]
                a = grid.search(s, t, diagonal=diagonal, heuristic="octile" if diagonal else "manhattan")
                j = grid.search(s, t, diagonal=diagonal, algorithm="jps")
                # A Grid reads its jump distances, the function scans the cells.
                assert j == search_grid_costs(costs, s, t, diagonal=diagonal, algorithm="jps")
                assert j.found == a.found and j.cost == pytest.approx(a.cost, rel=1e-12), (s, t)
                if j.found:
                    assert (j.path[0], j.path[-1]) == (s, t)
                    assert walk_cost(costs, j.path, diagonal) == pytest.approx(j.cost, rel=1e-12)
                # Each jump point is reached from its parent by a straight or
                # diagonal run, and is a point where an optimal path may turn.
                parent = dict((child, p) for p, child in j.tree)
                assert j.trace[0][0] == s and len(j.trace) == j.nodes_expanded
                for cell, _, _ in j.trace[1:]:
                    (pr, pc), (r, c) = parent[cell], cell
                    d = (int(np.sign(r - pr)), int(np.sign(c - pc)))
                    assert r - pr in (0, d[0] * abs(c - pc)) or c == pc, (parent[cell], cell)
                    assert is_jump_point(costs, cell, d, t, diagonal), (cell, d)

    def test_limits_and_the_default_heuristic(self):
        maze = Grid(np.ones((60, 60)))
        r = maze.search((0, 0), (59, 30), algorithm="jps", diagonal=True, max_nodes=2)
        assert (r.stop_reason, r.nodes_expanded, len(r.trace), r.found) == ("node_limit", 2, 2, False)
        assert maze.search((0, 0), (59, 30), algorithm="jps", max_memory=2**10).stop_reason == "memory_limit"
        for diagonal, name in [(True, "octile"), (False, "manhattan")]:
            default = maze.search((0, 0), (59, 30), algorithm="jps", diagonal=diagonal)
            assert default == maze.search((0, 0), (59, 30), algorithm="jps", diagonal=diagonal, heuristic=name)
            assert maze.search_many([((0, 0), (59, 30))], algorithm="jps", diagonal=diagonal) == [default]

    @pytest.mark.parametrize("call, message", [
        (lambda: search_grid_costs([[1, 2]], (0, 0), (0, 1), algorithm="jps"),
         "'jps' needs a grid whose open cells all cost the same; its open cells cost from 1 to 2"),
        (lambda: search_grid("S1G", algorithm="jps", heuristic=lambda a, b: 0.0), "'jps' takes a built-in heuristic"),
        (lambda: search_graph(2, [(0, 1, 1.0)], 0, 1, algorithm="jps"), GRIDS_ONLY),
        (lambda: search_implicit(lambda s: [], 0, 1, algorithm="jps"), GRIDS_ONLY),
        (lambda: search_npuzzle([1, 0, 3, 2], algorithm="jps"), GRIDS_ONLY),
        (lambda: search_hanoi(3, algorithm="jps"), GRIDS_ONLY),
        (lambda: WordList(["ab", "cb"]).search("ab", "cb", algorithm="jps"), GRIDS_ONLY),
    ])
    def test_refusals(self, call, message):
        raises(ValueError, message, call)
