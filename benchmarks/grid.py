#!/usr/bin/env python3
"""Grid benchmark: quellostrin's grid search against peer libraries on the
Moving AI maps.

One command runs everything:

    python3 benchmarks/grid.py            # 24 scenarios per map
    python3 benchmarks/grid.py --quick    # 4 scenarios per map, fewer rounds

For every ``.map`` in the Moving AI folder it picks a fixed set of scenarios
from the map's ``.scen`` file (deterministically, spread evenly over the
difficulty buckets), and on maze512-32-9 also its 20 longest scenarios
(searches that cover much of the map), and times A* with 8-connected moves (orthogonal steps
cost 1, diagonal steps sqrt(2), no corner cutting) and the octile heuristic:

* ours: ``search_grid_costs(costs, start, goal, diagonal=True,
  heuristic="octile", record=False)`` on a float64 NumPy array, and
  ``search_grid(text, diagonal=True, heuristic="octile", record=False)`` on
  the ASCII map with S and G placed (the text is made outside the timing; its
  parsing inside our call is timed); and on a ``Grid`` built once per map,
  ``Grid.search`` with A* and with Jump Point Search (``algorithm="jps"``),
  and jps through ``search_grid_costs`` as well (the grid built in the call);
* pyastar2d: ``astar_path(weights, start, goal, allow_diagonal=True)`` on a
  float32 array with inf for walls (different movement rules, see below);
* pathfinding: ``AStarFinder`` with ``DiagonalMovement.only_when_no_obstacle``
  on one prebuilt ``Grid`` per map (the finder resets the grid's node state
  itself at the start of every search; that reset is inside the timing);
* networkx: ``astar_path`` (weight="weight", octile heuristic) on a prebuilt
  ``Graph`` with the same 8-connected, no-corner-cutting edges;
* rustworkx: ``astar_shortest_path`` on the equivalent prebuilt ``PyGraph``,
  with Python callables for the goal test, edge cost and estimate;
* tcod: ``tcod.path.AStar(cost, diagonal=sqrt(2)).get_path(...)``, libtcod's
  A* in C, one pathfinder per map on an int8 array (1 open, 0 wall). Its
  closest rules to ours: 8 neighbours, a diagonal step costs sqrt(2) (as a
  float), but it cuts corners (a diagonal step needs only its target open),
  so its answers are checked against the optimum under its rules, and a
  4-connected comparison (``diagonal=0``, the same rules as ours) is timed too.

Before anything is timed every answer is checked: ours must equal the
scenario's optimal length (relative 1e-6) and be a valid path of that cost;
every peer with our movement rules must return a valid path of the same cost
(relative 1e-9); jps must equal A*. pyastar2d moves diagonally at the cost of the cell entered
(1 here, not sqrt(2)) and cuts corners, so its answers are checked against
an optimum computed under its own rules instead, and a 4-connected
comparison, where its rules and ours coincide, is timed as well.

The maps and scenarios are those of the repository's data/movingai, read by
quellostrin.movingai. The peers come
with ``pip install ".[bench]"``; pyastar2d and tcod are left out, with a note,
when they cannot be imported.
"""

from __future__ import annotations

import argparse
import gc
import importlib
import importlib.metadata
import math
import statistics
import sys
import time
from collections.abc import Callable
from dataclasses import dataclass, field
from typing import Any

from common import DATA, fmt_time, fmt_vs, import_or_exit
from report import REPORT, ratio, seconds

SQRT2 = math.sqrt(2.0)
OPT_TOL = 1e-6  # ours against the scenario file's optimal length (printed with 8 decimals)
REL_TOL = 1e-9  # peers against ours
TARGET_NETWORKX = 100.0  # networkx time / our time must reach this
TARGET_PYASTAR2D = 1.5  # pyastar2d time / our time must reach this
TARGET_JPS_ASTAR = 5.0  # Grid.search astar / Grid.search jps, geometric mean over the maps
TARGET_JPS_PYASTAR2D = 10.0  # pyastar2d / Grid.search jps, on the maps below
JPS_PYASTAR2D_MAPS = ("maze512-32-9", "den312d")
LONGEST_OF, LONGEST_COUNT = "maze512-32-9", 20  # also timed on this map's longest scenarios
MOVINGAI = DATA / "movingai"


# --------------------------------------------------------------------------
# Dependencies and data


def require_modules() -> tuple[dict[str, Any], str | None, str | None]:
    """Import ours and the peers; pyastar2d and tcod are optional (returns
    why each is missing)."""
    wanted = [
        "quellostrin",
        "numpy",
        "scipy",
        "scipy.sparse",
        "scipy.sparse.csgraph",
        "networkx",
        "rustworkx",
        "pathfinding",
        "pathfinding.core.grid",
        "pathfinding.core.diagonal_movement",
        "pathfinding.finder.a_star",
    ]
    mods = import_or_exit("benchmarks/grid.py", wanted)
    why_not = None
    try:
        mods["pyastar2d"] = importlib.import_module("pyastar2d")
    except Exception as exc:  # an ImportError, or a broken binary wheel
        why_not = f"{type(exc).__name__}: {exc}"
    no_tcod = None
    try:
        mods["tcod.path"] = importlib.import_module("tcod.path")
    except Exception as exc:
        no_tcod = f"{type(exc).__name__}: {exc}"
    return mods, why_not, no_tcod


@dataclass
class GridMap:
    name: str
    grid: Any  # the map as quellostrin.movingai reads it
    scen_file: str
    scenarios: list[Any]  # quellostrin.movingai.Scenario
    height: int = 0
    width: int = 0
    open_cells: int = 0
    inputs: dict[str, Any] = field(default_factory=dict)


def load_maps() -> list[GridMap]:
    """Every map of data/movingai with the scenarios of its .scen file."""
    from quellostrin.movingai import read_map, read_scenarios

    scen_for: dict[str, tuple[str, list[Any]]] = {}
    for p in sorted(MOVINGAI.glob("*.scen")):
        scens = read_scenarios(p)
        if scens:
            scen_for.setdefault(scens[0].map, (p.name, scens))
    maps: list[GridMap] = []
    for p in sorted(MOVINGAI.glob("*.map")):
        if p.name not in scen_for:
            print(f"note: {p.name} has no .scen file here; skipped")
            continue
        scen_name, scens = scen_for[p.name]
        maps.append(GridMap(p.stem, read_map(p), scen_name, scens))
    return maps


def longest_scenarios(scens: list[Any], n: int) -> list[Any]:
    """The n scenarios of longest optimal length, shortest first."""
    return sorted(scens, key=lambda s: s.optimal_length)[-n:]


def pick_scenarios(scens: list[Any], n: int) -> list[Any]:
    """n scenarios spread evenly over the distinct buckets (file order within
    a bucket; a bucket gives a second one when there are fewer buckets than n)."""
    by_bucket: dict[int, list[Any]] = {}
    for s in scens:
        if s.start != s.goal:
            by_bucket.setdefault(s.bucket, []).append(s)
    buckets = sorted(by_bucket)
    used = {b: 0 for b in buckets}
    chosen: list[Any] = []
    n = min(n, sum(len(v) for v in by_bucket.values()))
    k = len(buckets)
    for i in range(n):
        # the i-th of n evenly spaced positions in the bucket list, then the
        # nearest bucket that still has a scenario left
        pos = round(i * (k - 1) / max(n - 1, 1))
        for b in sorted(buckets, key=lambda b: (abs(buckets.index(b) - pos), -buckets.index(b))):
            if used[b] < len(by_bucket[b]):
                chosen.append(by_bucket[b][used[b]])
                used[b] += 1
                break
    return sorted(chosen, key=lambda s: s.optimal_length)


# --------------------------------------------------------------------------
# Inputs, built outside the timing


def grid_edges(np: Any, passable: Any, corner_cutting: bool) -> tuple[Any, Any, Any]:
    """Undirected 8-connected edges between open cells as (u, v, weight)
    arrays of flat indices r * W + c. Orthogonal weight 1, diagonal sqrt(2);
    without corner cutting a diagonal needs both orthogonal cells open (so the
    whole 2x2 block); with it only its two ends."""
    P = passable
    H, W = P.shape
    idx = np.arange(H * W, dtype=np.int64).reshape(H, W)
    us, vs, ws = [], [], []

    def add(mask: Any, a: Any, b: Any, w: float) -> None:
        us.append(a[mask])
        vs.append(b[mask])
        ws.append(np.full(int(mask.sum()), w))

    add(P[:, :-1] & P[:, 1:], idx[:, :-1], idx[:, 1:], 1.0)  # right
    add(P[:-1, :] & P[1:, :], idx[:-1, :], idx[1:, :], 1.0)  # down
    if corner_cutting:
        dr = P[:-1, :-1] & P[1:, 1:]
        dl = P[:-1, 1:] & P[1:, :-1]
    else:
        dr = dl = P[:-1, :-1] & P[1:, 1:] & P[:-1, 1:] & P[1:, :-1]
    add(dr, idx[:-1, :-1], idx[1:, 1:], SQRT2)  # down-right
    add(dl, idx[:-1, 1:], idx[1:, :-1], SQRT2)  # down-left
    return np.concatenate(us), np.concatenate(vs), np.concatenate(ws)


def build_inputs(mods: dict[str, Any], gm: GridMap, scens: list[Any]) -> None:
    np = mods["numpy"]
    nx = mods["networkx"]
    rx = mods["rustworkx"]
    PfGrid = mods["pathfinding.core.grid"].Grid
    gm.height, gm.width = gm.grid.shape
    P = np.asarray(gm.grid) > 0
    gm.open_cells = int(P.sum())
    W = gm.width
    inp = gm.inputs
    inp["passable"] = P
    # ours: float64 terrain costs, 0 for walls (non-positive is a wall)
    inp["costs"] = np.ascontiguousarray(np.where(P, 1.0, 0.0))
    # ours, ASCII: one text per scenario with S and G placed
    base = [["." if p else "#" for p in row] for row in P.tolist()]
    texts = []
    for s in scens:
        rows = [list(r) for r in base]
        rows[s.start[0]][s.start[1]] = "S"
        rows[s.goal[0]][s.goal[1]] = "G"
        texts.append("\n".join("".join(r) for r in rows))
    inp["texts"] = texts
    # pyastar2d: float32 weights, inf for walls
    inp["w32"] = np.ascontiguousarray(np.where(P, np.float32(1.0), np.float32(np.inf)).astype(np.float32))
    # ours, built once: the Grid of the costs, and its jump distances, which
    # its first jps query makes (timed here, once)
    inp["grid"] = mods["quellostrin"].Grid(inp["costs"])
    t0 = time.perf_counter()
    inp["grid"].search(scens[0].start, scens[0].start, algorithm="jps", record=False)
    inp["jps_table_s"] = time.perf_counter() - t0
    # tcod: one A* pathfinder per map and move rule on int8 costs (0 = wall)
    if "tcod.path" in mods:
        cost8 = np.ascontiguousarray(P.astype(np.int8))
        inp["tcod"] = mods["tcod.path"].AStar(cost8, diagonal=SQRT2)
        inp["tcod4"] = mods["tcod.path"].AStar(cost8, diagonal=0.0)
    # pathfinding: one Grid (1 = walkable with weight 1, 0 = obstacle)
    t0 = time.perf_counter()
    inp["pf_grid"] = PfGrid(matrix=P.astype(int).tolist())
    inp["pf_grid_build_s"] = time.perf_counter() - t0
    # networkx / rustworkx: the same undirected edges. All open cells cost 1
    # on these maps, so the cost of a move does not depend on its direction
    # and an undirected graph is exact.
    u, v, w = grid_edges(np, P, corner_cutting=False)
    ul, vl, wl = u.tolist(), v.tolist(), w.tolist()
    g = nx.Graph()
    g.add_nodes_from((int(r), int(c)) for r, c in zip(*np.nonzero(P)))
    g.add_weighted_edges_from(((a // W, a % W), (b // W, b % W), x) for a, b, x in zip(ul, vl, wl))
    inp["nx"] = g
    rg = rx.PyGraph(multigraph=False)
    rg.add_nodes_from([(r, c) for r in range(gm.height) for c in range(W)])  # index r * W + c
    rg.extend_from_weighted_edge_list(list(zip(ul, vl, wl)))
    inp["rx"] = rg
    inp["edges"] = len(ul)


# --------------------------------------------------------------------------
# Path checks


def octile(a: tuple[int, int], b: tuple[int, int]) -> float:
    dr = abs(a[0] - b[0])
    dc = abs(a[1] - b[1])
    return (dr + dc) + (SQRT2 - 2.0) * (dr if dr < dc else dc)


def path_cost_ours(P: Any, path: list[tuple[int, int]]) -> float | str:
    """The cost of a path under our rules (unit terrain), or why it is not a path."""
    total = 0.0
    H, W = P.shape
    for (r0, c0), (r1, c1) in zip(path, path[1:]):
        dr, dc = r1 - r0, c1 - c0
        if max(abs(dr), abs(dc)) != 1 or not (0 <= r1 < H and 0 <= c1 < W) or not P[r1, c1]:
            return f"bad step {(r0, c0)} -> {(r1, c1)}"
        if dr and dc:
            if not (P[r0 + dr, c0] and P[r0, c0 + dc]):
                return f"corner cut {(r0, c0)} -> {(r1, c1)}"
            total += SQRT2
        else:
            total += 1.0
    return total


def path_cost_king(P: Any, path: list[tuple[int, int]], diagonal: float = 1.0) -> float | str:
    """pyastar2d's rules (tcod's with diagonal=sqrt(2)): any of the 8
    neighbours if open, a straight step costs the cell entered (1 here), a
    diagonal one `diagonal`; corners may be cut."""
    H, W = P.shape
    total = 0.0
    for (r0, c0), (r1, c1) in zip(path, path[1:]):
        if max(abs(r1 - r0), abs(c1 - c0)) != 1 or not (0 <= r1 < H and 0 <= c1 < W) or not P[r1, c1]:
            return f"bad step {(r0, c0)} -> {(r1, c1)}"
        total += diagonal if r1 != r0 and c1 != c0 else 1.0
    return total


def cuts_corner(P: Any, path: list[tuple[int, int]]) -> bool:
    return any(
        r1 != r0 and c1 != c0 and not (P[r1, c0] and P[r0, c1]) for (r0, c0), (r1, c1) in zip(path, path[1:])
    )


def rel_close(a: float, b: float, tol: float) -> bool:
    return math.isfinite(a) and math.isfinite(b) and abs(a - b) <= tol * max(abs(a), abs(b), 1e-300)


# --------------------------------------------------------------------------
# The cases


@dataclass
class Case:
    name: str
    label: str
    run: Callable[[int], Any]  # scenario index -> raw answer
    path_of: Callable[[Any], list[tuple[int, int]]]  # raw answer -> (row, col) path
    ours: bool = False
    fast: bool = True  # fast cases get several samples per round


def make_cases(mods: dict[str, Any], gm: GridMap, scens: list[Any]) -> list[Case]:
    qs = mods["quellostrin"]
    np = mods["numpy"]
    nx = mods["networkx"]
    rx = mods["rustworkx"]
    DM = mods["pathfinding.core.diagonal_movement"].DiagonalMovement
    AStarFinder = mods["pathfinding.finder.a_star"].AStarFinder
    inp = gm.inputs
    W = gm.width
    costs, texts, w32 = inp["costs"], inp["texts"], inp["w32"]
    pf_grid, g_nx, g_rx = inp["pf_grid"], inp["nx"], inp["rx"]
    starts = [s.start for s in scens]
    goals = [s.goal for s in scens]
    del np

    def ours_costs(i: int) -> Any:
        return qs.search_grid_costs(costs, starts[i], goals[i], diagonal=True, heuristic="octile", record=False)

    def ours_ascii(i: int) -> Any:
        return qs.search_grid(texts[i], diagonal=True, heuristic="octile", record=False)

    def ours_costs4(i: int) -> Any:
        return qs.search_grid_costs(costs, starts[i], goals[i], diagonal=False, heuristic="manhattan", record=False)

    grid = inp["grid"]

    def ours_grid(i: int) -> Any:
        return grid.search(starts[i], goals[i], diagonal=True, heuristic="octile", record=False)

    def ours_jps(i: int) -> Any:
        return grid.search(starts[i], goals[i], diagonal=True, algorithm="jps", record=False)

    def ours_jps_costs(i: int) -> Any:
        return qs.search_grid_costs(costs, starts[i], goals[i], diagonal=True, algorithm="jps", record=False)

    def pf(i: int) -> Any:
        (sr, sc), (gr, gc) = starts[i], goals[i]
        finder = AStarFinder(diagonal_movement=DM.only_when_no_obstacle)
        path, _runs = finder.find_path(pf_grid.node(sc, sr), pf_grid.node(gc, gr), pf_grid)
        return path

    def nx_astar(i: int) -> Any:
        return nx.astar_path(g_nx, starts[i], goals[i], heuristic=octile, weight="weight")

    def rx_astar(i: int) -> Any:
        s, g = starts[i], goals[i]
        gr, gc = g

        def estimate(p: tuple[int, int]) -> float:
            dr = abs(p[0] - gr)
            dc = abs(p[1] - gc)
            return (dr + dc) + (SQRT2 - 2.0) * (dr if dr < dc else dc)

        return rx.astar_shortest_path(g_rx, s[0] * W + s[1], lambda p: p == g, float, estimate)

    def ours_path(r: Any) -> list[tuple[int, int]]:
        return [tuple(c) for c in (r.path or [])]

    cases = [
        Case("ours_costs", "ours search_grid_costs", ours_costs, ours_path, ours=True),
        Case("ours_ascii", "ours search_grid (ASCII)", ours_ascii, ours_path, ours=True),
        Case("ours_grid", "ours Grid.search", ours_grid, ours_path, ours=True),
        Case("ours_jps", "ours Grid.search, jps", ours_jps, ours_path, ours=True),
        Case("ours_jps_costs", "ours search_grid_costs, jps", ours_jps_costs, ours_path, ours=True),
    ]
    tcod_path = lambda p: [(int(a), int(b)) for a, b in p]  # noqa: E731  # (x, y) = (row, col): cost[x, y]
    if "tcod" in inp:
        t8 = inp["tcod"]
        cases.append(Case("tcod", "tcod AStar **", lambda i: [starts[i], *t8.get_path(*starts[i], *goals[i])],
                          tcod_path))
    if "pyastar2d" in mods:
        pa = mods["pyastar2d"]
        cases.append(
            Case(
                "pyastar2d",
                "pyastar2d astar_path *",
                lambda i: pa.astar_path(w32, starts[i], goals[i], allow_diagonal=True),
                lambda p: [] if p is None else [(int(a), int(b)) for a, b in p],
            )
        )
    cases += [
        Case("pathfinding", "pathfinding AStarFinder", pf, lambda p: [(n.y, n.x) for n in p], fast=False),
        Case("networkx", "networkx astar_path", nx_astar, lambda p: list(p), fast=False),
        Case("rustworkx", "rustworkx astar_shortest_path", rx_astar, lambda p: [divmod(int(k), W) for k in p], fast=False),
    ]
    if "pyastar2d" in mods or "tcod" in inp:
        cases.append(Case("ours_costs4", "ours search_grid_costs, 4-conn", ours_costs4, ours_path, ours=True))
    if "tcod" in inp:
        t4 = inp["tcod4"]
        cases.append(Case("tcod4", "tcod AStar, 4-conn", lambda i: [starts[i], *t4.get_path(*starts[i], *goals[i])],
                          tcod_path))
    if "pyastar2d" in mods:
        pa = mods["pyastar2d"]
        cases += [
            Case(
                "pyastar2d4",
                "pyastar2d astar_path, 4-conn",
                lambda i: pa.astar_path(w32, starts[i], goals[i], allow_diagonal=False),
                lambda p: [] if p is None else [(int(a), int(b)) for a, b in p],
            ),
        ]
    return cases


# --------------------------------------------------------------------------
# Agreement


def king_optimum(mods: dict[str, Any], P: Any, scens: list[Any], diagonal: float = 1.0) -> list[float]:
    """Optimal costs under pyastar2d's diagonal rules (8 neighbours, corners
    may be cut, every step costs 1 on these unit maps), or tcod's (the same
    with diagonal steps costing `diagonal`): Dijkstra's distances."""
    np = mods["numpy"]
    sp = mods["scipy.sparse"]
    cs = mods["scipy.sparse.csgraph"]
    H, W = P.shape
    u, v, w = grid_edges(np, P, corner_cutting=True)
    m = sp.csr_matrix((np.where(w == 1.0, 1.0, diagonal), (u, v)), shape=(H * W, H * W))
    out = []
    for s in scens:
        d = cs.shortest_path(m, method="D", directed=False, indices=s.start[0] * W + s.start[1])
        out.append(float(d[s.goal[0] * W + s.goal[1]]))
    return out


def verify(mods: dict[str, Any], gm: GridMap, scens: list[Any], cases: list[Case]) -> tuple[dict[str, float], list[str]]:
    """Run every case on every scenario once; exit on a disagreement among
    the libraries with our rules. Returns the time of that run per case (a
    guide for the number of samples) and notes on pyastar2d."""
    P = gm.inputs["passable"]
    problems: list[str] = []
    notes: list[str] = []
    first_time: dict[str, float] = {c.name: 0.0 for c in cases}
    answers: dict[str, list[Any]] = {c.name: [] for c in cases}
    for c in cases:
        for i in range(len(scens)):
            t0 = time.perf_counter()
            out = c.run(i)
            first_time[c.name] = max(first_time[c.name], time.perf_counter() - t0)
            answers[c.name].append(out)

    ours_cost = []
    for i, s in enumerate(scens):
        r = answers["ours_costs"][i]
        ours_cost.append(r.cost)
        if not r.found or not rel_close(r.cost, s.optimal_length, OPT_TOL):
            problems.append(f"{gm.name} {s.start}->{s.goal}: ours {r.cost!r} (found={r.found}), scenario optimum {s.optimal_length!r}")
    for c in cases:
        if c.name.startswith(("pyastar2d", "tcod")) or c.name == "ours_costs4":
            continue
        for i, s in enumerate(scens):
            out = answers[c.name][i]
            path = c.path_of(out)
            if not path or path[0] != s.start or path[-1] != s.goal:
                problems.append(f"{gm.name} {s.start}->{s.goal}: {c.label} gave no path from {s.start} to {s.goal}")
                continue
            pc = path_cost_ours(P, path)
            if isinstance(pc, str):
                problems.append(f"{gm.name} {s.start}->{s.goal}: {c.label}: {pc}")
            elif not rel_close(pc, ours_cost[i], REL_TOL):
                problems.append(f"{gm.name} {s.start}->{s.goal}: {c.label} path costs {pc!r}, ours {ours_cost[i]!r}")
            if c.ours and not rel_close(out.cost, pc, REL_TOL):
                problems.append(f"{gm.name} {s.start}->{s.goal}: {c.label} reports {out.cost!r}, its path sums to {pc!r}")

    if "pyastar2d" in answers:
        # 8-connected: its own rules, its own optimum.
        opt = king_optimum(mods, P, scens)
        bad, cut, cheaper = 0, 0, 0
        for i, s in enumerate(scens):
            path = next(c for c in cases if c.name == "pyastar2d").path_of(answers["pyastar2d"][i])
            pc = path_cost_king(P, path) if path and path[0] == s.start and path[-1] == s.goal else "no path"
            if isinstance(pc, str) or not rel_close(pc, opt[i], REL_TOL):
                bad += 1
                problems.append(f"{gm.name} {s.start}->{s.goal}: pyastar2d (its rules): {pc!r}, optimum under its rules {opt[i]!r}")
                continue
            cut += cuts_corner(P, path)
            cheaper += pc < ours_cost[i]
        notes.append(
            f"pyastar2d 8-conn: {len(scens) - bad}/{len(scens)} paths optimal under its own rules "
            f"(cost = steps); {cut}/{len(scens)} cut a corner (not legal under ours); its cost is below the "
            f"octile optimum in {cheaper}/{len(scens)}, so its costs are not comparable with ours"
        )
        # 4-connected: the same rules; the answers must agree.
        for i, s in enumerate(scens):
            a = answers["ours_costs4"][i].cost
            path = next(c for c in cases if c.name == "pyastar2d4").path_of(answers["pyastar2d4"][i])
            pc = path_cost_king(P, path) if path and path[0] == s.start and path[-1] == s.goal else "no path"
            if isinstance(pc, str) or cuts_corner(P, path) or any(
                abs(r1 - r0) + abs(c1 - c0) != 1 for (r0, c0), (r1, c1) in zip(path, path[1:])
            ):
                problems.append(f"{gm.name} {s.start}->{s.goal}: pyastar2d 4-conn gave no valid 4-connected path ({pc!r})")
            elif not rel_close(pc, a, REL_TOL):
                problems.append(f"{gm.name} {s.start}->{s.goal}: pyastar2d 4-conn costs {pc!r}, ours {a!r}")
        notes.append(f"4-conn (same rules): ours and pyastar2d agree on all {len(scens)} costs")

    if "tcod" in answers:
        # 8-connected: its own rules (corners cut, float32 costs), its own optimum.
        opt = king_optimum(mods, P, scens, SQRT2)
        cut = 0
        for i, s in enumerate(scens):
            path = answers["tcod"][i]
            pc = path_cost_king(P, path, SQRT2) if path[-1] == s.goal else "no path"
            if isinstance(pc, str) or not rel_close(pc, opt[i], OPT_TOL):
                problems.append(f"{gm.name} {s.start}->{s.goal}: tcod (its rules): {pc!r}, optimum under its rules {opt[i]!r}")
                continue
            cut += cuts_corner(P, path)
        notes.append(f"tcod 8-conn: paths optimal under its own rules (sqrt(2) diagonals, corners cut) on all "
                     f"{len(scens)}; {cut}/{len(scens)} cut a corner (not legal under ours)")
        for i, s in enumerate(scens):
            path = answers["tcod4"][i]
            pc = path_cost_king(P, path) if path[-1] == s.goal else "no path"
            if isinstance(pc, str) or any(abs(r1 - r0) + abs(c1 - c0) != 1 for (r0, c0), (r1, c1) in zip(path, path[1:])):
                problems.append(f"{gm.name} {s.start}->{s.goal}: tcod 4-conn gave no valid 4-connected path ({pc!r})")
            elif not rel_close(pc, answers["ours_costs4"][i].cost, REL_TOL):
                problems.append(f"{gm.name} {s.start}->{s.goal}: tcod 4-conn costs {pc!r}, ours {answers['ours_costs4'][i].cost!r}")
        notes.append(f"4-conn (same rules): ours and tcod agree on all {len(scens)} costs")

    if problems:
        print("\nDISAGREEMENT - nothing timed:", file=sys.stderr)
        for p in problems[:30]:
            print(f"  {p}", file=sys.stderr)
        if len(problems) > 30:
            print(f"  ... and {len(problems) - 30} more", file=sys.stderr)
        sys.exit(1)
    return first_time, notes


# --------------------------------------------------------------------------
# Timing


def measure(
    cases: list[Case], n_scen: int, rounds: int, inner: int, samples: dict[str, int]
) -> tuple[dict[str, list[list[float]]], dict[str, list[list[Any]]]]:
    """Interleaved rounds: every round runs every scenario, and for each
    scenario every case (order rotated per round and scenario); a fast case
    `inner` times, a slow one once until it has `samples[name]` samples.
    Returns per case and scenario the wall times and our results."""
    times = {c.name: [[] for _ in range(n_scen)] for c in cases}
    outs: dict[str, list[list[Any]]] = {c.name: [[] for _ in range(n_scen)] for c in cases if c.ours}
    k = len(cases)
    for rnd in range(rounds):
        for i in range(n_scen):
            rot = (rnd + i) % k
            for c in cases[rot:] + cases[:rot]:
                reps = inner if c.fast else (1 if len(times[c.name][i]) < samples[c.name] else 0)
                for _ in range(reps):
                    t0 = time.perf_counter()
                    out = c.run(i)
                    t1 = time.perf_counter()
                    times[c.name][i].append(t1 - t0)
                    if c.ours:
                        outs[c.name][i].append(out)
                    del out
        sys.stderr.write(f"\r  round {rnd + 1}/{rounds}")
        sys.stderr.flush()
    sys.stderr.write("\n")
    return times, outs


def main(argv: list[str] | None = None) -> int:
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--quick", action="store_true", help="4 scenarios per map, fewer rounds (smoke test)")
    ap.add_argument("--per-map", type=int, default=None, help="scenarios per map (default 24, quick 4)")
    ap.add_argument("--rounds", type=int, default=None, help="interleaved timing rounds (default 5, quick 2)")
    ap.add_argument("--maps", default=None, help="comma-separated map names (default: every map in the folder)")
    ap.add_argument("--check", action="store_true", help="check the answers against the peers, time nothing")
    args = ap.parse_args(argv)
    sys.stdout.reconfigure(line_buffering=True)  # type: ignore[attr-defined]  # keep in step with stderr's progress
    per_map = args.per_map if args.per_map is not None else (4 if args.quick else 24)
    rounds = args.rounds if args.rounds is not None else (2 if args.quick else 5)
    inner = 3  # samples per round of the fast cases
    slow_budget = 0.3 if args.quick else 1.5  # seconds per query for the slow peers' extra samples
    if per_map < 1 or rounds < 1:
        ap.error("--per-map and --rounds must be at least 1")

    mods, no_pyastar, no_tcod = require_modules()
    qs, np = mods["quellostrin"], mods["numpy"]
    versions = [
        f"quellostrin {getattr(qs, '__version__', '?')}",
        f"pyastar2d {importlib.metadata.version('pyastar2d') if 'pyastar2d' in mods else 'MISSING'}",
        f"tcod {importlib.metadata.version('tcod') if 'tcod.path' in mods else 'MISSING'}",
        f"pathfinding {importlib.metadata.version('pathfinding')}",
        f"networkx {mods['networkx'].__version__}",
        f"rustworkx {mods['rustworkx'].__version__}",
        f"numpy {np.__version__}",
        f"Python {sys.version.split()[0]}",
    ]
    print("Grid benchmark: A*, 8-connected (orthogonal 1, diagonal sqrt(2), no corner cutting), octile heuristic")
    print(", ".join(versions))
    print("maps and scenarios from data/movingai")
    if no_pyastar:
        print(f"note: pyastar2d left out: it cannot be imported here ({no_pyastar}); "
              f"'pip install pyastar2d' builds it from source when no wheel fits")
    if no_tcod:
        print(f"note: tcod left out: it cannot be imported here ({no_tcod})")
    print()

    maps = load_maps()
    if args.maps:
        wanted = set(args.maps.split(","))
        maps = [m for m in maps if m.name in wanted]
    if not maps:
        print("grid benchmark: no map with scenarios found")
        return 1

    summary: list[tuple[str, str, float, float, bool]] = []
    jps_speedups: list[float] = []  # Grid.search astar / jps per map
    sec = REPORT.section(
        "Grid A* on the Moving AI maps",
        "A* with 8-connected moves (orthogonal 1, diagonal sqrt(2), no corner cutting) and the octile "
        f"heuristic, record=False, on {per_map} scenarios per map spread over the difficulty buckets of "
        "the maps' own .scen files (optimal lengths checked against them). Ours: `search_grid_costs` on a "
        "float64 NumPy array and `search_grid` on the ASCII map, each call with its argument conversion. "
        "pathfinding reuses one prebuilt Grid per map; networkx and rustworkx answer on prebuilt graphs. "
        "pyastar2d moves by its own rules (a diagonal step costs the cell entered, 1 here, and may cut "
        "corners), so its answers are checked under its rules. Ratios: the median over the scenarios of "
        "peer time / our time on the same query.")
    peer_labels = {"pyastar2d": "pyastar2d", "pathfinding": "pathfinding", "networkx": "networkx",
                   "rustworkx": "rustworkx"}
    rows: list[list[Any]] = []
    plot = sec.plot("grid_astar_vs_length", "Grid A* per query on the Moving AI maps", "optimal path length",
                    "time per query (s)", scatter=True)
    # Each map's spread of scenarios, then the maze's longest, where a search
    # covers much of the map.
    runs = [(gm, pick_scenarios(gm.scenarios, per_map), gm.name) for gm in maps]
    maze = next((gm for gm in maps if gm.name == LONGEST_OF), None)
    if maze is not None:
        n_long = 4 if args.quick else LONGEST_COUNT
        runs.append((maze, longest_scenarios(maze.scenarios, n_long), f"{maze.name} ({n_long} longest)"))
    for gm, scens, run_name in runs:
        t0 = time.perf_counter()
        build_inputs(mods, gm, scens)
        build_s = time.perf_counter() - t0
        cases = make_cases(mods, gm, scens)
        buckets = sorted({s.bucket for s in scens})
        print(f"== {run_name}: {gm.height}x{gm.width}, {gm.open_cells} open cells, {gm.inputs['edges']} graph edges; "
              f"{len(scens)} scenarios of {len(gm.scenarios)} ({gm.scen_file}), buckets {buckets[0]}..{buckets[-1]}, "
              f"optimal lengths {scens[0].optimal_length:.2f}..{scens[-1].optimal_length:.2f} (inputs built in {build_s:.1f} s)")
        sys.stderr.write(f"  checking answers on {len(scens)} scenarios ...\n")
        first, notes = verify(mods, gm, scens, cases)
        print(f"  answers: ours = scenario optimum (rel {OPT_TOL:g}) on all {len(scens)}; ASCII entry, Grid.search (astar and jps), search_grid_costs jps, pathfinding, "
              f"networkx, rustworkx: valid paths of our cost (rel {REL_TOL:g}) on all {len(scens)}")
        for n in notes:
            print(f"  {n}")
        if args.check:
            gm.inputs.clear()
            continue

        samples = {c.name: max(1, min(rounds, int(slow_budget / max(first[c.name], 1e-9)))) for c in cases}
        gc.collect()
        gc.freeze()  # the prebuilt graphs stay out of the collector's way while timing
        sys.stderr.write(f"  timing {len(cases)} cases x {len(scens)} scenarios, {rounds} rounds ...\n")
        times, outs = measure(cases, len(scens), rounds, inner, samples)
        gc.unfreeze()

        med = {c.name: [statistics.median(ts) for ts in times[c.name]] for c in cases}

        def per_query_ratio(peer: str, ours: str) -> float:
            return statistics.median(p / o for p, o in zip(med[peer], med[ours]))

        def total_ratio(peer: str, ours: str) -> float:
            return sum(med[peer]) / sum(med[ours])

        print(f"  {'library':<32}{'median/query':>13}{'samples':>8}{'peer/ours':>11}{'totals':>9}")
        for c in cases:
            if c.name.endswith("4"):
                continue
            m = statistics.median(med[c.name])
            n = statistics.median(len(t) for t in times[c.name])
            if c.name == "ours_costs":
                print(f"  {c.label:<32}{fmt_time(m):>13}{n:>8.0f}{'1':>10}x{'1':>8}x   reference")
                continue
            rq, rt = per_query_ratio(c.name, "ours_costs"), total_ratio(c.name, "ours_costs")
            print(f"  {c.label:<32}{fmt_time(m):>13}{n:>8.0f}{rq:>10.3g}x{rt:>8.3g}x   {fmt_vs(rq)}")
        print("  (peer/ours: median over the scenarios of the peer's time / search_grid_costs' time on the same query;"
              " totals: summed times)")
        print(f"  Jump Point Search: Grid.search astar / jps {per_query_ratio('ours_grid', 'ours_jps'):.3g}x per query"
              + "".join(f", {peer} / jps {per_query_ratio(peer, 'ours_jps'):.3g}x" for peer in ("pyastar2d", "tcod")
                        if peer in med)
              + f"; jps through search_grid_costs (the grid built in the call) "
              f"{per_query_ratio('ours_jps_costs', 'ours_jps'):.3g}x the time of Grid.search; the Grid's jump "
              f"distances made by its first jps query in {gm.inputs['jps_table_s'] * 1e3:.2f} ms")
        if "tcod" in med:
            print("  ** tcod's diagonal rules differ: it cuts corners (a diagonal step needs only its target open); a "
                  "diagonal costs sqrt(2) as ours; its paths are checked under its own rules")
        if "pyastar2d" in med:
            print("  * pyastar2d's diagonal rules differ: a diagonal step costs the cell entered (1 here, not sqrt(2)) and "
                  "may cut corners; its paths are checked under its own rules")
        print(f"  pathfinding reuses one Grid per map (built once in {gm.inputs['pf_grid_build_s'] * 1e3:.0f} ms, "
              f"not timed); its per-search reset of the grid's nodes is timed")

        for key in ("ours_costs", "ours_ascii"):
            walls = [statistics.median(ts) for ts in times[key]]
            el = [statistics.median(r.elapsed for r in rs) for rs in outs[key]]
            exp = [rs[0].nodes_expanded for rs in outs[key]]
            outside = [statistics.median(1 - r.elapsed / t for r, t in zip(rs, ts)) for rs, ts in zip(outs[key], times[key])]
            print(f"  {next(c.label for c in cases if c.name == key)}: {sum(exp) / sum(el) / 1e6:.2f} M expansions/s "
                  f"(search only; {statistics.median(exp):.0f} expansions per query, median), outside the search "
                  f"{100 * statistics.median(outside):.0f}% of the call (median per query; {100 * (1 - sum(el) / sum(walls)):.0f}% "
                  f"of the summed time)")

        if "tcod4" in med:
            r4 = per_query_ratio("tcod4", "ours_costs4")
            print(f"  4-connected, same rules as tcod: tcod {fmt_time(statistics.median(med['tcod4'])).strip()} per query "
                  f"(median); tcod/ours {r4:.3g}x per query: tcod {fmt_vs(r4)}")

        if "pyastar2d4" in med:
            m_o, m_p = statistics.median(med["ours_costs4"]), statistics.median(med["pyastar2d4"])
            r4 = per_query_ratio("pyastar2d4", "ours_costs4")
            print(f"  4-connected, same rules as pyastar2d (manhattan heuristic): ours {fmt_time(m_o).strip()}, pyastar2d "
                  f"{fmt_time(m_p).strip()} per query (medians); pyastar2d/ours {r4:.3g}x per query, "
                  f"{total_ratio('pyastar2d4', 'ours_costs4'):.3g}x of the totals: pyastar2d {fmt_vs(r4)}")

        exp_rate = sum(rs[0].nodes_expanded for rs in outs["ours_costs"]) / sum(
            statistics.median(r.elapsed for r in rs) for rs in outs["ours_costs"])
        row: list[Any] = [run_name, f"{gm.height}x{gm.width}", len(scens),
                          seconds(statistics.median(med["ours_costs"])), seconds(statistics.median(med["ours_ascii"]))]
        row += [ratio(per_query_ratio(peer, "ours_costs")) if peer in med else "-" for peer in peer_labels]
        rows.append(row + [f"{exp_rate / 1e6:.1f}"])
        for name, label in [("ours_costs", "quellostrin search_grid_costs"), *peer_labels.items()]:
            if name in med:
                for scen, t in zip(scens, med[name]):
                    plot.add(label, scen.optimal_length, t)
        if "pyastar2d" in med:
            sec.target(f"{run_name}: pyastar2d / search_grid_costs per query", per_query_ratio("pyastar2d", "ours_costs"),
                       TARGET_PYASTAR2D)
        sec.target(f"{run_name}: networkx / search_grid_costs per query", per_query_ratio("networkx", "ours_costs"),
                   TARGET_NETWORKX)
        if "pyastar2d" in med:
            r = per_query_ratio("pyastar2d", "ours_grid")
            sec.target(f"{run_name}: pyastar2d / Grid.search per query", r, TARGET_PYASTAR2D)
            summary.append((run_name, f"pyastar2d/Grid >= {TARGET_PYASTAR2D:g}x", r, TARGET_PYASTAR2D,
                            r >= TARGET_PYASTAR2D))

        if run_name == gm.name:  # the geometric mean is over the maps' spread scenarios
            jps_speedups.append(per_query_ratio("ours_grid", "ours_jps"))
        if "pyastar2d" in med and gm.name in JPS_PYASTAR2D_MAPS:
            r = per_query_ratio("pyastar2d", "ours_jps")
            sec.target(f"{run_name}: pyastar2d / Grid.search jps per query", r, TARGET_JPS_PYASTAR2D)
            summary.append((run_name, f"pyastar2d/jps >= {TARGET_JPS_PYASTAR2D:g}x", r, TARGET_JPS_PYASTAR2D,
                            r >= TARGET_JPS_PYASTAR2D))

        for ours in ("ours_costs", "ours_ascii"):
            r = per_query_ratio("networkx", ours)
            summary.append((run_name, f"networkx/{ours[5:]} >= {TARGET_NETWORKX:g}x", r, TARGET_NETWORKX, r >= TARGET_NETWORKX))
            if "pyastar2d" in med:
                r = per_query_ratio("pyastar2d", ours)
                summary.append((run_name, f"pyastar2d/{ours[5:]} >= {TARGET_PYASTAR2D:g}x", r, TARGET_PYASTAR2D,
                                r >= TARGET_PYASTAR2D))
        print()
        gm.inputs.clear()  # let the big graphs go before the next map
        gc.collect()

    if args.check:
        return 0
    sec.note("Jump Point Search (`algorithm=\"jps\"`) jumps two ways, with the same results. A `Grid` makes, on its "
             "first jps query, a table of where a straight or diagonal jump from each cell ends (32 bytes a cell; "
             "one pass over the map), after which every jump is a lookup: a diagonal jump no longer scans two "
             "lines at each cell it passes. `search_grid_costs` builds its grid for one query and scans instead: "
             "straight lines 64 cells a word over the open cells as bits (made in a pass far cheaper than the "
             "table), diagonals cell by cell; the table costs more to make than such a query takes.")
    if jps_speedups:
        geo = math.exp(statistics.fmean(math.log(r) for r in jps_speedups))
        sec.target("Grid.search astar / jps per query, geometric mean over the maps", geo, TARGET_JPS_ASTAR)
        summary.append(("all maps", f"astar/jps >= {TARGET_JPS_ASTAR:g}x (geo. mean)", geo, TARGET_JPS_ASTAR,
                        geo >= TARGET_JPS_ASTAR))
    sec.table("", ["map", "size", "scenarios", "ours, costs (median)", "ours, ASCII (median)",
                   *[f"{p} / ours" for p in peer_labels], "M expansions/s"], rows)
    print("targets (median over the scenarios of peer time / our time per query; Grid and jps: a Grid built once, "
          "costs and ascii: the one-call functions with their argument conversion):")
    for name, what, r, _goal, ok in summary:
        print(f"  {name:<28}{what:<28}{r:10.3g}x   {'MET' if ok else 'MISSED'}")
    missed = [s for s in summary if not s[4]]
    print(f"{len(summary) - len(missed)}/{len(summary)} met" + ("" if not missed else
          "; missed: " + ", ".join(f"{m[0]} {m[1].split(' ')[0]}" for m in missed)))
    if no_pyastar:
        print("(pyastar2d was not available: its target was not checked)")
    if args.quick:
        print("(--quick: a smoke test with few scenarios and rounds)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
