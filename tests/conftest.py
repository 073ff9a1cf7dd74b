"""Shared helpers for the Python tests: seeded random edge lists, a result's
fields, the algorithm names as the module itself lists them, and the
repository's data."""

import itertools
import math
import pathlib
import random

import pytest

import quellostrin


LINE = [(0, 1, 1.0), (1, 2, 1.0)]  # the path 0 - 1 - 2


def random_edges(seed, max_nodes=25, density=2.0):
    """A seeded random edge list with parallel edges and self-loops allowed."""
    rng = random.Random(seed)
    n = rng.randint(1, max_nodes)
    edges = [(rng.randrange(n), rng.randrange(n), rng.uniform(0.1, 10.0)) for _ in range(int(density * n))]
    return n, edges


def raises(exc, message, call, *args, **kwargs):
    """Calls call(*args, **kwargs), which must raise exactly `exc` with a
    message that starts with `message`; returns the error."""
    with pytest.raises(exc) as info:
        call(*args, **kwargs)
    assert type(info.value) is exc and str(info.value).startswith(message), repr(info.value)
    return info.value


def fields(r):
    """Everything a result holds but its timing, as plain comparable values (a
    NaN cost as None, so that it equals itself)."""
    if hasattr(r, "trace"):
        return (r.path, None if math.isnan(r.cost) else r.cost, r.found, r.nodes_expanded, r.nodes_generated,
                r.nodes_reopened, r.max_frontier_size, r.stop_reason, r.trace, r.tree)
    if hasattr(r, "pred"):
        return r.source, r.dist, r.pred, r.negative_cycle, [r.path_to(v) for v in range(len(r.dist))]
    if hasattr(r, "matrix"):
        return r.negative_cycle, r.matrix(), [r.path(u, v) for u, v in itertools.product(range(r.num_nodes), repeat=2)]
    return r  # edge lists and maps


ALGORITHMS = list(quellostrin.ALGORITHMS)
ALIASES = dict(quellostrin.ALGORITHM_ALIASES)
# Every name a search accepts, with the options that make each one runnable;
# GRID_RUNNABLE adds those only the grid searches run.
GRID_ONLY = ["jps"]
RUNNABLE = {name: (dict(depth_limit=50) if name == "dls" else {}) for name in [*ALGORITHMS, *ALIASES]
            if name not in GRID_ONLY}
GRID_RUNNABLE = {**RUNNABLE, **{name: {} for name in GRID_ONLY}}


# The repository's data/: the Moving AI maps, Knuth's words, Korf's instances.
DATA = pathlib.Path(__file__).resolve().parents[1] / "data"


def data_file(*parts):
    """A file or folder of the repository's data/, which must be there."""
    path = DATA.joinpath(*parts)
    if not path.exists():
        raise FileNotFoundError(f"{path} is missing: the tests read the data/ folder of the repository")
    return path
