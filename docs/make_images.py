"""Regenerates the pictures the README shows:

    docs/maze_search.png   A* on a random 40x20 maze, drawn by viz.plot_grid
    docs/maze_search.gif   a small maze searched expansion by expansion, by viz.animate_search

Run from anywhere with the package and its viz extra installed
(pip install "quellostrin[viz]"):  python docs/make_images.py
"""

import pathlib

import matplotlib

matplotlib.use("Agg")

from quellostrin import random_maze_ascii, search_grid, viz

DOCS = pathlib.Path(__file__).resolve().parent


def maze_with_path(width: int, height: int, density: float, seed: int) -> tuple[str, int]:
    """The maze of the first seed from `seed` on whose start reaches its goal."""
    while not search_grid(maze := random_maze_ascii(width, height, density, seed)).found:
        seed += 1
    return maze, seed


def main() -> None:
    maze, seed = maze_with_path(40, 20, 0.25, 11)
    result = search_grid(maze, algorithm="astar")
    ax = viz.plot_grid(
        maze,
        result,
        title=f"A* on random_maze_ascii(40, 20, 0.25, seed={seed}): "
        f"cost {result.cost:g}, {result.nodes_expanded} nodes expanded",
    )
    # No "Software" entry: the file then changes only when the picture does.
    ax.figure.savefig(DOCS / "maze_search.png", dpi=100, metadata={"Software": None})

    maze, seed = maze_with_path(16, 10, 0.3, 3)
    viz.animate_search(maze, search_grid(maze, algorithm="astar"), DOCS / "maze_search.gif", interval=80, dpi=80)
    for name in ("maze_search.png", "maze_search.gif"):
        print(f"{DOCS / name}: {(DOCS / name).stat().st_size // 1024} KiB")


if __name__ == "__main__":
    main()
