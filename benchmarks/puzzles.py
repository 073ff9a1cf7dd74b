#!/usr/bin/env python3
"""Puzzle benchmark: quellostrin's sliding-tile and word-ladder searches,
on their own and against straightforward Python peers.

One command runs everything:

    python3 benchmarks/puzzles.py            # full size (about a minute or two)
    python3 benchmarks/puzzles.py --quick    # smoke-test size

Three parts, every answer checked before anything is timed:

* 15-puzzle, IDA* with Manhattan distance (``search_npuzzle(tiles,
  algorithm="ida_star", heuristic="manhattan", record=False,
  goal=list(range(16)))``) on the easiest of Korf's 100 instances (by optimal
  length; Korf's goal has the blank first). Our cost must equal the published
  optimal length and our path must be a legal sequence of moves. Reported:
  seconds per instance and expansions per second of the search itself
  (``nodes_expanded / elapsed``), against a target of 30 million per second
  (this pair runs the sliding-tile IDA* of the core, not the general one).
* 8-puzzle, A* with Manhattan distance on random solvable starts (fixed seed),
  against a plain Python A* written here (heapq frontier, dict of g-costs,
  tuple states, the Manhattan sum recomputed per state: the way networkx or
  simpleai would do it). Path lengths must agree.
* Word ladders on Knuth's 5,757 five-letter words, ``bfs`` and ``astar``
  (Hamming distance), against networkx ``shortest_path_length`` on a
  one-letter-change graph built once (via wildcard buckets; 14,135 edges).
  Lengths must agree, and a pair networkx cannot connect must end
  ``"exhausted"`` for us. Our call builds its dictionary on every call: that is
  inside our per-query time, and the cost of an almost-empty query (start ==
  goal) is reported separately as the per-call dictionary-build overhead.

Data: data/korf100 and data/words of the repository.
"""

from __future__ import annotations

import argparse
import gc
import heapq
import random
import statistics
import sys
import time
from collections.abc import Callable, Sequence
from pathlib import Path
from typing import Any

from common import DATA, fmt_time, fmt_vs, import_or_exit
from report import REPORT, ratio, seconds

TARGET_EXPANSIONS = 30e6  # 15-puzzle IDA*: expansions per second of the search itself
EIGHT_SEED = 20240611
LADDER_SEED = 5757
LADDER_EDGES = 14135  # one-letter-change edges among the 5,757 words (Knuth, SGB)
FIXED_LADDERS = [("chaos", "order"), ("nodes", "graph"), ("pound", "marks"), ("words", "graph"), ("tears", "smile")]


# --------------------------------------------------------------------------
# Data


def read_korf(path: Path) -> list[tuple[int, list[int], int]]:
    """(id, tiles, optimal length) for every instance."""
    out = []
    for line in path.read_text().splitlines():
        if not line or line.startswith("#") or line.startswith("id\t"):
            continue
        f = line.split("\t")
        out.append((int(f[0]), [int(x) for x in f[1].split(",")], int(f[2])))
    return out


def read_korf_nodes(path: Path) -> dict[int, int]:
    """Korf's published IDA* node counts (generated, his counting), for reference."""
    out = {}
    for line in path.read_text().splitlines():
        if not line or line.startswith("#") or line.startswith("id\t"):
            continue
        f = line.split("\t")
        out[int(f[0])] = int(f[3])
    return out


# --------------------------------------------------------------------------
# Helpers


def progress(msg: str) -> None:
    sys.stderr.write(msg)
    sys.stderr.flush()


def legal_tile_path(path: Sequence[Sequence[int]] | None, start: list[int], goal: list[int]) -> str | None:
    """None if `path` runs from start to goal by single blank moves, else why not."""
    if not path:
        return "no path"
    if list(path[0]) != start or list(path[-1]) != goal:
        return "wrong ends"
    side = int(round(len(start) ** 0.5))
    for a, b in zip(path, path[1:]):
        a, b = list(a), list(b)
        za, zb = a.index(0), b.index(0)
        (ra, ca), (rb, cb) = divmod(za, side), divmod(zb, side)
        if abs(ra - rb) + abs(ca - cb) != 1:
            return f"blank jumps from {za} to {zb}"
        a[za], a[zb] = a[zb], a[za]
        if a != b:
            return "a move changes more than one tile"
    return None


def timed_rounds(cases: dict[str, Callable[[int], Any]], n: int, rounds: int) -> dict[str, list[list[float]]]:
    """Wall time of every case on every query, `rounds` times, interleaved
    (case order rotated per round and query)."""
    names = list(cases)
    times = {k: [[] for _ in range(n)] for k in names}
    for rnd in range(rounds):
        for i in range(n):
            rot = (rnd + i) % len(names)
            for k in names[rot:] + names[:rot]:
                f = cases[k]
                t0 = time.perf_counter()
                f(i)
                times[k][i].append(time.perf_counter() - t0)
        progress(f"\r  round {rnd + 1}/{rounds}")
    progress("\n")
    return times


# --------------------------------------------------------------------------
# 1. 15-puzzle, IDA*


def bench_fifteen(qs: Any, instances: list[tuple[int, list[int], int]], korf_nodes: dict[int, int], reps: int) -> bool:
    goal = list(range(16))

    def run(tiles: list[int]) -> Any:
        return qs.search_npuzzle(tiles, algorithm="ida_star", heuristic="manhattan", record=False, goal=goal)

    print(f"== 15-puzzle: IDA* (manhattan), record=False, the {len(instances)} easiest of Korf's 100 "
          f"(goal 0,1,...,15, blank first); {reps} run{'s' if reps > 1 else ''} each")
    rows = []
    for kid, tiles, opt in instances:
        progress(f"  instance #{kid} ...")
        results, walls = [], []
        for _ in range(reps):
            t0 = time.perf_counter()
            r = run(tiles)
            walls.append(time.perf_counter() - t0)
            results.append(r)
        progress("\n")
        r0 = results[0]
        why = legal_tile_path(r0.path, tiles, goal)
        if r0.cost != opt or why is not None or any(r.nodes_expanded != r0.nodes_expanded for r in results):
            print(f"DISAGREEMENT - instance #{kid}: ours cost {r0.cost!r}, optimal {opt}; path: {why or 'legal'}; "
                  f"expansions over the runs {[r.nodes_expanded for r in results]}", file=sys.stderr)
            sys.exit(1)
        rows.append((kid, opt, r0.nodes_expanded, statistics.median(r.elapsed for r in results), statistics.median(walls)))
    print(f"  {'#':>4}{'length':>8}{'expanded':>12}{'Korf gen.':>12}{'search':>13}{'call':>13}{'M exp/s':>9}")
    for kid, opt, exp, el, wall in rows:
        kn = korf_nodes.get(kid)
        print(f"  {kid:>4}{opt:>8}{exp:>12,}{(f'{kn:,}' if kn else '-'):>12}{fmt_time(el):>13}{fmt_time(wall):>13}"
              f"{exp / el / 1e6:>9.2f}")
    tot_exp = sum(r[2] for r in rows)
    tot_el = sum(r[3] for r in rows)
    rate = tot_exp / tot_el
    per_inst = statistics.median(r[4] for r in rows)
    print(f"  all costs = Korf's optimal lengths, paths legal. Median per instance {fmt_time(per_inst).strip()} "
          f"(call), {sum(r[4] for r in rows):.2f} s in all; {rate / 1e6:.2f} M expansions/s over the set "
          f"(summed expansions / summed median search time; per instance "
          f"{min(r[2] / r[3] for r in rows) / 1e6:.2f}..{max(r[2] / r[3] for r in rows) / 1e6:.2f})")
    print("  (Korf gen.: nodes generated in Korf's 1985 IDA* runs, his own counting: for scale only)")
    ok = rate >= TARGET_EXPANSIONS
    print(f"  target: >= {TARGET_EXPANSIONS / 1e6:g} M expansions/s through the public API: "
          f"{rate / 1e6:.2f} M/s   {'MET' if ok else 'MISSED'}")
    print()
    sec = REPORT.section(
        "15-puzzle: IDA* with the Manhattan distance",
        f"The {len(rows)} easiest of Korf's 100 instances (by optimal length), "
        "`search_npuzzle(tiles, goal=list(range(16)), algorithm=\"ida_star\", heuristic=\"manhattan\", "
        "record=False)`; every cost equals Korf's optimal length and every path is legal. No peer library "
        "solves the sliding-tile puzzle, so the figure is our rate against the goal. Korf's counts are the "
        "nodes his 1985 IDA* generated, for scale.")
    sec.table("", ["instance", "optimal length", "expanded", "Korf generated", "search", "call", "M expansions/s"],
              [[f"#{kid}", opt, f"{exp:,}", f"{korf_nodes[kid]:,}" if kid in korf_nodes else "",
                seconds(el), seconds(wall), f"{exp / el / 1e6:.1f}"] for kid, opt, exp, el, wall in rows])
    sec.target("million expansions per second through the public API", rate / 1e6, TARGET_EXPANSIONS / 1e6, " M/s")
    if len(rows) == 100:
        total = sum(r[4] for r in rows)
        sec.target("all 100 instances solved optimally, minutes (at most 30)", 30 / max(total / 60, 1e-9), 1,
                   "x under")
        sec.note(f"All 100 instances: {total / 60:.1f} minutes in all on one core, "
                 f"{tot_exp:,} expansions, {rate / 1e6:.1f} M expansions/s.")
    plot = sec.plot("npuzzle_vs_depth", "15-puzzle IDA* (Manhattan)", "optimal solution length (moves)",
                    "time per instance (s)", logx=False, scatter=True)
    for _kid, opt, _exp, _el, wall in rows:
        plot.add("quellostrin ida_star", opt, wall)
    return ok


# --------------------------------------------------------------------------
# 2. 8-puzzle, A*, against plain Python


def solvable_starts(n: int, seed: int) -> list[list[int]]:
    """n distinct random 3x3 starts that can reach 1..8,0 (even inversion count), never the goal."""
    rng = random.Random(seed)
    goal = [1, 2, 3, 4, 5, 6, 7, 8, 0]
    seen: set[tuple[int, ...]] = set()
    out = []
    while len(out) < n:
        t = goal[:]
        rng.shuffle(t)
        tiles = [x for x in t if x]
        inv = sum(1 for i in range(8) for j in range(i + 1, 8) if tiles[i] > tiles[j])
        if inv % 2 == 0 and t != goal and tuple(t) not in seen:
            seen.add(tuple(t))
            out.append(t)
    return out


def make_python_astar(side: int) -> Callable[[Sequence[int], Sequence[int]], list[tuple[int, ...]] | None]:
    """A plain A* over tuple states: heapq of (f, tie, g, state), dict of best
    g-costs, dict of parents, Manhattan distance summed anew for each state."""
    n = side * side
    moves = []
    for z in range(n):
        r, c = divmod(z, side)
        moves.append([(r + dr) * side + (c + dc) for dr, dc in ((-1, 0), (1, 0), (0, -1), (0, 1))
                      if 0 <= r + dr < side and 0 <= c + dc < side])

    def astar(start: Sequence[int], goal: Sequence[int]) -> list[tuple[int, ...]] | None:
        where = {t: divmod(i, side) for i, t in enumerate(goal)}

        def h(s: tuple[int, ...]) -> int:
            d = 0
            for i, t in enumerate(s):
                if t:
                    r, c = divmod(i, side)
                    gr, gc_ = where[t]
                    d += abs(r - gr) + abs(c - gc_)
            return d

        s0, target = tuple(start), tuple(goal)
        g = {s0: 0}
        parent: dict[tuple[int, ...], tuple[int, ...] | None] = {s0: None}
        closed: set[tuple[int, ...]] = set()
        tie = 0
        frontier = [(h(s0), tie, 0, s0)]
        while frontier:
            _, _, gs, s = heapq.heappop(frontier)
            if s in closed:
                continue
            if s == target:
                path = [s]
                while parent[path[-1]] is not None:
                    path.append(parent[path[-1]])  # type: ignore[arg-type]
                return path[::-1]
            closed.add(s)
            z = s.index(0)
            for m in moves[z]:
                lst = list(s)
                lst[z], lst[m] = lst[m], 0
                t = tuple(lst)
                ng = gs + 1
                if t not in closed and ng < g.get(t, 1 << 60):
                    g[t] = ng
                    parent[t] = s
                    tie += 1
                    heapq.heappush(frontier, (ng + h(t), tie, ng, t))
        return None

    return astar


def bench_eight(qs: Any, n: int, rounds: int, check: bool = False) -> float:
    starts = solvable_starts(n, EIGHT_SEED)
    goal = [1, 2, 3, 4, 5, 6, 7, 8, 0]
    py_astar = make_python_astar(3)

    def ours(i: int) -> Any:
        return qs.search_npuzzle(starts[i], algorithm="astar", heuristic="manhattan", record=False)

    def peer(i: int) -> Any:
        return py_astar(starts[i], goal)

    print(f"== 8-puzzle: A* (manhattan) on {n} random solvable starts (seed {EIGHT_SEED}), {rounds} round{'s' if rounds > 1 else ''}")
    progress(f"  checking answers on {n} starts ...\n")
    ours_res = []
    for i in range(n):
        r, p = ours(i), peer(i)
        why = legal_tile_path(r.path, starts[i], goal) or legal_tile_path(p, starts[i], goal)
        if why is not None or r.cost != len(p) - 1:
            print(f"DISAGREEMENT - nothing timed: start {starts[i]}: ours {r.cost!r}, "
                  f"Python A* {None if p is None else len(p) - 1}; {why or ''}", file=sys.stderr)
            sys.exit(1)
        ours_res.append(r)
    lengths = [int(r.cost) for r in ours_res]
    print(f"  answers: equal optimal lengths on all {n} (lengths {min(lengths)}..{max(lengths)}, "
          f"median {statistics.median(lengths):g}); both paths legal")
    if check:
        return 0.0
    gc.collect()
    gc.freeze()
    times = timed_rounds({"ours": ours, "python": peer}, n, rounds)
    gc.unfreeze()
    med = {k: [statistics.median(ts) for ts in v] for k, v in times.items()}
    ratio_ = statistics.median(p / o for p, o in zip(med["python"], med["ours"]))
    total = sum(med["python"]) / sum(med["ours"])
    exp = sum(r.nodes_expanded for r in ours_res)
    el = sum(r.elapsed for r in ours_res)
    print(f"  {'library':<34}{'median/query':>13}{'python/ours':>13}{'totals':>9}")
    print(f"  {'ours search_npuzzle astar':<34}{fmt_time(statistics.median(med['ours'])):>13}{'1':>12}x{'1':>8}x   reference")
    print(f"  {'plain Python A* (heapq, dicts)':<34}{fmt_time(statistics.median(med['python'])):>13}"
          f"{ratio_:>12.3g}x{total:>8.3g}x   {fmt_vs(ratio_)}")
    print(f"  ours: {statistics.median(r.nodes_expanded for r in ours_res):.0f} expansions per query (median), "
          f"{exp / el / 1e6:.2f} M expansions/s in the search; outside the search "
          f"{100 * (1 - el / sum(med['ours'])):.0f}% of our summed call time")
    print()
    sec = REPORT.section(
        "8-puzzle: A* with the Manhattan distance",
        f"{n} seeded random solvable starts; the peer is a plain Python A* (heapq and dicts), "
        "the baseline a user would write. Equal optimal lengths checked first.")
    sec.table("", ["library", "median per query", "Python / ours (median per query)", "Python / ours (totals)"],
              [["quellostrin search_npuzzle", seconds(statistics.median(med["ours"])), "1x", "1x"],
               ["plain Python A*", seconds(statistics.median(med["python"])), ratio(ratio_), ratio(total)]])
    return ratio_


# --------------------------------------------------------------------------
# 3. Word ladders


def word_graph(nx: Any, words: list[str]) -> Any:
    """One-letter-change graph over `words`, built from wildcard buckets
    ('c*aos' holds every word that matches it)."""
    buckets: dict[str, list[str]] = {}
    for w in words:
        for i in range(len(w)):
            buckets.setdefault(w[:i] + "*" + w[i + 1:], []).append(w)
    g = nx.Graph()
    g.add_nodes_from(words)
    for group in buckets.values():
        for a in range(len(group)):
            for b in range(a + 1, len(group)):
                g.add_edge(group[a], group[b])
    return g


def bench_ladders(qs: Any, nx: Any, words: list[str], n_random: int, rounds: int, check: bool = False) -> None:
    rng = random.Random(LADDER_SEED)
    pairs = list(FIXED_LADDERS) + [tuple(rng.sample(words, 2)) for _ in range(n_random)]
    t0 = time.perf_counter()
    g = word_graph(nx, words)
    build_s = time.perf_counter() - t0
    if g.number_of_edges() != LADDER_EDGES or g.number_of_nodes() != len(words):
        print(f"word graph: {g.number_of_nodes()} words, {g.number_of_edges()} edges; expected "
              f"{len(words)} and {LADDER_EDGES}", file=sys.stderr)
        sys.exit(1)
    wordset = set(words)

    def ours_bfs(i: int) -> Any:
        return qs.search_wordladder(pairs[i][0], pairs[i][1], words, algorithm="bfs", record=False)

    def ours_astar(i: int) -> Any:
        return qs.search_wordladder(pairs[i][0], pairs[i][1], words, algorithm="astar", heuristic="hamming",
                                    record=False)

    def ours_empty(i: int) -> Any:
        return qs.search_wordladder(pairs[i][0], pairs[i][0], words, algorithm="astar", heuristic="hamming",
                                    record=False)

    def networkx(i: int) -> int | None:
        try:
            return nx.shortest_path_length(g, pairs[i][0], pairs[i][1])
        except nx.NetworkXNoPath:
            return None

    n = len(pairs)
    print(f"== Word ladders: {len(words)} five-letter words, {n} pairs ({len(FIXED_LADDERS)} known ones, "
          f"{n_random} random, seed {LADDER_SEED}), {rounds} round{'s' if rounds > 1 else ''}")
    print(f"  networkx graph built once (wildcard buckets) in {build_s * 1e3:.0f} ms, not timed: "
          f"{g.number_of_edges()} edges")
    progress(f"  checking answers on {n} pairs ...\n")
    problems = []
    results: dict[str, list[Any]] = {"bfs": [], "astar": []}
    unreachable = 0
    for i, (a, b) in enumerate(pairs):
        ref = networkx(i)
        unreachable += ref is None
        for name, f in (("bfs", ours_bfs), ("astar", ours_astar)):
            r = f(i)
            results[name].append(r)
            if ref is None:
                if r.found or r.stop_reason != "exhausted":
                    problems.append(f"{a}->{b} ({name}): networkx finds no ladder, ours {r.cost!r} ({r.stop_reason})")
                continue
            p = r.path or []
            ok_path = (len(p) == ref + 1 and p[0] == a and p[-1] == b and all(w in wordset for w in p)
                       and all(sum(x != y for x, y in zip(u, v)) == 1 for u, v in zip(p, p[1:])))
            if r.cost != ref or not ok_path:
                problems.append(f"{a}->{b} ({name}): ours {r.cost!r} (path {'legal' if ok_path else 'not legal'}), "
                                f"networkx {ref}")
        e = ours_empty(i)
        if e.cost != 0:
            problems.append(f"{a}->{a}: ours {e.cost!r}")
    if problems:
        print("DISAGREEMENT - nothing timed:", file=sys.stderr)
        for p in problems[:20]:
            print(f"  {p}", file=sys.stderr)
        sys.exit(1)
    lengths = [int(r.cost) for r in results["bfs"] if r.found]
    print(f"  answers: bfs, astar and networkx agree on all {n} ({n - unreachable} ladders of "
          f"{min(lengths)}..{max(lengths)} steps, {unreachable} unreachable and 'exhausted' for us); paths legal")
    if check:
        return

    cases = {"bfs": ours_bfs, "astar": ours_astar, "empty": ours_empty, "networkx": networkx}
    gc.collect()
    gc.freeze()
    times = timed_rounds(cases, n, rounds)
    gc.unfreeze()
    med = {k: [statistics.median(ts) for ts in v] for k, v in times.items()}
    overhead = statistics.median(med["empty"])
    search = {k: sum(r.elapsed for r in results[k]) / n for k in ("bfs", "astar")}

    print(f"  {'query':<36}{'median/query':>13}{'queries/s':>11}{'nx/ours':>9}{'totals':>9}")
    for k, label in (("bfs", "ours search_wordladder bfs"), ("astar", "ours search_wordladder astar (hamming)")):
        r = statistics.median(p / o for p, o in zip(med["networkx"], med[k]))
        tot = sum(med["networkx"]) / sum(med[k])
        print(f"  {label:<36}{fmt_time(statistics.median(med[k])):>13}{n / sum(med[k]):>11.0f}{r:>8.3g}x{tot:>8.3g}x"
              f"   networkx {fmt_vs(r).replace(' than ours', '')}")
    print(f"  {'networkx shortest_path_length':<36}{fmt_time(statistics.median(med['networkx'])):>13}"
          f"{n / sum(med['networkx']):>11.0f}")
    print(f"  {'ours, start == goal (dictionary only)':<36}{fmt_time(overhead):>13}{n / sum(med['empty']):>11.0f}")
    print(f"  our times include building the {len(words)}-word dictionary on every call: about "
          f"{fmt_time(overhead).strip()} per call (the start == goal query). Search itself: bfs "
          f"{fmt_time(search['bfs']).strip()}, astar {fmt_time(search['astar']).strip()} per query on average; "
          f"mean expansions bfs {statistics.mean(r.nodes_expanded for r in results['bfs']):.0f}, "
          f"astar {statistics.mean(r.nodes_expanded for r in results['astar']):.0f}")
    print("  (nx/ours: median over the pairs of networkx time / our time on the same pair; below 1 networkx is "
          "faster; totals: summed times)")
    print()
    sec = REPORT.section(
        "Word ladders",
        f"{n} pairs over Knuth's {len(words):,} five-letter words; networkx answers on a graph built once "
        "outside the timing, while every one of our calls builds its dictionary from the word list (the "
        "start == goal row is that cost alone). Equal ladder lengths checked first.")
    rows = []
    for k, label in (("bfs", "quellostrin bfs"), ("astar", "quellostrin astar (hamming)"),
                     ("empty", "quellostrin, start == goal")):
        rows.append([label, seconds(statistics.median(med[k])),
                     ratio(statistics.median(p / o for p, o in zip(med["networkx"], med[k])))])
    rows.append(["networkx shortest_path_length (prebuilt graph)", seconds(statistics.median(med["networkx"])), ""])
    sec.table("", ["query", "median per query", "networkx / ours"], rows)


# --------------------------------------------------------------------------


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="smoke-test size")
    ap.add_argument("--korf", type=int, default=None, help="easiest Korf instances to solve (default 5, quick 1)")
    ap.add_argument("--eight", type=int, default=None, help="8-puzzle starts (default 200, quick 20)")
    ap.add_argument("--ladders", type=int, default=None, help="random word pairs (default 200, quick 20)")
    ap.add_argument("--rounds", type=int, default=None, help="timing rounds (default 3, quick 1)")
    ap.add_argument("--check", action="store_true", help="check the answers against the peers, time nothing")
    args = ap.parse_args(argv)
    sys.stdout.reconfigure(line_buffering=True)  # type: ignore[attr-defined]
    n_korf = args.korf if args.korf is not None else (1 if args.quick else 5)
    n_eight = args.eight if args.eight is not None else (20 if args.quick else 200)
    n_ladders = args.ladders if args.ladders is not None else (20 if args.quick else 200)
    rounds = args.rounds if args.rounds is not None else (1 if args.quick else 3)
    if min(n_korf, n_eight, rounds) < 1 or n_ladders < 0:
        ap.error("sizes and rounds must be at least 1")

    mods = import_or_exit("benchmarks/puzzles.py", ["quellostrin", "networkx"])
    qs, nx = mods["quellostrin"], mods["networkx"]
    print("Puzzle benchmark: 15-puzzle IDA*, 8-puzzle A*, word ladders")
    print(f"quellostrin {getattr(qs, '__version__', '?')}, networkx {nx.__version__}, Python {sys.version.split()[0]}")
    print()

    insts = sorted(read_korf(DATA / "korf100" / "korf100.tsv"), key=lambda t: (t[2], t[0]))[:n_korf]
    # Beyond the few easy instances (the whole set takes minutes per hard
    # instance), each is solved once: its counters are deterministic.
    ok = bench_fifteen(qs, insts, read_korf_nodes(DATA / "korf100" / "korf100_ida_manhattan_nodes.tsv"),
                       reps=rounds if n_korf <= 5 else 1)

    ratio8 = bench_eight(qs, n_eight, rounds, args.check)

    words = [w.lower() for w in (DATA / "words" / "sgb-words.txt").read_text().split()]
    bench_ladders(qs, nx, words, n_ladders, rounds, args.check)

    print("summary:")
    print(f"  15-puzzle IDA* >= {TARGET_EXPANSIONS / 1e6:g} M expansions/s: {'MET' if ok else 'MISSED'}")
    print(f"  8-puzzle A*: plain Python / ours = {ratio8:.3g}x per query (median)")
    if args.quick:
        print("(--quick: a smoke test with few queries and one round)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
