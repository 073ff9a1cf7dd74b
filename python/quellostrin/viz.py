"""Pictures of searches: figures drawn with matplotlib, GIFs with Pillow, and a
web page that replays a search in the browser.

    plot_grid          a grid (ASCII map or cost matrix) with the cells a search
                       expanded, coloured by when, and the path on top
    animate_search     the same picture, one frame per expansion of the trace
                       (a matplotlib animation, or a GIF)
    to_html            a self-contained web page that replays the search
    plot_search_tree   the search tree of any domain
    compare            bar charts of several algorithms on one problem

Optional: it needs matplotlib and pillow (``pip install quellostrin[viz]``),
and importing ``quellostrin`` alone never imports them.

Conventions every picture keeps, so that pictures agree with each other (and
tests can read them back): cell (row, col) is centred on data point
x = col, y = row with row 0 at the top; walls are WALL_COLOR, open cells shade
from white (the cheapest terrain) towards TERRAIN_COLOR (the dearest); the path
is a PATH_COLOR line through the centres of its cells; the start is a
START_COLOR circle, the goal a GOAL_COLOR star. The artists carry gids
("terrain", "walls", "expanded", "path", "start", "goal", "current", "tree").
"""

from __future__ import annotations

import base64
import html
import importlib.resources
import json
import math
import pathlib
import re
import zlib
from collections.abc import Hashable, Mapping, Sequence
from dataclasses import dataclass
from typing import Any, Literal

try:
    import matplotlib.pyplot as plt
    from matplotlib import animation
    from matplotlib.axes import Axes
    from matplotlib.collections import LineCollection
    from matplotlib.colors import Colormap, LinearSegmentedColormap, ListedColormap, to_rgb
    from matplotlib.figure import Figure
    from PIL import Image, ImageDraw, ImageFont
except ImportError as error:  # pragma: no cover - exercised in a subprocess
    raise ImportError(f"quellostrin.viz needs matplotlib and pillow ({error}): pip install quellostrin[viz]") from error

import numpy as np
import numpy.typing as npt

from .quellostrin_native import Grid, SearchResult

__all__ = [
    "GOAL_COLOR",
    "OPEN_COLOR",
    "PATH_COLOR",
    "START_COLOR",
    "TERRAIN_COLOR",
    "TREE_COLOR",
    "WALL_COLOR",
    "animate_search",
    "compare",
    "plot_grid",
    "plot_search_tree",
    "to_html",
]

WALL_COLOR = "#1f1f1f"
OPEN_COLOR = "#ffffff"
TERRAIN_COLOR = "#a6865a"
PATH_COLOR = "#e41a1c"
START_COLOR = "#2ca02c"
GOAL_COLOR = "#ff7f0e"
TREE_COLOR = "#8c8c8c"

Cell = tuple[int, int]
# An ASCII map, or a matrix of terrain costs: nested sequences (ragged rows are
# padded with walls) or anything NumPy turns into a 2-D array.
MapOrCosts = str | Sequence[Sequence[float]] | npt.NDArray[Any]
Node = Any

_TERRAIN_CMAP = LinearSegmentedColormap.from_list("quellostrin_terrain", [OPEN_COLOR, TERRAIN_COLOR])
_WALL_CMAP = ListedColormap([WALL_COLOR])
# The numeric SearchResult fields that compare() can chart.
_METRICS = ("nodes_expanded", "nodes_generated", "nodes_reopened", "max_frontier_size", "cost", "elapsed")


@dataclass(frozen=True)
class _Grid:
    costs: npt.NDArray[np.float64]  # height x width; meaningful only where not a wall
    walls: npt.NDArray[np.bool_]
    start: Cell | None
    goal: Cell | None


def _grid_of(map_or_costs: MapOrCosts, result: SearchResult | None) -> _Grid:
    # The map read by Grid, as the searches read it; its costs as an array
    # (a wall holds what was given for it, 0 for '#'), open exactly where
    # finite and positive.
    try:
        grid = Grid(map_or_costs)
    except ValueError as e:
        if isinstance(map_or_costs, str):
            raise ValueError("the map is empty") from e
        raise ValueError(f"a cost matrix must be 2-D and non-empty ({e})") from e
    costs = np.array(grid, dtype=np.float64)
    with np.errstate(invalid="ignore"):
        walls = ~((costs > 0) & np.isfinite(costs))
    if isinstance(map_or_costs, str):
        return _Grid(costs, walls, grid.start, grid.goal)
    path = result.path if result is not None else None
    start, goal = (_cell(path[0]), _cell(path[-1])) if path else (None, None)
    return _Grid(costs, walls, start, goal)


def _cell(node: Node) -> Cell:
    row, col = node
    return int(row), int(col)


def _cells(grid: _Grid, nodes: Sequence[Node], what: str) -> npt.NDArray[np.int64]:
    """`nodes` as an n x 2 array of (row, col), each checked to be a cell of the grid."""
    try:
        cells = np.array(nodes, dtype=np.int64).reshape(len(nodes), -1 if nodes else 2)
    except (TypeError, ValueError):
        cells = np.empty((0, 0), dtype=np.int64)
    if cells.shape != (len(nodes), 2):
        raise ValueError(f"the result's {what} does not hold (row, col) cells: is it from a grid search?")
    height, width = grid.walls.shape
    outside = (cells[:, 0] < 0) | (cells[:, 0] >= height) | (cells[:, 1] < 0) | (cells[:, 1] >= width)
    if outside.any():
        r, c = cells[np.argmax(outside)]
        raise ValueError(f"the result's {what} holds cell ({r}, {c}), outside this {height}x{width} grid")
    return cells


def _trace_cells(grid: _Grid, trace: Sequence[tuple[Node, Any, Any]]) -> npt.NDArray[np.int64]:
    """The expanded cells in trace order, as an n x 2 array of (row, col)."""
    return _cells(grid, [node for node, _, _ in trace], "trace")


def _first_expansion(grid: _Grid, cells: npt.NDArray[np.int64]) -> npt.NDArray[np.float64]:
    """Per cell, the index of the trace entry that first expanded it (NaN: never).

    A cell expanded again (reopened, or in a later iteration of an iterative
    deepening search) keeps the colour of the first time.
    """
    order = np.full(grid.walls.shape, np.nan)
    flat, first = np.unique(cells[:, 0] * grid.walls.shape[1] + cells[:, 1], return_index=True)
    order.flat[flat] = first
    return order


def _inches_per_cell(width: int) -> float:
    # A grid's picture is 0.3 inches a column, but 4 to 10 inches wide.
    return min(10.0, max(4.0, 0.3 * width)) / width


def _new_axes(shape: tuple[int, ...] | None = None) -> Axes:
    # A grid gets a figure of its own proportions, at most 10 inches wide.
    if shape is None:
        _, ax = plt.subplots(layout="constrained")
        return ax
    height, width = shape
    inches = _inches_per_cell(width)
    _, ax = plt.subplots(figsize=(width * inches + 0.4, height * inches + 0.7), layout="constrained")
    return ax


def _figure(ax: Axes) -> Figure:
    # The figure an axes belongs to, through any subfigures.
    fig: Any = ax.figure
    while not isinstance(fig, Figure):
        fig = fig.figure
    return fig


def _path_width(ax: Axes, grid: _Grid) -> float:
    # A third of a cell, in points, so the line reads as a line at any size.
    height, width = grid.walls.shape
    cell_px = min(ax.bbox.width / width, ax.bbox.height / height)
    return max(1.0, min(6.0, 0.33 * float(cell_px) * 72.0 / _figure(ax).dpi))


def _marker_size(ax: Axes, grid: _Grid) -> float:
    height, width = grid.walls.shape
    cell_px = min(ax.bbox.width / width, ax.bbox.height / height)
    return max(3.0, min(16.0, 0.9 * float(cell_px) * 72.0 / _figure(ax).dpi))


@dataclass
class _Layers:
    expanded: Any  # AxesImage, re-filled per animation frame
    path: Any  # Line2D
    current: Any  # Line2D marking the node being expanded


def _draw(
    ax: Axes,
    grid: _Grid,
    path: Sequence[Node] | None,
    order: npt.NDArray[np.float64] | None,
    count: int,
    cmap: str | Colormap,
    alpha: float,
    path_width: float | None,
) -> _Layers:
    """Draw the grid's layers bottom to top: terrain, walls, the expanded cells
    (`order`: first-expansion index per cell, NaN for none, out of `count`),
    the path, the marker of the node being expanded (empty until animated),
    start and goal."""
    costs = np.where(grid.walls, np.nan, grid.costs)
    lo, hi = (float(np.nanmin(costs)), float(np.nanmax(costs))) if not grid.walls.all() else (1.0, 1.0)
    ax.imshow(
        np.ma.masked_invalid(costs),
        cmap=_TERRAIN_CMAP,
        vmin=lo,
        vmax=hi if hi > lo else lo + 1,
        gid="terrain",
        interpolation="nearest",
    )
    ax.imshow(
        np.ma.masked_where(~grid.walls, grid.walls),
        cmap=_WALL_CMAP,
        vmin=0,
        vmax=1,
        gid="walls",
        interpolation="nearest",
    )
    expanded = ax.imshow(
        np.ma.masked_invalid(np.full(grid.walls.shape, np.nan) if order is None else order),
        cmap=cmap,
        vmin=0,
        vmax=max(count - 1, 1),
        alpha=alpha,
        gid="expanded",
        interpolation="nearest",
    )
    cells = _cells(grid, path or [], "path")
    (line,) = ax.plot(
        cells[:, 1],
        cells[:, 0],
        color=PATH_COLOR,
        linewidth=path_width or _path_width(ax, grid),
        solid_capstyle="round",
        solid_joinstyle="round",
        zorder=4,
        gid="path",
    )
    size = _marker_size(ax, grid)
    (current,) = ax.plot([], [], "s", markersize=size, fillstyle="none", color="black", zorder=5, gid="current")
    for cell, marker, color, gid in ((grid.start, "o", START_COLOR, "start"), (grid.goal, "*", GOAL_COLOR, "goal")):
        if cell is not None:
            ax.plot(
                cell[1],
                cell[0],
                marker,
                markersize=size * (1.4 if marker == "*" else 1.0),
                color=color,
                markeredgecolor="black",
                zorder=6,
                gid=gid,
            )
    ax.set_xticks([])
    ax.set_yticks([])
    return _Layers(expanded, line, current)


def plot_grid(
    map_or_costs: MapOrCosts,
    result: SearchResult | None = None,
    ax: Axes | None = None,
    *,
    cmap: str | Colormap = "viridis",
    alpha: float = 0.6,
    path_width: float | None = None,
    title: str | None = None,
) -> Axes:
    """Draw a grid and, when given the result of searching it, what the search did.

    `map_or_costs` is the ASCII map given to `search_grid` or the cost matrix
    given to `search_grid_costs` (where start and goal are taken from the ends
    of the result's path). Walls are dark, terrain costs shade from white to
    brown, the cells of `result.trace` are overlaid (with `alpha`) in `cmap`
    colours from the first expansion to the last, and the path is a red line
    on top (`path_width` points wide; by default a third of a cell).
    Draws into `ax`, or a new figure's axes; returns the axes.
    """
    grid = _grid_of(map_or_costs, result)
    ax = ax or _new_axes(grid.walls.shape)
    order, count = None, 0
    if result is not None and result.trace:
        cells = _trace_cells(grid, result.trace)
        order, count = _first_expansion(grid, cells), len(cells)
    _draw(ax, grid, result.path if result is not None else None, order, count, cmap, alpha, path_width)
    if title is not None:
        ax.set_title(title)
    return ax


def _rgb8(color: str) -> npt.NDArray[np.uint8]:
    return np.round(np.array(to_rgb(color)) * 255).astype(np.uint8)


_WALL_SHADE = 255  # the shade of a wall; open cells take 0 (cheapest) to 254 (dearest)


def _shades(grid: _Grid) -> tuple[npt.NDArray[np.uint8], npt.NDArray[np.uint8]]:
    """Each cell's shade, and the 256 RGB colours the shades stand for: open
    cells from OPEN_COLOR (the cheapest terrain) to TERRAIN_COLOR (the
    dearest), walls WALL_COLOR, as `plot_grid` draws them."""
    open_costs = grid.costs[~grid.walls]
    lo, hi = (float(open_costs.min()), float(open_costs.max())) if open_costs.size else (1.0, 1.0)
    shades = np.full(grid.walls.shape, _WALL_SHADE, np.uint8)
    shades[~grid.walls] = np.round((open_costs - lo) / (hi - lo if hi > lo else 1.0) * 254)
    t = np.arange(256)[:, None] / 254
    colours = np.round((1 - t) * _rgb8(OPEN_COLOR) + t * _rgb8(TERRAIN_COLOR)).astype(np.uint8)
    colours[_WALL_SHADE] = _rgb8(WALL_COLOR)
    return shades, colours


def _cmap_colours(cmap: str | Colormap) -> npt.NDArray[np.uint8]:
    """The colour map sampled at 256 evenly spaced points, as RGB; the k-th of n
    expansions (k from 0) takes entry min(k * 256 // (n - 1), 255), as in `plot_grid`."""
    return np.round(plt.get_cmap(cmap)(np.linspace(0.0, 1.0, 256))[:, :3] * 255).astype(np.uint8)


def _palette(colours: npt.NDArray[np.uint8], limit: int) -> tuple[npt.NDArray[np.intp], npt.NDArray[np.uint8]]:
    """At most `limit` RGB colours standing for `colours` (shape (..., 3)), and
    each one's index among them: the colours themselves when few enough,
    else Pillow's median-cut reduction of them."""
    flat = colours.reshape(-1, 3)
    keys = flat[:, 0].astype(np.uint32) << 16 | flat[:, 1].astype(np.uint32) << 8 | flat[:, 2]
    unique, inverse = np.unique(keys, return_inverse=True)
    if len(unique) <= limit:
        palette = np.stack([unique >> 16, unique >> 8 & 255, unique & 255], axis=1).astype(np.uint8)
        return inverse.reshape(colours.shape[:-1]), palette
    reduced = Image.fromarray(flat.reshape(1, -1, 3)).quantize(limit)
    palette = np.array(reduced.getpalette() or [], np.uint8).reshape(-1, 3)[:limit]
    return np.asarray(reduced, np.intp).reshape(colours.shape[:-1]), palette


def _star(x: float, y: float, radius: float) -> list[tuple[float, float]]:
    # A five-pointed star's corners, the first point up.
    return [
        (x + r * math.sin(k * math.pi / 5), y - r * math.cos(k * math.pi / 5))
        for k, r in zip(range(10), [radius, 0.4 * radius] * 5)
    ]


def _write_gif(
    filename: str | pathlib.Path,
    grid: _Grid,
    trace: Sequence[tuple[Node, float | None, int]],
    cells: npt.NDArray[np.int64],
    path: Sequence[Node] | None,
    step: int,
    interval: float,
    final_pause: float,
    dpi: float,
    cmap: str | Colormap,
    alpha: float,
) -> None:
    """Draw `animate_search`'s frames as palette images, a caption over the map
    at `size` pixels a cell (the size the figure would give a cell at `dpi`),
    and save them as a GIF.

    Every cell has two colours, before and after its first expansion; with the
    marks' colours they make one palette for every frame, so a frame is an
    array lookup, scaled up by repeating pixels, with the marks drawn over it.
    """
    height, width = grid.walls.shape
    count = len(cells)
    size = max(1, round(_inches_per_cell(width) * dpi))
    shades, shade_colours = _shades(grid)
    order = _first_expansion(grid, cells)
    first = np.where(np.isnan(order), count, order).astype(np.int64)
    before = shade_colours[shades]
    cmap_colours = _cmap_colours(cmap)[np.minimum(first * 256 // max(count - 1, 1), 255)]
    after = np.round(alpha * cmap_colours + (1 - alpha) * before).astype(np.uint8)
    # The marks' colours come first and exactly; index 0 is the caption's ground.
    marks = [OPEN_COLOR, "black", PATH_COLOR, START_COLOR, GOAL_COLOR]
    background, black, red, green, orange = range(len(marks))
    index, cell_palette = _palette(np.stack([before, after]), 256 - len(marks))
    index = (index + len(marks)).astype(np.uint8)
    palette = np.concatenate([np.array([_rgb8(c) for c in marks]), cell_palette]).ravel().tolist()

    font = ImageFont.load_default(size=12)
    top = 18  # the caption's height
    path_cells = _cells(grid, path or [], "path")

    def centre(row: float, col: float) -> tuple[float, float]:
        return ((col + 0.5) * size - 0.5, top + (row + 0.5) * size - 0.5)

    # As in the figure: a path a third of a cell wide, up to 6 points; marks up to 16 points across.
    points = dpi / 72
    radius = max(2.0, min(0.45 * size, 8 * points))
    frames: list[Image.Image] = []
    pixels = np.full((top + height * size, width * size), background, np.uint8)
    for frame in range(math.ceil(count / step)):
        done = min((frame + 1) * step, count)
        shown = np.where(first < done, index[1], index[0])
        pixels[top:] = np.repeat(np.repeat(shown, size, axis=0), size, axis=1)
        image = Image.frombytes("P", (pixels.shape[1], pixels.shape[0]), pixels.tobytes())
        image.putpalette(palette)
        draw = ImageDraw.Draw(image)
        _, g, frontier = trace[done - 1]
        g_text = "-" if g is None else f"{g:g}"
        draw.text((4, 2), f"expansion {done}/{count}   g = {g_text}   frontier = {frontier}", fill=black, font=font)
        if done == count and len(path_cells) > 1:
            line = [centre(r, c) for r, c in path_cells]
            draw.line(line, fill=red, width=max(1, round(min(size / 3, 6 * points))), joint="curve")
        row, col = cells[done - 1]
        draw.rectangle([col * size, top + row * size, (col + 1) * size - 1, top + (row + 1) * size - 1], outline=black)
        if grid.start is not None:
            x, y = centre(*grid.start)
            draw.ellipse([x - radius, y - radius, x + radius, y + radius], fill=green, outline=black)
        if grid.goal is not None:
            draw.polygon(_star(*centre(*grid.goal), 1.4 * radius), fill=orange, outline=black)
        frames.append(image)
    durations = [interval] * len(frames)
    durations[-1] += final_pause
    frames[0].save(filename, save_all=True, append_images=frames[1:], duration=durations, loop=0)


def _require_trace(result: SearchResult, what: str) -> None:
    if not result.trace:
        raise ValueError(f"{what} replays the result's trace, which is empty: search with record=True (the default)")


def animate_search(
    map_or_costs: MapOrCosts,
    result: SearchResult,
    filename: str | pathlib.Path | None = None,
    *,
    interval: float = 100,
    step: int = 1,
    final_pause: float = 1500,
    dpi: float | None = None,
    cmap: str | Colormap = "viridis",
    alpha: float = 0.6,
    ax: Axes | None = None,
) -> animation.FuncAnimation:
    """Replay a grid search expansion by expansion.

    Frame k shows the first min((k + 1) * step, len(trace)) expansions of
    `result.trace` (coloured as in `plot_grid`), a black square on the node
    being expanded, and a title with its g and the frontier size; the last
    frame adds the path. So there are exactly ceil(len(trace) / step) frames,
    `interval` ms apart. Given a `filename` ending in .gif the same frames are
    drawn cell by cell with Pillow (quickly, whatever the trace's length) and
    saved there, the last one held `final_pause` ms longer; `dpi` sets their
    size as it would the figure's (by default matplotlib's figure.dpi). Any
    other suffix goes to matplotlib's default movie writer (ffmpeg).
    Raises ValueError when the trace is empty (a search with record=False).
    """
    _require_trace(result, "animate_search")
    if step < 1:
        raise ValueError(f"step must be at least 1, not {step}")
    grid = _grid_of(map_or_costs, result)
    trace = result.trace
    cells = _trace_cells(grid, trace)
    order = _first_expansion(grid, cells)
    count = len(cells)
    ax = ax or _new_axes(grid.walls.shape)
    layers = _draw(ax, grid, result.path, None, count, cmap, alpha, None)
    path_line = layers.path.get_data()
    title = ax.set_title(" ")

    def show(frame: int) -> None:
        done = min((frame + 1) * step, count)
        layers.expanded.set_data(np.ma.masked_where(~(order < done), order))
        row, col = cells[done - 1]
        layers.current.set_data([col], [row])
        _, g, frontier = trace[done - 1]
        g_text = "-" if g is None else f"{g:g}"
        title.set_text(f"expansion {done}/{count}   g = {g_text}   frontier = {frontier}")
        layers.path.set_data(*(path_line if done == count else ([], [])))

    frames = math.ceil(count / step)
    anim = animation.FuncAnimation(
        _figure(ax), show, frames=frames, interval=interval, repeat=False, cache_frame_data=False
    )
    if filename is not None:
        if str(filename).lower().endswith(".gif"):
            dpi = float(plt.rcParams["figure.dpi"]) if dpi is None else dpi
            _write_gif(filename, grid, trace, cells, result.path, step, interval, final_pause, dpi, cmap, alpha)
            # The frames are drawn, only not by the animation: matplotlib's own
            # save() sets this flag too, to keep the animation from warning,
            # once dropped, that it never drew anything.
            anim._draw_was_started = True  # type: ignore[attr-defined]
        else:
            anim.save(str(filename), dpi=dpi)
    return anim


def _little_endian(values: npt.ArrayLike, dtype: str) -> bytes:
    return np.ascontiguousarray(values, dtype=dtype).tobytes()


def _page(fields: Mapping[str, str]) -> str:
    """The replay page (replay.html, with replay.js as its script) with each
    {{name}} replaced by fields[name], in one pass so that nothing inserted is
    read again as a placeholder."""
    files = importlib.resources.files(__package__ or "quellostrin")
    page = files.joinpath("replay.html").read_text(encoding="utf-8")
    fields = {**fields, "script": files.joinpath("replay.js").read_text(encoding="utf-8")}
    return re.sub(r"\{\{(\w+)\}\}", lambda m: fields[m[1]], page)


def to_html(
    map_or_costs: MapOrCosts,
    result: SearchResult,
    filename: str | pathlib.Path,
    *,
    title: str = "quellostrin search",
    step: int | None = None,
    max_frames: int = 200,
    interval: float = 100,
    autoplay: bool = True,
    dpi: float = 72,
) -> pathlib.Path:
    """Write a self-contained web page replaying the search, and return its path.

    The page holds the map and the trace as compact data and draws them itself,
    in the colours of `plot_grid`, with a player: play/pause, step buttons, a
    frame slider and a speed choice (the arrow keys step, the space bar plays
    and pauses). Frame k shows the first min((k + 1) * step, len(trace))
    expansions, `interval` ms apart at normal speed; the player plays once
    through and stops on the last frame, the one with the path, and with
    `autoplay` it starts on load. `step` defaults to the smallest that keeps
    at most `max_frames` frames. Each frame repaints only the cells it
    changes, so a search of 10^5 expansions on a 512x512 map plays smoothly,
    and the page grows with the trace and the map, not with the frames.
    `dpi` sets the map's size: a cell is as many pixels as it would be in
    `plot_grid`'s figure at that resolution.
    """
    _require_trace(result, "to_html")
    if step is not None and step < 1:
        raise ValueError(f"step must be at least 1, not {step}")
    if max_frames < 1:
        raise ValueError(f"max_frames must be at least 1, not {max_frames}")
    if not interval > 0:
        raise ValueError(f"interval must be positive, not {interval}")
    trace = result.trace
    if step is None:
        step = max(1, math.ceil(len(trace) / max_frames))
    grid = _grid_of(map_or_costs, result)
    height, width = grid.walls.shape
    cells = _trace_cells(grid, trace)
    path = _cells(grid, result.path or [], "path")
    shades, shade_colours = _shades(grid)
    # One zlib-compressed buffer, widest elements first so that the page can
    # view each part as a typed array in place: per expansion its g (NaN for
    # none), cell and frontier size, then the path's cells, each cell's shade,
    # the shades' colours and the colour map's. A cell is row * width + col.
    # The trace's cells and frontier sizes go as differences from the entry
    # before (modulo 2^32): small numbers, which halve the compressed size.
    data = b"".join([
        _little_endian([math.nan if g is None else g for _, g, _ in trace], "<f8"),
        _little_endian(np.diff(cells[:, 0] * width + cells[:, 1], prepend=0) % 2**32, "<u4"),
        _little_endian(np.diff([frontier for _, _, frontier in trace], prepend=0) % 2**32, "<u4"),
        _little_endian(path[:, 0] * width + path[:, 1], "<u4"),
        shades.tobytes(),
        shade_colours.tobytes(),
        _cmap_colours("viridis").tobytes(),
    ])  # fmt: skip
    replay = {
        "width": width,
        "height": height,
        "count": len(cells),
        "pathLength": len(path),
        "start": None if grid.start is None else grid.start[0] * width + grid.start[1],
        "goal": None if grid.goal is None else grid.goal[0] * width + grid.goal[1],
        "step": step,
        "interval": interval,
        "autoplay": autoplay,
        "cell": _inches_per_cell(width) * dpi,  # CSS pixels
        "alpha": 0.6,
        "colors": {"path": PATH_COLOR, "start": START_COLOR, "goal": GOAL_COLOR, "current": "#000000"},
        "data": base64.b64encode(zlib.compress(data, 6)).decode("ascii"),
    }
    summary = (
        f"{'found' if result.found else 'no path'}, cost {result.cost:g}, "
        f"{result.nodes_expanded} nodes expanded, stop reason {result.stop_reason}; "
        f"{math.ceil(len(trace) / step)} frames of {step} expansion{'s' if step > 1 else ''} each"
    )
    page = _page({
        "title": html.escape(title),
        "summary": html.escape(summary),
        # Inside a <script> element "</" would end it; nothing here needs a "<".
        "replay": json.dumps(replay, separators=(",", ":")).replace("<", "\\u003c"),
    })  # fmt: skip
    path_out = pathlib.Path(filename)
    path_out.write_text(page, encoding="utf-8")
    return path_out


def _is_cell(node: Node) -> bool:
    return isinstance(node, tuple) and len(node) == 2 and all(isinstance(x, int) for x in node)


def _layered(nodes: list[Hashable], parent: dict[Hashable, Hashable]) -> dict[Hashable, tuple[float, float]]:
    """A layered tree layout: depth downwards, leaves side by side in depth-first
    order, each parent centred over its children. Nodes no root reaches (a
    cycle of first parents) start trees of their own."""
    children: dict[Hashable, list[Hashable]] = {n: [] for n in nodes}
    for child, par in parent.items():
        children[par].append(child)
    pos: dict[Hashable, tuple[float, float]] = {}
    under: dict[Hashable, Hashable] = {}  # the node each one was reached from
    next_x = 0.0
    for root in [n for n in nodes if n not in parent] + nodes:
        if root in pos:
            continue
        pos[root] = (math.nan, 0.0)
        # Iterative depth-first walk: a depth-first search of a maze makes trees
        # deeper than Python's recursion limit.
        stack = [(root, 0)]
        while stack:
            node, i = stack[-1]
            kids = children[node]
            if i < len(kids):
                stack[-1] = (node, i + 1)
                if kids[i] not in pos:
                    under[kids[i]] = node
                    pos[kids[i]] = (math.nan, pos[node][1] - 1)
                    stack.append((kids[i], 0))
                continue
            stack.pop()
            placed = [pos[k][0] for k in kids if under.get(k) == node]
            if placed:
                x = (placed[0] + placed[-1]) / 2
            else:
                x, next_x = next_x, next_x + 1
            pos[node] = (x, pos[node][1])
    return pos


def plot_search_tree(
    result: SearchResult,
    ax: Axes | None = None,
    *,
    layout: Literal["auto", "grid", "layered"] = "auto",
    labels: bool | None = None,
    edge_color: str = TREE_COLOR,
    title: str | None = None,
) -> Axes:
    """Draw `result.tree`, one segment per (parent, child) entry, with the path on top.

    With `layout="grid"` (the "auto" choice when every node is a (row, col)
    pair) nodes sit on their cells; otherwise they are layered by depth below
    the root(s), the first parent recorded for a node being its parent in the
    layout. `labels` writes each node's value next to it (by default when there
    are at most 30 nodes and the layout is layered). Returns the axes.
    """
    tree = result.tree
    path = result.path or []
    nodes: list[Hashable] = list(dict.fromkeys([n for edge in tree for n in edge] + list(path)))
    if layout == "auto":
        layout = "grid" if nodes and all(_is_cell(n) for n in nodes) else "layered"
    if layout == "grid":
        pos = {n: (float(_cell(n)[1]), float(_cell(n)[0])) for n in nodes}
    elif layout == "layered":
        parent: dict[Hashable, Hashable] = {}
        for p, c in tree:
            if c != p:
                parent.setdefault(c, p)
        pos = _layered(nodes, parent)
    else:
        raise ValueError(f"layout must be 'auto', 'grid' or 'layered', not {layout!r}")

    ax = ax or _new_axes()
    segments = [(pos[p], pos[c]) for p, c in tree]
    ax.add_collection(LineCollection(segments, colors=edge_color, linewidths=0.8, zorder=1, gid="tree"))
    xy = np.array([pos[n] for n in nodes]).reshape(-1, 2)
    ax.scatter(xy[:, 0], xy[:, 1], s=8, color=edge_color, zorder=2, gid="nodes")
    if path:
        px, py = zip(*(pos[n] for n in path))
        ax.plot(px, py, color=PATH_COLOR, linewidth=2.5, zorder=3, gid="path")
        ax.plot(px[0], py[0], "o", color=START_COLOR, markeredgecolor="black", zorder=4, gid="start")
        ax.plot(px[-1], py[-1], "*", markersize=12, color=GOAL_COLOR, markeredgecolor="black", zorder=4, gid="goal")
    if labels if labels is not None else (layout == "layered" and len(nodes) <= 30):
        for n in nodes:
            ax.annotate(str(n), pos[n], xytext=(4, 4), textcoords="offset points", fontsize=8)
    ax.autoscale_view()
    if layout == "grid":
        ax.set_aspect("equal")
        if not ax.yaxis_inverted():
            ax.invert_yaxis()
    else:
        ax.set_xticks([])
        ax.set_ylabel("depth")
        ax.yaxis.set_major_formatter(lambda y, _: f"{0.0 - y:g}")
    if title is not None:
        ax.set_title(title)
    return ax


def compare(
    results_by_name: Mapping[str, SearchResult],
    ax: Axes | Sequence[Axes] | None = None,
    *,
    metrics: Sequence[str] = ("nodes_expanded", "cost", "elapsed"),
) -> list[Axes]:
    """Bar charts of several searches of one problem, one chart per metric.

    `results_by_name` maps an algorithm's name to its SearchResult; each chart
    has one bar per entry, in order, labelled with its value. A metric is any
    numeric SearchResult field ("nodes_expanded", "nodes_generated",
    "nodes_reopened", "max_frontier_size", "cost", "elapsed"); an infinite
    cost (no path) is an empty bar labelled "no path". Draws into `ax` (one
    Axes per metric) or a new figure; returns the axes, one per metric.
    """
    if not results_by_name:
        raise ValueError("compare needs at least one result")
    unknown = [m for m in metrics if m not in _METRICS]
    if unknown or not metrics:
        raise ValueError(f"unknown metric(s) {unknown}; choose from {', '.join(_METRICS)}")
    if ax is None:
        _, grid = plt.subplots(1, len(metrics), figsize=(3.6 * len(metrics), 3.4), squeeze=False, layout="constrained")
        axes = list(grid[0])
    else:
        axes = [ax] if isinstance(ax, Axes) else list(ax)
        if len(axes) != len(metrics):
            raise ValueError(f"compare draws {len(metrics)} charts but was given {len(axes)} axes")
    names = list(results_by_name)
    colors = [plt.get_cmap("tab10")(i % 10) for i in range(len(names))]
    for axis, metric in zip(axes, metrics):
        values = [float(getattr(r, metric)) for r in results_by_name.values()]
        heights = [v if math.isfinite(v) else 0.0 for v in values]
        bars = axis.bar(names, heights, color=colors, gid=metric)
        axis.bar_label(bars, [f"{v:.3g}" if math.isfinite(v) else "no path" for v in values], fontsize=8)
        axis.set_title(metric.replace("_", " ") + (" (s)" if metric == "elapsed" else ""))
        axis.tick_params(axis="x", labelrotation=30 if len(names) > 3 else 0)
        axis.margins(y=0.15)
    return axes
