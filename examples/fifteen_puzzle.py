"""The easiest of Korf's 100 random 15-puzzle instances, solved optimally
with IDA* and the Manhattan-distance estimate, and checked against their
published optimal lengths.

    python examples/fifteen_puzzle.py [--count 3]

Instances come from data/korf100/korf100.tsv of the repository: tiles
listed row by row, 0 the blank, and the goal 0, 1, ..., 15 with the blank in
the top-left corner.
"""

from __future__ import annotations

import argparse
from pathlib import Path

from quellostrin import search_npuzzle

KORF100 = Path(__file__).resolve().parents[1] / "data" / "korf100" / "korf100.tsv"
GOAL = list(range(16))


def read_korf(path: Path) -> list[tuple[int, list[int], int]]:
    """(instance number, tiles, optimal number of moves) per instance."""
    out = []
    for line in path.read_text().splitlines():
        if line and line[0].isdigit():
            number, tiles, length = line.split("\t")
            out.append((int(number), [int(t) for t in tiles.split(",")], int(length)))
    return out


def manhattan(tiles: list[int]) -> int:
    """Sum over the tiles of their row and column distances from home."""
    return sum(abs(i // 4 - t // 4) + abs(i % 4 - t % 4) for i, t in enumerate(tiles) if t)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--count", type=int, default=3, help="how many of the easiest instances")
    args = parser.parse_args()

    # Easiest first: the shortest solutions, and among equally long ones the
    # largest initial estimate, which leaves IDA* the fewest bounds to try.
    instances = sorted(read_korf(KORF100), key=lambda k: (k[2], -manhattan(k[1])))[: args.count]
    for number, tiles, optimal in instances:
        r = search_npuzzle(tiles, algorithm="ida_star", heuristic="manhattan", goal=GOAL, record=False)
        moves = len(r.path or []) - 1
        print(
            f"#{number:<3} optimal {optimal}  found {r.cost:g} ({moves} moves)  estimate {manhattan(tiles)}  "
            f"expanded {r.nodes_expanded:>9,}  {r.elapsed:.2f} s"
        )
        if not r.found or r.cost != optimal or moves != optimal:
            raise SystemExit(f"instance {number}: expected {optimal} moves")
        if r.path is None or list(r.path[0]) != tiles or list(r.path[-1]) != GOAL:
            raise SystemExit(f"instance {number}: the path does not run from the start to the goal")
    print(f"all {len(instances)} solved optimally")


if __name__ == "__main__":
    main()
