"""State-space search and shortest paths with a C++20 core.

Every search function takes `algorithm` (one of "bfs", "dfs", "ucs",
"dijkstra", "greedy", "astar", "weighted_astar", "iddfs", "dls", "ida_star",
"beam", "bidirectional"), `heuristic` (a built-in name or a callable
`h(node, goal) -> float`) and these options:

    record=True       fill `trace` and `tree` of the result; False leaves them empty
    weight=2.0        the heuristic weight of "weighted_astar"
    beam_width=None   nodes "beam" keeps per layer; None keeps them all
    depth_limit=None  the depth bound of "dls" (required) and the deepest bound
                      of "iddfs" (1000 when None)
    max_nodes=None    stop any algorithm once it has expanded this many nodes,
                      with stop_reason "node_limit" and no path; "iddfs" and
                      "ida_star" count over all their iterations, and
                      "bidirectional" checks after each layer
    reopen=False      let the frontier algorithms reopen a closed node when a
                      cheaper path to it turns up

A search can be interrupted with Ctrl-C; an exception raised by a callback
ends the search at once and is raised by the call.
"""

__version__ = "0.1.0"

from . import quellostrin_native
from .quellostrin_native import *  # noqa: F401,F403
from .quellostrin_native import InternalError

__all__ = [*quellostrin_native.__all__, "InternalError"]
