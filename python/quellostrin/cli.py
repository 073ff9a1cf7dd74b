"""The quellostrin command line: solve a maze and draw the path, race every
algorithm on one maze, and solve the sliding-tile puzzle, the Towers of Hanoi
and word ladders.

    python -m quellostrin maze --sample wall
    python -m quellostrin compare --random 60 30 0.25 7
    python -m quellostrin npuzzle 8 6 7 2 5 4 3 0 1
    python -m quellostrin hanoi 4 --pegs 4
    python -m quellostrin ladder cold warm --words words.txt

Exit status: 0 when a path was found (and always for `compare`), 1 when the
search ended without one, 2 for a usage error or input the library refuses
(unreadable file, bad map, unknown algorithm, unsolvable puzzle). Refusals are
one line on stderr, never a traceback: everything the library raises for bad
input is a ValueError, TypeError, OverflowError, MemoryError or OSError, and
those are caught in `main`.
"""

from __future__ import annotations

import argparse
import importlib
import os
import sys
import time
from collections.abc import Callable, Iterable, Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any, TextIO, cast

from tqdm import tqdm  # type: ignore[import-untyped, unused-ignore]

from . import movingai
from . import quellostrin_native as native
from .quellostrin_native import SearchResult

if TYPE_CHECKING:
    from .quellostrin_native import _Algorithm

PROG = "quellostrin"

# The module's own names, in its order; the module also accepts aliases
# ("a*", "idastar", ...) for --algorithm.
ALGORITHMS = native.ALGORITHMS

# `compare` runs every algorithm, and the iterative-deepening ones revisit an
# open maze exponentially often: this expansion budget keeps a run to seconds.
# An algorithm that hits it reports stop reason "node_limit".
COMPARE_MAX_NODES = 1_000_000
# Every other search stops after this many expansions unless told otherwise,
# so that a command asked for too much ends with a message instead of filling
# the machine's memory.
MAX_NODES = 10_000_000

VIZ_HINT = "pip install quellostrin[viz]"


class CliError(Exception):
    """Input the command line itself refuses; reported like a library refusal."""


# ----------------------------------------------------------------------------
# Mazes


@dataclass
class Maze:
    """A maze to search: an ASCII map, or a matrix of terrain costs with its
    endpoints (from a Moving AI map)."""

    ascii: str | None = None
    costs: list[list[float]] | None = None
    start: tuple[int, int] = (0, 0)
    goal: tuple[int, int] = (0, 0)
    # Built on the first search and searched by every later one (`compare`
    # runs all the algorithms on one maze).
    _grid: native.Grid | None = field(default=None, repr=False, compare=False)

    def grid(self) -> native.Grid:
        if self._grid is None:
            self._grid = native.Grid(self.ascii if self.ascii is not None else self.costs or [])
        return self._grid

    @property
    def cells(self) -> int:
        if self.costs is not None:
            return sum(len(row) for row in self.costs)
        assert self.ascii is not None
        lines = self.ascii.split("\n")
        return len(lines) * max(len(line) for line in lines)

    def search(self, algorithm: _Algorithm, **options: Any) -> SearchResult:
        if self.costs is not None:
            return self.grid().search(self.start, self.goal, algorithm=algorithm, **options)
        assert self.ascii is not None
        if "S" not in self.ascii or "G" not in self.ascii:
            # search_grid refuses such a map, in its own words.
            return native.search_grid(self.ascii, algorithm=algorithm, **options)
        return self.grid().search(algorithm=algorithm, **options)

    def rows(self) -> list[list[str]]:
        """The map as rows of characters: '#' walls, S and G the endpoints."""
        if self.ascii is not None:
            return [list(line) for line in self.ascii.split("\n")]
        assert self.costs is not None
        rows = [["." if cost > 0 else "#" for cost in row] for row in self.costs]
        rows[self.start[0]][self.start[1]] = "S"
        rows[self.goal[0]][self.goal[1]] = "G"
        return rows

    def picture(self) -> str | list[list[float]]:
        """What the plotting functions take."""
        return self.ascii if self.ascii is not None else (self.costs or [])


def read_text(path: str) -> str:
    try:
        with open(path, encoding="utf-8") as f:
            return f.read()
    except UnicodeDecodeError as e:
        raise CliError(f"{path}: not a UTF-8 text file ({e.reason} at byte {e.start})") from None


def load_maze(args: argparse.Namespace) -> Maze:
    if args.sample is not None:
        maze = Maze(ascii=native.sample_maze(args.sample))
    elif args.random is not None:
        width, height, density, seed = args.random
        try:
            maze = Maze(ascii=native.random_maze_ascii(int(width), int(height), float(density), int(seed)))
        except ValueError:
            raise CliError("--random takes integers W H SEED and a number DENSITY") from None
    elif args.file is not None:
        text = read_text(args.file)
        if text.startswith("type "):
            if args.start is None or args.goal is None:
                raise CliError(f"{args.file}: a Moving AI map needs --start R C and --goal R C")
            grid = movingai.read_map(args.file)
            # The cost matrix, 1 open and 0 a wall, for drawing the map
            # (a 2-D view of doubles lists as rows of floats).
            costs = cast("list[list[float]]", memoryview(grid).tolist())
            return Maze(costs=costs, start=(args.start[0], args.start[1]), goal=(args.goal[0], args.goal[1]),
                        _grid=grid)
        maze = Maze(ascii=text.replace("\r\n", "\n").rstrip("\n"))
    else:
        raise CliError("give a map: FILE, --sample open|wall or --random W H DENSITY SEED")
    if args.start is not None or args.goal is not None:
        raise CliError("--start and --goal are for Moving AI .map files; an ASCII map marks S and G itself")
    return maze


def overlay(maze: Maze, path: Sequence[tuple[int, int]] | None) -> str:
    """The map with '*' on every path cell between S and G."""
    rows = maze.rows()
    for r, c in (path or [])[1:-1]:
        # The parser reads a short row as open beyond its end, so a path may
        # leave the drawn characters.
        while r >= len(rows):
            rows.append([])
        rows[r].extend(" " * (c + 1 - len(rows[r])))
        rows[r][c] = "*"
    return "\n".join("".join(row) for row in rows)


def search_options(args: argparse.Namespace) -> dict[str, Any]:
    options: dict[str, Any] = {}
    if args.heuristic is not None:
        options["heuristic"] = args.heuristic
    for name in ("weight", "beam_width", "depth_limit", "max_nodes", "time_limit"):
        if getattr(args, name) is not None:
            options[name] = getattr(args, name)
    if options.get("max_nodes") == 0:
        del options["max_nodes"]  # 0: no cap
    return options


def grid_options(args: argparse.Namespace) -> dict[str, Any]:
    options = search_options(args)
    options["diagonal"] = args.diagonal
    # Manhattan overestimates a diagonal step, so 8-neighbour moves need octile
    # for A* to stay optimal.
    if args.diagonal and args.heuristic is None:
        options["heuristic"] = "octile"
    return options


# ----------------------------------------------------------------------------
# Output


def fmt_cost(cost: float) -> str:
    return f"{cost:.10g}"


def fmt_time(seconds: float) -> str:
    if seconds < 1e-3:
        return f"{seconds * 1e6:.0f} us"
    if seconds < 1:
        return f"{seconds * 1e3:.2f} ms"
    return f"{seconds:.2f} s"


def stats_line(result: SearchResult) -> str:
    return (
        f"found: {'yes' if result.found else 'no'}  cost: {fmt_cost(result.cost) if result.found else '-'}"
        f"  expanded: {result.nodes_expanded}  generated: {result.nodes_generated}"
        f"  peak frontier: {result.max_frontier_size}  time: {fmt_time(result.elapsed)}"
        f"  stop: {result.stop_reason}"
    )


def table(header: Sequence[str], rows: Iterable[Sequence[str]], out: TextIO) -> None:
    """Columns padded to their widest cell: names (the first and last column)
    left-aligned, numbers right-aligned."""
    body = [list(row) for row in rows]
    widths = [max(len(row[i]) for row in [list(header), *body]) for i in range(len(header))]
    last = len(header) - 1

    def line(cells: Sequence[str]) -> str:
        parts = [c.ljust(w) if i in (0, last) else c.rjust(w) for i, (c, w) in enumerate(zip(cells, widths))]
        return "  ".join(parts).rstrip()

    print(line(header), file=out)
    print("  ".join("-" * w for w in widths), file=out)
    for row in body:
        print(line(row), file=out)


def cap_note(result: SearchResult, options: dict[str, Any]) -> str | None:
    """What to say when a cap, not the search, ended the run."""
    if result.stop_reason == "node_limit":
        return (f"stopped at the cap of {options['max_nodes']:,} expanded nodes; raise it with --max-nodes N "
                "(0: no cap)")
    if result.stop_reason == "time_limit":
        return f"stopped at the time limit of {options['time_limit']:g} s; raise it with --time-limit SECONDS"
    return None


def finish(result: SearchResult, options: dict[str, Any]) -> int:
    print(stats_line(result))
    note = cap_note(result, options)
    if note:
        print(note, file=sys.stderr)
    return 0 if result.found else 1


# ----------------------------------------------------------------------------
# Commands


def cmd_maze(args: argparse.Namespace) -> int:
    maze = load_maze(args)
    drawing = args.plot is not None or args.animate is not None
    options = grid_options(args)
    result = maze.search(args.algorithm, record=drawing, **options)
    print(overlay(maze, result.path))
    code = finish(result, options)
    if drawing:
        draw(maze, result, args.plot, args.animate, args.frames)
    return code


def draw(maze: Maze, result: SearchResult, plot: str | None, animate: str | None, frames: int) -> None:
    # Matplotlib is an optional extra: import the plotting module only when a
    # picture is asked for, and turn a missing matplotlib into one line.
    try:
        viz: Any = importlib.import_module(".viz", __package__)
        if plot is not None:
            ax = viz.plot_grid(maze.picture(), result)
            ax.figure.savefig(plot)
            print(f"wrote {plot}")
        if animate is not None:
            # Group expansions so that a long search still makes a GIF of at
            # most `frames` frames.
            step = max(1, -(-len(result.trace) // frames))
            viz.animate_search(maze.picture(), result, filename=animate, step=step)
            print(f"wrote {animate}")
    except ImportError as e:
        missing = (e.name or "").split(".")[0]
        if missing in ("matplotlib", "PIL", "numpy"):
            raise CliError(f"--plot and --animate need matplotlib: {VIZ_HINT}") from None
        raise CliError(f"--plot and --animate are unavailable: {e}") from None


def cmd_compare(args: argparse.Namespace) -> int:
    maze = load_maze(args)
    base = grid_options(args)
    rows = []
    bar = tqdm(ALGORITHMS, desc="compare", unit="alg", file=sys.stderr, disable=not sys.stderr.isatty(), leave=False)
    for name in bar:
        bar.set_postfix_str(name)
        options = dict(base)
        if name in ("dls", "iddfs"):
            # No simple path is longer than the maze has cells.
            options.setdefault("depth_limit", maze.cells)
        try:
            r = maze.search(name, record=False, **options)
        except ValueError as e:
            # Jump Point Search needs open cells of one cost; a maze of terrain
            # costs gets a row that says so.
            if name != "jps":
                raise
            rows.append([name, "-", "-", "-", "-", "-", f"refused: {e}"])
            continue
        rows.append(
            [
                name,
                fmt_cost(r.cost) if r.found else "-",
                str(r.nodes_expanded),
                str(r.nodes_generated),
                str(r.max_frontier_size),
                fmt_time(r.elapsed),
                r.stop_reason,
            ]
        )
    bar.close()
    table(["algorithm", "cost", "expanded", "generated", "peak frontier", "time", "stop"], rows, sys.stdout)
    return 0


def cmd_npuzzle(args: argparse.Namespace) -> int:
    options = search_options(args)
    if args.pdb is None:
        result = native.search_npuzzle(args.tiles, algorithm=args.algorithm, goal=args.goal, **options)
    else:
        # The databases are built for the goal first (seconds for 6-6-3), then searched.
        goal = args.goal if args.goal is not None else [*range(1, len(args.tiles)), 0]
        puzzle = native.SlidingPuzzle(goal, patterns=None if args.pdb == "default" else args.pdb)
        options.setdefault("heuristic", "pdb")
        result = puzzle.search(args.tiles, algorithm=args.algorithm, **options)
    side = max(1, round(len(args.tiles) ** 0.5))
    width = len(str(len(args.tiles) - 1))
    for step, state in enumerate(result.path or []):
        rows = (state[i : i + side] for i in range(0, len(state), side))
        board = " | ".join(" ".join(str(t).rjust(width) for t in row) for row in rows)
        print(f"{step:4d}: {board}")
    return finish(result, options)


def cmd_hanoi(args: argparse.Namespace) -> int:
    options = search_options(args)
    result = native.search_hanoi(args.disks, algorithm=args.algorithm, pegs=args.pegs, **options)
    # A state gives each disk's peg, smallest disk first; consecutive states
    # differ in the one disk that moved.
    path = result.path or []
    for step, (before, after) in enumerate(zip(path, path[1:]), 1):
        disk = next(i for i, (a, b) in enumerate(zip(before, after)) if a != b)
        print(f"{step:4d}: disk {disk + 1} from peg {before[disk]} to peg {after[disk]}")
    return finish(result, options)


def cmd_ladder(args: argparse.Namespace) -> int:
    words = read_text(args.words).split()
    options = search_options(args)
    result = native.search_wordladder(args.start, args.goal, words, algorithm=args.algorithm, **options)
    if result.path:
        print(" -> ".join(result.path))
    return finish(result, options)


# ----------------------------------------------------------------------------
# Arguments


def cell(text: str) -> int:
    value = int(text)
    if value < 0:
        raise argparse.ArgumentTypeError(f"not a cell index: {text}")
    return value


def non_negative(text: str) -> int:
    value = int(text)
    if value < 0:
        raise argparse.ArgumentTypeError(f"must be at least 0: {text}")
    return value


def seconds(text: str) -> float:
    value = float(text)
    if not value >= 0 or value == float("inf"):
        raise argparse.ArgumentTypeError(f"not a number of seconds: {text}")
    return value


def positive(text: str) -> int:
    value = int(text)
    if value < 1:
        raise argparse.ArgumentTypeError(f"must be at least 1: {text}")
    return value


def add_search_options(p: argparse.ArgumentParser, default_algorithm: str | None, heuristics: str) -> None:
    """The options every search takes; --algorithm unless the command runs them all."""
    g = p.add_argument_group("search")
    if default_algorithm is not None:
        g.add_argument(
            "-a",
            "--algorithm",
            default=default_algorithm,
            help=f"one of {', '.join(ALGORITHMS)} (default: {default_algorithm})",
        )
    g.add_argument("--heuristic", help=f"built-in heuristic: {heuristics}")
    g.add_argument("--weight", type=float, help="heuristic weight of weighted_astar (default 2)")
    g.add_argument("--beam-width", type=int, help="nodes beam keeps per layer (default: all)")
    g.add_argument("--depth-limit", type=int, help="depth bound of dls (required there) and iddfs")
    cap = COMPARE_MAX_NODES if default_algorithm is None else MAX_NODES
    g.add_argument(
        "--max-nodes",
        type=non_negative,
        default=cap,
        help=f"stop each search after expanding this many nodes (default {cap:,}; 0: no cap)",
    )
    g.add_argument("--time-limit", type=seconds, metavar="SECONDS", help="stop each search after this many seconds")


def add_maze_source(p: argparse.ArgumentParser) -> None:
    g = p.add_argument_group("map", "give FILE, --sample or --random")
    g.add_argument(
        "file",
        nargs="?",
        metavar="FILE",
        help="an ASCII map ('#' wall, '.' open, 'S' start, 'G' goal, digits 1-9 terrain costs) "
        "or a Moving AI .map file (then --start and --goal are needed)",
    )
    g.add_argument("--sample", choices=("open", "wall"), help="a built-in sample maze")
    g.add_argument(
        "--random",
        nargs=4,
        metavar=("W", "H", "DENSITY", "SEED"),
        help="a random W x H maze with this share of walls, reproducible from SEED",
    )
    g.add_argument("--start", nargs=2, type=cell, metavar=("R", "C"), help="start row and column (Moving AI maps)")
    g.add_argument("--goal", nargs=2, type=cell, metavar=("R", "C"), help="goal row and column (Moving AI maps)")
    g.add_argument(
        "--diagonal", action="store_true", help="allow 8-neighbour moves (the heuristic defaults to octile then)"
    )


GRID_HEURISTICS = ", ".join(f"{h} (default)" if h == "manhattan" else h for h in native.HEURISTICS["search_grid"])


def build_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog=PROG,
        description="State-space search and shortest paths from the command line.",
        epilog="Exit status: 0 path found, 1 no path, 2 usage error or refused input. "
        f"Run '{PROG} COMMAND --help' for a command's options.",
    )
    sub = parser.add_subparsers(dest="command", metavar="COMMAND", required=True)

    p = sub.add_parser(
        "maze",
        help="solve a maze and print it with the path",
        description="Search a maze and print it with '*' on the path between S and G, then a line of "
        "search statistics: found, cost, nodes expanded and generated, peak frontier size, time and "
        "why the search stopped. --plot and --animate also draw it (needs matplotlib: " + VIZ_HINT + ").",
    )
    add_maze_source(p)
    add_search_options(p, "astar", GRID_HEURISTICS)
    p.add_argument("--plot", metavar="OUT.png", help="save a picture of the maze, the search and the path")
    p.add_argument("--animate", metavar="OUT.gif", help="save an animation of the search as a GIF")
    p.add_argument(
        "--frames", type=positive, default=200, help="most frames --animate makes; expansions are grouped to fit (default 200)"
    )
    p.set_defaults(run=cmd_maze)

    p = sub.add_parser(
        "compare",
        help="run every algorithm on one maze and tabulate the results",
        description="Run every algorithm on the same maze and print one row each: path cost "
        "('-' when none was found), nodes expanded and generated, peak frontier size, time and stop "
        f"reason. Each search is capped at --max-nodes expansions (default {COMPARE_MAX_NODES:,}), so "
        "iddfs and ida_star end on big open maps with stop reason node_limit; dls and iddfs search to "
        "the maze's cell count unless --depth-limit is given.",
    )
    add_maze_source(p)
    add_search_options(p, None, GRID_HEURISTICS)
    p.set_defaults(run=cmd_compare)

    p = sub.add_parser(
        "npuzzle",
        help="solve a sliding-tile puzzle",
        description="Solve a sliding-tile puzzle (9, 16, 25, ... tiles, 0 the blank, row by row) and print "
        "every board on the way, then the statistics. Example: npuzzle 8 6 7 2 5 4 3 0 1",
    )
    p.add_argument("tiles", nargs="+", type=int, metavar="TILE", help="the tiles row by row, 0 for the blank")
    p.add_argument("--goal", nargs="+", type=int, metavar="TILE", help="the goal board (default 1, 2, ..., 0)")
    p.add_argument(
        "--pdb",
        nargs="?",
        const="default",
        choices=("default", "6-6-3", "7-8", "whole"),
        help="search over additive pattern databases built first for the goal: the whole board up to 3x3, "
        "6-6-3 on 4x4 by default (seconds to build), 7-8 (minutes, 580 MB); sets --heuristic pdb",
    )
    add_search_options(p, "ida_star", "manhattan (default), misplaced, zero; pdb with --pdb")
    p.set_defaults(run=cmd_npuzzle)

    p = sub.add_parser(
        "hanoi",
        help="solve the Towers of Hanoi",
        description="Move DISKS disks from the first peg to the last and print every move "
        "(disk 1 the smallest, pegs numbered from 0), then the statistics.",
    )
    p.add_argument("disks", type=int, metavar="DISKS", help="number of disks (1 or more)")
    p.add_argument("--pegs", type=int, default=3, help="number of pegs, 3 to 16 (default 3)")
    add_search_options(p, "astar", "misplaced (default), zero")
    p.set_defaults(run=cmd_hanoi)

    p = sub.add_parser(
        "ladder",
        help="find a word ladder",
        description="Change START into GOAL one letter at a time, every step a word from the list, "
        "and print the ladder, then the statistics.",
    )
    p.add_argument("start", metavar="START")
    p.add_argument("goal", metavar="GOAL")
    p.add_argument("--words", required=True, metavar="FILE", help="the word list, words separated by whitespace")
    add_search_options(p, "astar", "hamming (default), zero")
    p.set_defaults(run=cmd_ladder)
    return parser


def error(message: str) -> int:
    print(f"{PROG}: error: {message}", file=sys.stderr)
    return 2


def main(argv: Sequence[str] | None = None) -> int:
    """Run the command line on `argv` (default: the process's arguments) and
    return the exit status."""
    args = build_parser().parse_args(argv)
    run: Callable[[argparse.Namespace], int] = args.run
    started = time.perf_counter()
    try:
        return run(args)
    except CliError as e:
        return error(str(e))
    except OSError as e:
        if isinstance(e, BrokenPipeError):
            # The reader went away (`| head`): nothing left to say to it.
            # Point stdout at /dev/null so the flush at exit does not fail again.
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
            return 1
        if e.filename is not None and e.strerror:
            return error(f"{e.filename}: {e.strerror}")
        return error(str(e))
    except (ValueError, TypeError, OverflowError) as e:
        return error(str(e))
    except MemoryError as e:
        return error(f"out of memory: {e}" if str(e) else "out of memory")
    except KeyboardInterrupt:
        print(f"{PROG}: interrupted after {time.perf_counter() - started:.1f} s", file=sys.stderr)
        return 130
