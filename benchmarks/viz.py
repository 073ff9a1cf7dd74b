#!/usr/bin/env python3
"""What the pictures of a search cost: the replay page of viz.to_html and the
GIF of viz.animate_search.

    python3 benchmarks/viz.py            # a 100 x 60 maze, and a 512 x 512 one
    python3 benchmarks/viz.py --quick    # the 512 x 512 maze as 256 x 256

A* on random_maze_ascii(100, 60, 0.25, 3) (1,855 expansions): the page's
writing time and size, and the GIF's time with step=20 (93 frames); then
breadth-first search across a 512 x 512 maze (over 10^5 expansions; the
first seed from 1 whose maze has a path): the page's time and size. Before anything is timed, the GIF must hold one frame
per step and the page its data. Reported: medians, against the targets of a
page in under 1 s and 300 KB and a GIF in under 3 s.
"""

from __future__ import annotations

import argparse
import itertools
import statistics
import sys
import tempfile
import time
from pathlib import Path
from typing import Any

from common import fmt_time, import_or_exit
from report import REPORT, seconds

PAGE_SECONDS, PAGE_KB, GIF_SECONDS = 1.0, 300, 3.0  # targets, at most


def median_time(reps: int, fn: Any) -> float:
    times = []
    for _ in range(reps):
        t0 = time.perf_counter()
        fn()
        times.append(time.perf_counter() - t0)
    return statistics.median(times)


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="a 256 x 256 large maze, 3 repetitions (smoke test)")
    ap.add_argument("--reps", type=int, default=None, help="timed repetitions (default 7, quick 3)")
    ap.add_argument("--check", action="store_true", help="check the GIF's frames and the page, time nothing")
    args = ap.parse_args(argv)
    reps = args.reps if args.reps is not None else (3 if args.quick else 7)
    side = 256 if args.quick or args.check else 512
    mods = import_or_exit("benchmarks/viz.py", ["quellostrin", "matplotlib", "PIL.Image"])
    mods["matplotlib"].use("Agg")
    qs, image = mods["quellostrin"], mods["PIL.Image"]
    import matplotlib.pyplot as plt
    from quellostrin import viz

    maze = qs.random_maze_ascii(100, 60, 0.25, 3)
    result = qs.search_grid(maze)
    for seed in itertools.count(1):  # the first seed whose large maze connects its start and goal
        big = qs.random_maze_ascii(side, side, 0.25, seed)
        big_result = qs.search_grid(big, algorithm="bfs")
        if big_result.found:
            break
    print(f"Picture benchmark: A* on a 100 x 60 maze ({len(result.trace):,} expansions), "
          f"BFS on a {side} x {side} maze ({len(big_result.trace):,} expansions)")

    with tempfile.TemporaryDirectory() as folder:
        page, big_page, gif = Path(folder, "maze.html"), Path(folder, "big.html"), Path(folder, "maze.gif")

        def write_gif() -> None:
            viz.animate_search(maze, result, gif, step=20)
            plt.close("all")

        write_gif()
        viz.to_html(maze, result, page)
        viz.to_html(big, big_result, big_page)
        with image.open(gif) as im:
            frames = im.n_frames
        if frames != -(-len(result.trace) // 20) or "replay-data" not in page.read_text():
            print(f"DISAGREEMENT - a GIF of {frames} frames for {len(result.trace)} expansions in steps of 20, "
                  "or a page without its data", file=sys.stderr)
            return 1
        print(f"the GIF holds {frames} frames; the pages hold their data")
        if args.check:
            return 0
        page_time = median_time(reps, lambda: viz.to_html(maze, result, page))
        gif_time = median_time(reps, write_gif)
        big_time = median_time(reps, lambda: viz.to_html(big, big_result, big_page))
        page_kb, big_kb, gif_kb = (p.stat().st_size / 1000 for p in (page, big_page, gif))

    print(f"medians of {reps}:")
    print(f"  to_html, 100 x 60:          {fmt_time(page_time)}, {page_kb:8.1f} KB")
    print(f"  animate_search GIF, step=20: {fmt_time(gif_time)}, {gif_kb:8.1f} KB")
    print(f"  to_html, {side} x {side}:        {fmt_time(big_time)}, {big_kb:8.1f} KB")
    sec = REPORT.section(
        "Pictures",
        f"A* on random_maze_ascii(100, 60, 0.25, 3), {len(result.trace):,} expansions: the replay page of "
        f"viz.to_html and the GIF of viz.animate_search with step=20 ({frames} frames); and breadth-first "
        f"search across a {side} x {side} maze, {len(big_result.trace):,} expansions, replayed by to_html.")
    sec.table("", ["", "time", "size"], [
        ["to_html, 100 x 60", seconds(page_time), f"{page_kb:.0f} KB"],
        ["animate_search GIF, 100 x 60, step=20", seconds(gif_time), f"{gif_kb:.0f} KB"],
        [f"to_html, {side} x {side}", seconds(big_time), f"{big_kb:.0f} KB"]])  # fmt: skip
    sec.target("to_html of the 100 x 60 maze", page_time, PAGE_SECONDS, at_most=True, unit=" s")
    sec.target("its page's size", page_kb, PAGE_KB, at_most=True, unit=" KB")
    sec.target("the GIF of the 100 x 60 maze, step=20", gif_time, GIF_SECONDS, at_most=True, unit=" s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
