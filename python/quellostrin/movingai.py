"""Reading the Moving AI grid-pathfinding benchmarks (https://movingai.com/benchmarks/).

A benchmark is a map (`.map`) and a file of scenarios (`.scen`) on it, each a
start, a goal and the length of a shortest path between them.

    >>> from quellostrin import movingai
    >>> grid = movingai.read_map("den312d.map")
    >>> scenarios = movingai.read_scenarios("den312d-random-1.scen")
    >>> all(abs(grid.search(s.start, s.goal, diagonal=True, heuristic="octile", record=False).cost
    ...         - s.optimal_length) < 1e-6 for s in scenarios)
    True

The optimal lengths hold for 8-neighbour moves, orthogonal steps costing 1 and
diagonal ones sqrt(2), where a diagonal step needs both cells beside it open:
what `Grid.search` does with `diagonal=True`. Cells are `(row, col)` like
everywhere in quellostrin, although the files give them as x (the column)
before y (the row).
"""

from __future__ import annotations

import os
from typing import NamedTuple

from .quellostrin_native import Grid

__all__ = ["Scenario", "read_map", "read_scenarios"]

# Of the map's terrain letters, '.' (ground), 'G' (ground) and 'S' (swamp)
# are open; '@' and 'O' (out of bounds), 'T' (trees) and 'W' (water, which
# ground cannot be left for) are walls here. The ASCII map Grid reads marks
# open cells '.' and walls '#', and ends rows with '\n' (which no row holds).
_TO_ASCII = bytes(ord(".") if chr(b) in ".GS" else b if b == ord("\n") else ord("#") for b in range(256))


class Scenario(NamedTuple):
    """One line of a `.scen` file: a query on a map and its answer."""

    bucket: int
    """Difficulty group: the optimal length divided by 4, rounded down."""
    map: str
    """The map's file name as the file gives it."""
    width: int
    height: int
    start: tuple[int, int]
    """(row, col)"""
    goal: tuple[int, int]
    """(row, col)"""
    optimal_length: float
    """Length of a shortest 8-neighbour path without corner cutting."""


def read_map(path: str | os.PathLike[str]) -> Grid:
    """Read a Moving AI `.map` file into a `Grid` to search.

    The file is a header of `type`, `height` and `width` lines, a line
    `map`, and then `height` rows of `width` terrain letters. The cells '.',
    'G' and 'S' are open, costing 1 to enter; every other letter is a wall.
    The grid has no start or goal of its own: give them to `search`.

        >>> grid = read_map("maze512-32-9.map")
        >>> grid.shape
        (512, 512)
        >>> grid.search((95, 295), (96, 292), diagonal=True, heuristic="octile").cost
        3.414213562373095

    Raises OSError when the file cannot be read and ValueError when it is not
    a Moving AI map, naming the file.
    """
    with open(path, "rb") as f:
        lines = f.read().splitlines()
    name = os.fspath(path)
    header: dict[bytes, bytes] = {}
    at = 0
    while at < len(lines) and lines[at].strip() != b"map":
        key, _, value = lines[at].strip().partition(b" ")
        header[key] = value.strip()
        at += 1
    try:
        height, width = int(header[b"height"]), int(header[b"width"])
    except (KeyError, ValueError):
        raise ValueError(f"{name}: a Moving AI map needs 'height' and 'width' lines before 'map'") from None
    rows = lines[at + 1 : at + 1 + height]
    if at == len(lines) or height < 1 or len(rows) != height or any(len(row) != width for row in rows):
        raise ValueError(f"{name}: expected {height} rows of {width} cells after 'map'")
    return Grid(b"\n".join(rows).translate(_TO_ASCII).decode("ascii"))


def read_scenarios(path: str | os.PathLike[str]) -> list[Scenario]:
    """Read a Moving AI `.scen` file: its scenarios in file order.

    After a first line `version 1` (or `version 1.0`), every line holds nine
    tab-separated fields: bucket, map, width, height, start x, start y, goal
    x, goal y and optimal length. x is the column and y the row; the
    scenarios give cells as `(row, col)`.

        >>> read_scenarios("maze512-32-9.map.scen")[0]
        Scenario(bucket=0, map='maze512-32-9.map', width=512, height=512, start=(95, 295), goal=(96, 292), optimal_length=3.41421356)

    Raises OSError when the file cannot be read and ValueError, naming the
    file and line, when a line is not a scenario.
    """
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    name = os.fspath(path)
    if not lines or lines[0].split() not in (["version", "1"], ["version", "1.0"]):
        raise ValueError(f"{name}: a Moving AI scenario file starts with 'version 1'")
    scenarios = []
    for number, line in enumerate(lines[1:], start=2):
        if not line.strip():
            continue
        fields = line.split("\t")
        try:
            if len(fields) != 9:
                raise ValueError
            bucket, width, height, x0, y0, x1, y1 = (int(fields[i]) for i in (0, 2, 3, 4, 5, 6, 7))
            scenarios.append(Scenario(bucket, fields[1], width, height, (y0, x0), (y1, x1), float(fields[8])))
        except ValueError:
            raise ValueError(f"{name}, line {number}: expected 9 tab-separated fields: bucket, map, width, "
                             "height, start x, start y, goal x, goal y, optimal length") from None
    return scenarios
