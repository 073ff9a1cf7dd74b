"""quellostrin.movingai on the Moving AI benchmark of data/movingai: the maps
read by the benchmark's terrain rules, and every map's scenario optima found
(8-connected, diagonals sqrt 2, no corner cutting)."""

import doctest
import os
import random

import networkx as nx
import numpy as np
import pytest

from conftest import data_file, raises
from quellostrin import movingai, search_grid_costs

MOVINGAI = data_file("movingai")
# Each map's scenario file and its open cells as the benchmark's lists count them.
MAPS = {"den312d": ("den312d-random-1.scen", 2445), "maze512-32-9": ("maze512-32-9.map.scen", 253_792),
        "random-32-32-20": ("random-32-32-20-random-1.scen", 819), "room-64-64-8": ("room-64-64-8-random-1.scen", 3232)}
# The suite runs a sample of every map's scenarios (fewer of the 512x512 maze);
# QUELLOSTRIN_FULL_MOVINGAI=1 runs them all.
FULL = os.environ.get("QUELLOSTRIN_FULL_MOVINGAI") == "1"


def test_the_manual_runs(monkeypatch):
    monkeypatch.chdir(MOVINGAI)  # its examples name the files of this folder
    result = doctest.testmod(movingai)
    assert result.failed == 0 and result.attempted >= 6


@pytest.mark.parametrize("name", MAPS)
def test_scenario_optima(name):
    scen_file, open_cells = MAPS[name]
    grid = movingai.read_map(MOVINGAI / f"{name}.map")
    scenarios = movingai.read_scenarios(MOVINGAI / scen_file)
    height, width = grid.shape
    assert int((np.asarray(grid) > 0).sum()) == open_cells
    assert {(s.map, s.width, s.height) for s in scenarios} == {(f"{name}.map", width, height)}
    size = len(scenarios) if FULL else 40 if width * height > 100_000 else 150
    for k, s in enumerate(random.Random(name).sample(scenarios, size)):
        r = grid.search(s.start, s.goal, diagonal=True, heuristic="octile", record=False)
        assert r.cost == pytest.approx(s.optimal_length, rel=1e-6), s
        jps = grid.search(s.start, s.goal, diagonal=True, algorithm="jps", record=False)
        assert jps.cost == pytest.approx(r.cost, rel=1e-12) and len(jps.path) == len(r.path), s
        if k % 10 == 0:
            d = grid.search(s.start, s.goal, diagonal=True, algorithm="dijkstra", record=False)
            assert d.cost == pytest.approx(r.cost, rel=1e-12)


@pytest.mark.parametrize("name", MAPS)
def test_four_connected_against_networkx(name):
    costs = np.asarray(movingai.read_map(MOVINGAI / f"{name}.map"))
    if costs.size > 100_000 and not FULL:
        costs = costs[:160, :160]  # networkx takes half a minute on the whole 512x512 maze
    g = nx.grid_2d_graph(*costs.shape)
    g.remove_nodes_from([tuple(c) for c in np.argwhere(costs == 0)])
    open_cells = list(g.nodes)
    rng = random.Random(name)
    for _ in range(40):
        s, t = rng.choice(open_cells), rng.choice(open_cells)
        r = search_grid_costs(costs, s, t, heuristic="manhattan", record=False)
        if nx.has_path(g, s, t):
            assert r.cost == nx.shortest_path_length(g, s, t)
            assert all(abs(a[0] - b[0]) + abs(a[1] - b[1]) == 1 for a, b in zip(r.path, r.path[1:]))
        else:
            assert not r.found


def test_terrain_letters_and_malformed_files(tmp_path, monkeypatch):
    monkeypatch.chdir(tmp_path)
    f = tmp_path / "m"
    head, scen = b"type octile\nheight 2\nwidth 4\nmap\n", b"version 1\n0\tm.map\t4\t2\t0\t1\t3\t1\t3\n"
    # Ground, swamp and 'G' are open; out of bounds, trees and water are walls.
    f.write_bytes(head.replace(b"\n", b"\r\n") + b".GST\r\n@OW.\r\n")
    grid = movingai.read_map(f)
    assert np.asarray(grid).tolist() == [[1, 1, 1, 0], [0, 0, 0, 1]] and grid.start is None is grid.goal
    f.write_bytes(scen.replace(b"version 1", b"version 1.0"))
    assert movingai.read_scenarios("m") == [movingai.Scenario(0, "m.map", 4, 2, (1, 0), (1, 3), 3.0)]

    for read, content, message in [
        (movingai.read_map, b"type octile\nwidth 4\nmap\n....\n", "m: a Moving AI map needs 'height' and 'width'"),
        (movingai.read_map, head + b"....\n...\n", "m: expected 2 rows of 4 cells after 'map'"),
        (movingai.read_map, head + b"....\n", "m: expected 2 rows of 4 cells after 'map'"),
        (movingai.read_scenarios, scen[10:], "m: a Moving AI scenario file starts with 'version 1'"),
        (movingai.read_scenarios, scen + b"1\tm.map\t4\t2\t0\t1\t3\t1\n", "m, line 3: expected 9 tab-separated"),
        (movingai.read_scenarios, scen + b"1\tm.map\t4\t2\t0\tone\t3\t1\t3\n", "m, line 3: expected 9 tab-"),
    ]:
        f.write_bytes(content)
        raises(ValueError, message, read, "m")
