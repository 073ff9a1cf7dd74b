"""Shared oracles for the Python tests: seeded random edge lists and their
networkx counterparts."""

import math
import random

import networkx as nx


def random_edges(seed, max_nodes=25, density=2.0, integral=False):
    """A seeded random edge list with parallel edges and self-loops allowed."""
    rng = random.Random(seed)
    n = rng.randint(1, max_nodes)
    m = int(density * n)
    edges = []
    for _ in range(m):
        u, v = rng.randrange(n), rng.randrange(n)
        w = float(rng.randint(1, 9)) if integral else rng.uniform(0.1, 10.0)
        edges.append((u, v, w))
    return n, edges


def nx_graph(n, edges, undirected):
    g = nx.MultiGraph() if undirected else nx.MultiDiGraph()
    g.add_nodes_from(range(n))
    g.add_weighted_edges_from(edges)
    return g


def cheapest_edges(n, edges, undirected):
    """(u, v) -> cheapest weight among the parallel edges from u to v."""
    best = {}
    for u, v, w in edges:
        for a, b in ((u, v), (v, u)) if undirected else ((u, v),):
            best[(a, b)] = min(w, best.get((a, b), math.inf))
    return best


def path_weight(path, best):
    """Sum of the cheapest edges along `path`, or None if a step is not an edge."""
    total = 0.0
    for a, b in zip(path, path[1:]):
        if (a, b) not in best:
            return None
        total += best[(a, b)]
    return total
