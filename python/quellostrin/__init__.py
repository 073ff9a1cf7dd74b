"""State-space search and shortest paths with a C++20 core.

Problems: mazes as ASCII maps (`search_grid`) or cost matrices
(`search_grid_costs`), edge lists (`search_graph`), Towers of Hanoi
(`search_hanoi`), the sliding-tile puzzle (`search_npuzzle`), word ladders
(`search_wordladder`), and implicit graphs given by a Python callable
(`search_implicit`). Also `bellman_ford`, `floyd_warshall`, seeded random
graphs (`gen_erdos_renyi`, `gen_barabasi_albert`, `gen_watts_strogatz`) and
mazes (`sample_maze`, `random_maze_ascii`). Pictures: `quellostrin.viz`
(`pip install quellostrin[viz]`); a command line: `python -m quellostrin`.

Every search function takes `algorithm` and `heuristic` (a built-in name or a
callable `h(node, goal) -> float`). The algorithms, and what they use:

    "bfs", "dfs"      frontier in first-in-first-out / last-in-first-out
                      order; on a weighted graph they still relax costs (a
                      node is pushed again when a cheaper way to it turns up),
                      and the path they return is neither the cheapest nor
                      always the one with fewest edges
    "ucs", "dijkstra" cheapest first (the same search); optimal for costs >= 0
    "greedy"          smallest heuristic first; fast, not optimal
    "astar" ("a*")    g + h first; optimal with an admissible, consistent h
    "weighted_astar" ("wastar")   g + weight * h (`weight`, default 2.0)
    "iddfs"           depth-first with depth bounds 0, 1, ... `depth_limit`
                      (1000 when None); fewest edges, costs ignored
    "dls"             one depth-first search to `depth_limit` (required)
    "ida_star" ("idastar")  iterative deepening on g + h; optimal like A*
    "beam"            layer by layer, keeping the `beam_width` nodes of each
                      layer with the smallest h (None keeps them all)
    "bidirectional" ("bidir")  breadth-first from both ends; ignores costs and
                      the heuristic, and finds the fewest edges (on a directed
                      graph the goal's side walks the edges backwards)

`search_graph` defaults to "bfs" and `undirected=True`; the other searches
default to "astar". The options, all keyword arguments:

    record=True       fill `trace` and `tree` of the result; False leaves them empty
    weight=2.0        the heuristic weight of "weighted_astar"
    beam_width=None   nodes "beam" keeps per layer; None keeps them all
    depth_limit=None  the depth bound of "dls" (required) and the deepest bound
                      of "iddfs" (1000 when None)
    max_nodes=None    stop any algorithm once it has expanded this many nodes,
                      with stop_reason "node_limit" and no path; "iddfs" and
                      "ida_star" count over all their iterations, and
                      "bidirectional" checks after each layer
    reopen=False      let the frontier algorithms (bfs to weighted_astar)
                      reopen a closed node when a cheaper path to it turns up;
                      a negative cycle reachable from the start is then
                      refused with ValueError
    time_limit=None   stop any algorithm after about this many seconds, with
                      stop_reason "time_limit" and no path (the clock is read
                      every few thousand expansions)
    max_memory=None   stop any algorithm before its tables (node store,
                      frontier, trace) would hold more than this many bytes,
                      with stop_reason "memory_limit" and no path

Without max_memory a search still stops before it outgrows the memory the
process can have (the machine's, its container's, its ulimits, less what the
process holds), with a MemoryError saying how far it got; the environment
variable QUELLOSTRIN_AVAILABLE_MEMORY (bytes, or with a K, M, G or T suffix)
sets that memory instead, for containers whose limit the process cannot see.

Nodes come back as Python values: ints for graphs, (row, col) tuples for
grids, tuples for puzzle states, str for words; implicit states as tuples,
except that a state of one element comes back as a plain int. A search with a
built-in heuristic releases the GIL, so threads run searches in parallel.
A search can be interrupted with Ctrl-C; an exception raised by a callback
ends the search at once and is raised by the call. Results pickle, and two
results are equal (==) when every field but the timing is.
"""

__version__ = "0.1.0"

from . import quellostrin_native
from .quellostrin_native import (
    ALGORITHM_ALIASES,
    ALGORITHMS,
    HEURISTICS,
    AllPairs,
    Graph,
    Grid,
    WordList,
    SlidingPuzzle,
    InternalError,
    SearchResult,
    ShortestPaths,
    bellman_ford,
    floyd_warshall,
    gen_barabasi_albert,
    gen_erdos_renyi,
    gen_watts_strogatz,
    random_maze_ascii,
    sample_maze,
    search_graph,
    search_grid,
    search_grid_costs,
    search_hanoi,
    search_implicit,
    search_npuzzle,
    search_wordladder,
)

# The module's names in its registration order, then InternalError; written
# out so that type checkers see them (a test keeps it equal to the module's).
__all__ = [
    "search_grid",
    "search_grid_costs",
    "search_graph",
    "search_implicit",
    "gen_erdos_renyi",
    "gen_barabasi_albert",
    "gen_watts_strogatz",
    "sample_maze",
    "random_maze_ascii",
    "bellman_ford",
    "floyd_warshall",
    "search_npuzzle",
    "search_hanoi",
    "search_wordladder",
    "SearchResult",
    "ShortestPaths",
    "AllPairs",
    "Grid",
    "Graph",
    "WordList",
    "SlidingPuzzle",
    "InternalError",
    "ALGORITHMS",
    "ALGORITHM_ALIASES",
    "HEURISTICS",
]
