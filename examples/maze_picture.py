"""A random maze searched with breadth-first search and with A*, drawn side
by side: the cells each search expanded, coloured by when, and the path.

    python examples/maze_picture.py [OUTPUT_DIR]     # default: the temp directory

The picture needs matplotlib and pillow (pip install "quellostrin[viz]");
without them the searches still run and the picture is skipped.
"""

from __future__ import annotations

import sys
import tempfile
from pathlib import Path

from quellostrin import SearchResult, random_maze_ascii, search_grid

WIDTH, HEIGHT, WALLS = 60, 30, 0.3


def solvable_maze() -> tuple[int, str]:
    """The first seed whose random maze has a way from S to G."""
    for seed in range(100):
        maze = random_maze_ascii(WIDTH, HEIGHT, WALLS, seed=seed)
        if search_grid(maze, algorithm="bfs", record=False).found:
            return seed, maze
    raise SystemExit("no solvable maze among the first 100 seeds")


def describe(name: str, r: SearchResult) -> str:
    return (
        f"{name:6} cost {r.cost:5g}  path {len(r.path or []):4} cells  expanded {r.nodes_expanded:5}  "
        f"generated {r.nodes_generated:5}  peak frontier {r.max_frontier_size:4}  {r.elapsed * 1e3:.3f} ms"
    )


def main() -> None:
    out_dir = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(tempfile.gettempdir())
    seed, maze = solvable_maze()
    print(f"maze {WIDTH} x {HEIGHT}, {WALLS:.0%} walls, seed {seed}")

    bfs = search_grid(maze, algorithm="bfs")
    astar = search_grid(maze, algorithm="astar", heuristic="manhattan")
    print(describe("bfs", bfs))
    print(describe("astar", astar))
    # Manhattan distance never overestimates with 4-neighbour moves, so A*
    # finds a shortest path, like breadth-first search, with fewer expansions.
    if astar.cost != bfs.cost or astar.nodes_expanded > bfs.nodes_expanded:
        raise SystemExit("A* should match breadth-first search's cost with no more expansions")

    try:
        import matplotlib

        matplotlib.use("Agg")  # draw into files, never open a window
        import matplotlib.pyplot as plt

        from quellostrin import viz
    except ImportError as exc:
        print(f"no picture: {exc}")
        return

    fig, (left, right) = plt.subplots(1, 2, figsize=(12, 3.6), layout="constrained")
    viz.plot_grid(maze, bfs, ax=left, title=f"bfs: {bfs.nodes_expanded} expanded")
    viz.plot_grid(maze, astar, ax=right, title=f"A*: {astar.nodes_expanded} expanded")
    out_dir.mkdir(parents=True, exist_ok=True)
    png = out_dir / "maze_picture.png"
    fig.savefig(png, dpi=100)
    plt.close(fig)
    print(f"picture: {png}")


if __name__ == "__main__":
    main()
