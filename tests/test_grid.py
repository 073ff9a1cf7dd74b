"""search_grid and search_grid_costs: messages in their order, cells as
(row, col) tuples, and optimal paths (the Moving AI benchmark: test_movingai.py)."""

import math
import struct

import numpy as np
import pytest

from conftest import raises
from quellostrin import Grid, search_grid, search_grid_costs

BAD_CELLS = "start and goal must be in-bounds, non-wall cells"
UNKNOWN_H = ("unknown heuristic: '{}'. Available: zero, manhattan, euclidean, octile, "
             "or a callable h(node, goal) -> float")
NO_SG = "the ASCII map must contain a start 'S' and a goal 'G'"
CELL = "expected a (row, col) pair of ints, got "


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
