"""Shared helpers for the Python tests: seeded random edge lists, the
algorithm names as the module itself lists them, and the shared data."""

import os
import pathlib
import random
import re

import pytest

from quellostrin import search_graph


def random_edges(seed, max_nodes=25, density=2.0):
    """A seeded random edge list with parallel edges and self-loops allowed."""
    rng = random.Random(seed)
    n = rng.randint(1, max_nodes)
    edges = [(rng.randrange(n), rng.randrange(n), rng.uniform(0.1, 10.0)) for _ in range(int(density * n))]
    return n, edges


def _listed_algorithms():
    """The canonical algorithm names, read from the module's own refusal message."""
    with pytest.raises(ValueError) as info:
        search_graph(1, [], 0, 0, algorithm="?")
    return re.fullmatch(r"unknown algorithm: '\?'\. Available: (.*)", str(info.value)).group(1).split(", ")


ALGORITHMS = _listed_algorithms()
ALIASES = {"a*": "astar", "wastar": "weighted_astar", "idastar": "ida_star", "bidir": "bidirectional"}
# Every name a search accepts, with the options that make each one runnable.
RUNNABLE = {name: (dict(depth_limit=50) if name == "dls" else {}) for name in [*ALGORITHMS, *ALIASES]}


def _shared_data():
    here = pathlib.Path(__file__).resolve().parents[1]
    for root in (os.environ.get("QUELLOSTRIN_SHARED"), here.parent / "shared", "/work/shared"):
        if root and (pathlib.Path(root) / "data").is_dir():
            return pathlib.Path(root) / "data"
    return None


# ../shared/data: the Moving AI maps, Knuth's words, Korf's instances (None when missing).
SHARED = _shared_data()


def shared_file(*parts):
    """A file or folder of ../shared/data, which must be there."""
    if SHARED is None or not SHARED.joinpath(*parts).exists():
        raise FileNotFoundError(f"the shared file ../shared/data/{'/'.join(parts)} is missing")
    return SHARED.joinpath(*parts)
