"""Three ways to the same shortest paths on generated graphs: Dijkstra's
algorithm through search_graph (one search per target), Bellman-Ford (one
source, every target) and Floyd-Warshall (every pair). The distances must
agree, and every path returned must cost what its distance says.

    python examples/shortest_paths.py [--nodes 300] [--sources 3]

The generators give unit weights; here each edge gets a seeded random
weight, so that shortest paths and fewest hops differ.
"""

from __future__ import annotations

import argparse
import math
import random

from quellostrin import bellman_ford, floyd_warshall, gen_barabasi_albert, gen_erdos_renyi, search_graph

Edge = tuple[int, int, float]


def reweighted(edges: list[Edge], seed: int) -> list[Edge]:
    rng = random.Random(seed)
    return [(u, v, round(rng.uniform(1.0, 10.0), 2)) for u, v, _ in edges]


def same(a: float, b: float) -> bool:
    """Equal up to rounding (the algorithms add the weights in different orders), inf included."""
    return a == b or math.isclose(a, b)


def path_cost(path: list[int], weight: dict[tuple[int, int], float]) -> float:
    return sum(weight[a, b] for a, b in zip(path, path[1:]))


def check(name: str, n: int, edges: list[Edge], sources: list[int]) -> None:
    # The graphs are undirected: every call is told so (bellman_ford and
    # floyd_warshall take edges as directed unless asked).
    weight: dict[tuple[int, int], float] = {}
    for u, v, w in edges:  # the lightest of parallel edges is the one that counts
        weight[u, v] = weight[v, u] = min(w, weight.get((u, v), math.inf))
    every_pair = floyd_warshall(n, edges, undirected=True)
    reached = 0
    for s in sources:
        one_source = bellman_ford(n, edges, s, undirected=True)
        for t in range(n):
            r = search_graph(n, edges, s, t, algorithm="dijkstra", record=False)
            d = every_pair.distance(s, t)
            if not (same(r.cost, d) and same(one_source.dist[t], d)):
                raise SystemExit(f"{name}: {s} -> {t}: dijkstra {r.cost}, bellman_ford {one_source.dist[t]}, "
                                 f"floyd_warshall {d}")
            if d == math.inf:
                continue
            reached += 1
            for path in (r.path, one_source.path_to(t), every_pair.path(s, t)):
                if path is None or path[0] != s or path[-1] != t or not same(path_cost(path, weight), d):
                    raise SystemExit(f"{name}: {s} -> {t}: the path {path} does not cost {d}")
    far = max(every_pair.distance(s, t) for s in sources for t in range(n) if every_pair.distance(s, t) < math.inf)
    print(f"{name:16} {n} nodes, {len(edges):5} edges: {len(sources)} sources x {n} targets agree, "
          f"{reached} reachable, farthest {far:.2f}")


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--nodes", type=int, default=300)
    parser.add_argument("--sources", type=int, default=3)
    args = parser.parse_args()
    n = args.nodes
    sources = sorted(random.Random(0).sample(range(n), args.sources))
    check("erdos_renyi", n, reweighted(gen_erdos_renyi(n, 4.0 / n, seed=1), seed=2), sources)
    check("barabasi_albert", n, reweighted(gen_barabasi_albert(n, 2, seed=1), seed=2), sources)


if __name__ == "__main__":
    main()
