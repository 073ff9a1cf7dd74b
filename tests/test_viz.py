"""The visualiser, read back: pictures are rendered to pixels and checked cell by
cell, animations and GIFs counted frame by frame, the web page opened in a real
browser."""

import itertools
import math
import os
import shutil
import subprocess
import sys

import numpy as np
import pytest

matplotlib = pytest.importorskip("matplotlib")
matplotlib.use("Agg")

import matplotlib.pyplot as plt
from conftest import random_edges
from matplotlib.colors import to_rgb
from PIL import Image
from quellostrin import Grid, random_maze_ascii, search_graph, search_grid, search_grid_costs, search_hanoi, viz

SMALL = "S..#....\n.#.#.##.\n.#...#G.\n...#...."


@pytest.fixture(autouse=True)
def _close_figures():
    yield
    plt.close("all")


def rgb(color):
    return np.array(to_rgb(color)) * 255


def near(pixel, color, tol=12):
    return np.abs(pixel - rgb(color)).max() <= tol


def pixels(ax):
    """The rendered picture and a function giving the pixel at a cell's centre."""
    fig = ax.figure
    fig.canvas.draw()
    img = np.asarray(fig.canvas.buffer_rgba())[..., :3].astype(float)

    def at(cell):
        x, y = ax.transData.transform((cell[1], cell[0]))
        return img[int(img.shape[0] - y), int(x)]

    return img, at


def found_maze(seed=0, width=40, height=20):
    while True:
        text = random_maze_ascii(width, height, 0.25, seed)
        if search_grid(text).found:
            return text
        seed += 1


def _costs():
    rng = np.random.default_rng(3)
    costs = rng.integers(1, 6, size=(12, 18)).astype(float)
    costs[rng.random(costs.shape) < 0.2] = 0.0
    costs[2, 3], costs[4, 5], costs[0, 1] = np.inf, np.nan, -2.0
    costs[0, 0] = costs[-1, -1] = 1.0
    return costs


COSTS = _costs()
RAGGED = [[1, 1, 1, 1], [1, 0], [1, 1, 1, 1], [2, 2, 2, 1]]
GRIDS = {
    "ascii maze": (found_maze(), lambda m: search_grid(m)),
    "ascii terrain": ("S.5..\n.#9#.\n..1.G\n", lambda m: search_grid(m, algorithm="ucs")),
    "numpy costs": (COSTS, lambda m: search_grid_costs(m, (0, 0), (11, 17))),
    "ragged lists": (RAGGED, lambda m: search_grid_costs(m, (0, 0), (3, 3), algorithm="bfs")),
}


def test_importing_the_package_leaves_matplotlib_alone_and_viz_names_the_extra():
    code = (
        "import sys, quellostrin\n"
        "assert 'matplotlib' not in sys.modules\n"
        "sys.modules['matplotlib'] = None\n"
        "try:\n    import quellostrin.viz\nexcept ImportError as e:\n    print(e)\n"
    )
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout
    assert "pip install quellostrin[viz]" in out


def tree_segments(ax):
    [lines] = [c for c in ax.collections if c.get_gid() == "tree"]
    return [tuple(map(tuple, seg)) for seg in lines.get_segments()]


@pytest.mark.parametrize("name", GRIDS)
def test_plot_grid_colours_each_cell_and_the_tree_sits_on_the_cells(name):
    grid, search = GRIDS[name]
    result = search(grid)
    assert result.found
    _, plain = pixels(viz.plot_grid(grid))
    _, drawn = pixels(viz.plot_grid(grid, result))
    # The costs as the search reads them: 0 for '#', NaN past a short row.
    costs = np.asarray(Grid(grid))
    walls = {tuple(rc) for rc in np.argwhere(~((costs > 0) & np.isfinite(costs)))}
    expanded = {node for node, _, _ in result.trace}
    start, *inner, goal = result.path
    for cell in np.ndindex(*costs.shape):
        if cell in walls:
            assert near(drawn(cell), viz.WALL_COLOR) and near(plain(cell), viz.WALL_COLOR), cell
        elif cell in (start, goal):
            assert near(drawn(cell), viz.START_COLOR if cell == start else viz.GOAL_COLOR), cell
        elif cell in inner:
            assert near(drawn(cell), viz.PATH_COLOR), cell
        else:
            assert (np.abs(drawn(cell) - plain(cell)).max() > 12) == (cell in expanded), cell
    # The search tree of a grid puts each edge and the path on their cells.
    ax = viz.plot_search_tree(result)
    assert tree_segments(ax) == [((pc, pr), (cc, cr)) for (pr, pc), (cr, cc) in result.tree]
    [path] = [line for line in ax.lines if line.get_gid() == "path"]
    assert list(zip(*path.get_data())) == [(c, r) for r, c in result.path]


@pytest.mark.parametrize("algorithm", ["astar", "iddfs"])
def test_shades_follow_terrain_cost_and_first_expansion_order(algorithm):
    terrain = "S1234\n56789\n....G"
    _, at = pixels(viz.plot_grid(terrain))
    by_cost = [at((r, c)).sum() for r, c in [(0, 1), (0, 2), (0, 3), (0, 4), (1, 0), (1, 1), (1, 2), (1, 3), (1, 4)]]
    assert all(a > b for a, b in itertools.pairwise(by_cost)) and near(at((2, 0)), viz.OPEN_COLOR)

    maze = found_maze(5, 12, 8)
    result = search_grid(maze, algorithm=algorithm)
    first = {}
    for i, (node, _, _) in enumerate(result.trace):
        first.setdefault(node, i)
    assert algorithm == "astar" or len(first) < len(result.trace)  # iddfs expands cells again
    _, at = pixels(viz.plot_grid(maze, result, cmap="Greys"))
    darkness = [-at(cell).sum() for cell in sorted(first, key=first.get) if cell not in result.path]
    assert all(a <= b + 3 for a, b in itertools.pairwise(darkness))


def assert_replay_shows(img, maze, result, done):
    """`img` (RGB) shows the ASCII `maze` after the first `done` expansions of
    `result`, the path once all are done: each cell's centre in its colour.
    The start and goal marks' centres say where the cells are."""
    start, goal = result.path[0], result.path[-1]

    def centre(color):
        ys, xs = np.nonzero(np.abs(img - rgb(color)).max(axis=2) < 20)
        return np.array([ys.mean(), xs.mean()])

    at_start, at_goal = centre(viz.START_COLOR), centre(viz.GOAL_COLOR)
    cell_size = (at_goal - at_start) / np.subtract(goal, start)
    first = {}
    for i, (node, _, _) in enumerate(result.trace):
        first.setdefault(node, i)
    for r, line in enumerate(maze.split("\n")):
        for c, ch in enumerate(line):
            y, x = np.round(at_start + (np.array([r, c]) - start) * cell_size).astype(int)
            pixel, cell = img[y, x], (r, c)
            if ch == "#":
                assert near(pixel, viz.WALL_COLOR), cell
            elif cell in (start, goal):
                assert near(pixel, viz.START_COLOR if cell == start else viz.GOAL_COLOR), cell
            elif done == len(result.trace) and cell in result.path:
                assert near(pixel, viz.PATH_COLOR), cell
            else:  # expanded cells take the colour map's colours; the rest stay open
                assert near(pixel, viz.OPEN_COLOR) == (first.get(cell, done) >= done), cell


@pytest.mark.parametrize("step", [1, 3])
def test_animation_and_gif_have_one_frame_per_step_and_the_path_only_at_the_end(tmp_path, step):
    result = search_grid(SMALL)
    frames = math.ceil(len(result.trace) / step)
    gif = tmp_path / "search.gif"
    anim = viz.animate_search(SMALL, result, gif, interval=50, final_pause=700, step=step, dpi=50)
    assert len(list(anim.new_frame_seq())) == frames
    with Image.open(gif) as im:
        assert im.n_frames == frames
        for frame, done in ((0, step), (frames - 1, len(result.trace))):
            im.seek(frame)
            assert im.info["duration"] == (750 if frame == frames - 1 else 50)
            assert_replay_shows(np.asarray(im.convert("RGB"), float), SMALL, result, done)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: viz.animate_search(SMALL, search_grid(SMALL, record=False)), r"record=True"),
        (lambda: viz.to_html(SMALL, search_grid(SMALL, record=False), "x.html"), r"record=True"),
        (lambda: viz.plot_grid(SMALL, search_hanoi(3)), r"grid search"),
        (lambda: viz.plot_grid("S.\n.G", search_grid(SMALL)), r"holds cell \(\d+, \d+\), outside this 2x2 grid"),
        (lambda: viz.compare({"a": search_grid(SMALL)}, metrics=["path"]), r"unknown metric"),
    ],
)
def test_refusals_say_what_to_do(call, message):
    with pytest.raises(ValueError, match=message):
        call()


@pytest.mark.parametrize("seed", range(8))
@pytest.mark.parametrize("algorithm", ["bfs", "dfs", "dijkstra", "bidirectional"])
def test_layered_tree_has_one_segment_per_edge_and_depths_from_the_roots(seed, algorithm):
    nx = pytest.importorskip("networkx")
    n, edges = random_edges(seed, max_nodes=40)
    edges = [(u, v, 1.0) for u, v, _ in edges]  # so that bfs finds each node first by fewest edges
    result = search_graph(n, edges, 0, n - 1, algorithm=algorithm)
    segments = tree_segments(viz.plot_search_tree(result))
    assert len(segments) == len(result.tree)
    pos = {}
    for (p, c), (a, b) in zip(result.tree, segments):
        assert pos.setdefault(p, a) == a and pos.setdefault(c, b) == b
    assert len(set(pos.values())) == len(pos)  # no two nodes on one spot
    depth = {node: -y for node, (_, y) in pos.items()}
    children = {c for p, c in result.tree if p != c}
    assert all(depth[p] == 0 for p, _ in result.tree if p not in children)
    if algorithm == "bfs":  # a breadth-first tree layers nodes by their distance from the start
        graph = nx.Graph([(u, v) for u, v, _ in edges])
        assert depth == {node: nx.shortest_path_length(graph, 0, node) for node in depth}


def test_compare_draws_one_bar_per_algorithm_per_metric():
    maze = found_maze(4)
    results = {a: search_grid(maze, algorithm=a) for a in ["bfs", "astar", "greedy"]}
    results["capped"] = search_grid(maze, max_nodes=1)
    metrics = ["nodes_expanded", "cost", "elapsed", "max_frontier_size"]
    axes = viz.compare(results, metrics=metrics)
    assert len(axes) == len(metrics)
    for ax, metric in zip(axes, metrics):
        heights = [bar.get_height() for bar in ax.patches]
        want = [getattr(r, metric) for r in results.values()]
        assert heights == pytest.approx([v if math.isfinite(v) else 0 for v in want])
        assert [t.get_text() for t in ax.get_xticklabels()] == list(results)
    assert "no path" in [t.get_text() for t in axes[1].texts]


def browser():
    return next(filter(None, map(shutil.which, ["chromium", "chromium-browser"])), None)


@pytest.mark.skipif(browser() is None, reason="no chromium binary")
@pytest.mark.parametrize("back_to", [None, 2])
def test_html_page_replays_the_search_in_a_real_browser(tmp_path, back_to):
    result = search_grid(SMALL)
    frames = math.ceil(len(result.trace) / 2)
    page = viz.to_html(SMALL, result, tmp_path / "search.html", title="small <maze>", step=2, interval=20)
    text = page.read_text()
    assert text.startswith("<!DOCTYPE html>") and "<title>small &lt;maze&gt;</title>" in text
    assert "://" not in text  # nothing to fetch from the network
    if back_to is not None:  # once played to the end, seek back: the cells expanded since are undone
        back = f"""<script>(function back() {{
          const r = window.replay;
          if (r && r.frame === {frames - 1} && !r.playing) r.seek({back_to}); else setTimeout(back, 50);
        }})();</script>"""
        page.write_text(text.replace("</body>", back + "</body>"))
    shot = tmp_path / "shot.png"
    # Virtual time runs the player's timers to the end at once; the page stops
    # on its last frame, the one with the path.
    subprocess.run(
        [browser(), "--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
         "--virtual-time-budget=20000", "--window-size=900,900", f"--screenshot={shot}", page.as_uri()],
        capture_output=True, timeout=30, check=True,
        # The browser is no place for a sanitizer runtime preloaded into the tests.
        env={k: v for k, v in os.environ.items() if k != "LD_PRELOAD"},
    )  # fmt: skip
    done = len(result.trace) if back_to is None else (back_to + 1) * 2
    assert_replay_shows(np.asarray(Image.open(shot).convert("RGB"), float), SMALL, result, done)
