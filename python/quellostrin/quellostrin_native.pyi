from collections.abc import Callable, Iterable, Sequence
from types import GenericAlias
from typing import Any, ClassVar, Generic, Literal, Protocol, SupportsIndex, final

from typing_extensions import Buffer, TypeVar

# The names a search accepts, as the module lists them in ALGORITHMS,
# ALGORITHM_ALIASES and HEURISTICS (a test holds these to the module's): every
# search takes every algorithm, and each takes its own heuristics.
_AlgorithmName = Literal[
    "bfs", "dfs", "ucs", "dijkstra", "greedy", "astar", "weighted_astar", "iddfs", "dls", "ida_star", "beam",
    "bidirectional", "jps",
]
_AlgorithmAlias = Literal["a*", "wastar", "idastar", "bidir"]
_Algorithm = _AlgorithmName | _AlgorithmAlias
_GridHeuristic = Literal["zero", "manhattan", "euclidean", "octile"]
_GraphHeuristic = Literal["zero"]
_NPuzzleHeuristic = Literal["manhattan", "misplaced", "zero"]
_SlidingHeuristic = Literal["manhattan", "misplaced", "zero", "pdb"]
_HanoiHeuristic = Literal["misplaced", "zero"]
_LadderHeuristic = Literal["hamming", "zero"]

ALGORITHMS: tuple[_AlgorithmName, ...]
ALGORITHM_ALIASES: dict[_AlgorithmAlias, _AlgorithmName]
HEURISTICS: dict[str, tuple[str, ...]]

# The node type of a search: int for graphs, (row, col) for grids, a tuple of
# ints for puzzle states, str for words, the caller's states for implicit
# graphs. A bare `SearchResult` leaves it open.
_N = TypeVar("_N", covariant=True, default=Any)

@final
class SearchResult(Generic[_N]):
    """The outcome of a search."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: object, /) -> bool: ...
    def __class_getitem__(cls, item: Any, /) -> GenericAlias: ...
    @property
    def path(self) -> list[_N] | None: ...
    @property
    def cost(self) -> float: ...
    @property
    def found(self) -> bool: ...
    @property
    def nodes_expanded(self) -> int: ...
    @property
    def nodes_generated(self) -> int: ...
    @property
    def nodes_reopened(self) -> int: ...
    @property
    def max_frontier_size(self) -> int: ...
    @property
    def elapsed(self) -> float: ...
    @property
    def stop_reason(self) -> str: ...
    @property
    def trace(self) -> list[tuple[_N, float | None, int]]: ...
    @property
    def tree(self) -> list[tuple[_N, _N]]: ...

class InternalError(BaseException):
    """Raised when quellostrin finds a fault in itself, never for bad input: a bug to report."""

_State = int | tuple[int, ...]

# The state type of one implicit search, taken from the caller's successor
# function, start and heuristic: an int, or a tuple of ints of any shape (a
# function over `tuple[int, int]` grid positions is accepted as it is). States
# reach the callables as ints or tuples, a state of one element as an int; a
# successor may also return other int sequences.
_S = TypeVar("_S", bound=_State)

_Cell = tuple[int, int]

class _SupportsArray(Protocol):
    """A NumPy array or anything else NumPy turns into one."""

    def __array__(self) -> Any: ...

# A cell as given: any pair of ints (a tuple, a list, a NumPy row).
_CellIn = Sequence[SupportsIndex] | _SupportsArray

# An edge list: (u, v, w) triples as tuples, or as any other sequences of
# three (lists from JSON or ndarray.tolist()), or an (m, 3) array of numbers.
_Edges = Sequence[tuple[int, int, float]] | Sequence[Sequence[float]] | _SupportsArray

def search_grid(
    map: str,
    algorithm: _Algorithm = "astar",
    heuristic: _GridHeuristic | Callable[[_Cell, _Cell], float] | None = None,
    record: bool = True,
    weight: float = 2.0,
    beam_width: int | None = None,
    depth_limit: int | None = None,
    max_nodes: int | None = None,
    diagonal: bool = False,
    reopen: bool = False,
    time_limit: float | None = None,
    max_memory: int | None = None,
) -> SearchResult[_Cell]:
    """Search a 2-D maze given as an ASCII map.

    The default heuristic, "manhattan", suits 4-neighbour moves; with
    `diagonal=True` pass `heuristic="octile"`: manhattan overestimates diagonal
    steps, so A* guided by it can return a longer path than the shortest.
    `algorithm="jps"` (Jump Point Search, grids whose open cells all cost the
    same) defaults to the heuristic consistent for the moves, and its
    counters, trace and tree hold jump points.
    """

def search_grid_costs(
    costs: Sequence[Sequence[float]] | Buffer | _SupportsArray,
    start: _CellIn,
    goal: _CellIn,
    algorithm: _Algorithm = "astar",
    heuristic: _GridHeuristic | Callable[[_Cell, _Cell], float] | None = None,
    record: bool = True,
    weight: float = 2.0,
    beam_width: int | None = None,
    depth_limit: int | None = None,
    max_nodes: int | None = None,
    diagonal: bool = False,
    reopen: bool = False,
    time_limit: float | None = None,
    max_memory: int | None = None,
) -> SearchResult[_Cell]:
    """Search a grid given as a matrix of terrain costs (a non-positive or
    non-finite cost is a wall); as with `search_grid`, use
    `heuristic="octile"` with `diagonal=True`."""

def search_graph(
    num_nodes: int,
    edges: _Edges,
    start: int,
    goal: int,
    algorithm: _Algorithm = "bfs",
    heuristic: _GraphHeuristic | Callable[[int, int], float] | None = None,
    undirected: bool = True,
    record: bool = True,
    weight: float = 2.0,
    beam_width: int | None = None,
    depth_limit: int | None = None,
    max_nodes: int | None = None,
    reopen: bool = False,
    time_limit: float | None = None,
    max_memory: int | None = None,
) -> SearchResult[int]: ...
def search_implicit(
    successors: Callable[[_S], Sequence[tuple[_S | Sequence[int], float] | Sequence[Any]]],
    start: _S | Sequence[int],
    goal: _S | Sequence[int],
    algorithm: _Algorithm = "astar",
    heuristic: Callable[[_S, _S], float] | None = None,
    record: bool = True,
    weight: float = 2.0,
    beam_width: int | None = None,
    depth_limit: int | None = None,
    max_nodes: int | None = None,
    reopen: bool = False,
    time_limit: float | None = None,
    predecessors: Callable[[_S], Sequence[tuple[_S | Sequence[int], float] | Sequence[Any]]] | None = None,
    max_memory: int | None = None,
) -> SearchResult[_S]: ...

def gen_erdos_renyi(n: int, p: float, seed: int) -> list[tuple[int, int, float]]: ...
def gen_barabasi_albert(n: int, m: int, seed: int) -> list[tuple[int, int, float]]: ...
def gen_watts_strogatz(n: int, k: int, beta: float, seed: int) -> list[tuple[int, int, float]]: ...
def sample_maze(name: str) -> str: ...
def random_maze_ascii(width: int, height: int, obstacle_density: float, seed: int) -> str: ...

@final
class ShortestPaths:
    """Single-source shortest paths from `bellman_ford`."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: object, /) -> bool: ...
    @property
    def source(self) -> int: ...
    @property
    def dist(self) -> list[float]: ...
    @property
    def pred(self) -> list[int | None]: ...
    @property
    def negative_cycle(self) -> bool: ...
    def path_to(self, target: int) -> list[int] | None: ...
    def __buffer__(self, flags: int, /) -> memoryview: ...

@final
class AllPairs:
    """All-pairs shortest paths from `floyd_warshall`."""

    __hash__: ClassVar[None]  # type: ignore[assignment]
    def __eq__(self, other: object, /) -> bool: ...
    @property
    def num_nodes(self) -> int: ...
    @property
    def negative_cycle(self) -> bool: ...
    def distance(self, from_: int, to: int) -> float: ...
    def matrix(self) -> list[list[float]]: ...
    def path(self, from_: int, to: int) -> list[int] | None: ...
    def __buffer__(self, flags: int, /) -> memoryview: ...

def bellman_ford(
    num_nodes: int, edges: _Edges, source: int, undirected: bool = False
) -> ShortestPaths: ...
def floyd_warshall(num_nodes: int, edges: _Edges, undirected: bool = False) -> AllPairs: ...
def search_npuzzle(
    tiles: Sequence[int],
    algorithm: _Algorithm = "astar",
    heuristic: _NPuzzleHeuristic | Callable[[tuple[int, ...], tuple[int, ...]], float] | None = None,
    goal: Sequence[int] | None = None,
    record: bool = True,
    weight: float = 2.0,
    beam_width: int | None = None,
    depth_limit: int | None = None,
    max_nodes: int | None = None,
    reopen: bool = False,
    time_limit: float | None = None,
    max_memory: int | None = None,
) -> SearchResult[tuple[int, ...]]: ...
def search_hanoi(
    disks: int,
    algorithm: _Algorithm = "astar",
    heuristic: _HanoiHeuristic | Callable[[tuple[int, ...], tuple[int, ...]], float] | None = None,
    pegs: int = 3,
    record: bool = True,
    weight: float = 2.0,
    beam_width: int | None = None,
    depth_limit: int | None = None,
    max_nodes: int | None = None,
    reopen: bool = False,
    time_limit: float | None = None,
    max_memory: int | None = None,
) -> SearchResult[tuple[int, ...]]: ...
def search_wordladder(
    start: str,
    goal: str,
    words: Iterable[str],
    algorithm: _Algorithm = "astar",
    heuristic: _LadderHeuristic | Callable[[str, str], float] | None = None,
    record: bool = True,
    weight: float = 2.0,
    beam_width: int | None = None,
    depth_limit: int | None = None,
    max_nodes: int | None = None,
    reopen: bool = False,
    time_limit: float | None = None,
    max_memory: int | None = None,
) -> SearchResult[str]: ...

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
]

@final
class Grid:
    """A 2-D grid built once (from an ASCII map or a matrix of terrain costs)
    and searched many times."""

    def __new__(cls, map: str | Sequence[Sequence[float]] | Buffer | _SupportsArray) -> Grid: ...
    @property
    def shape(self) -> tuple[int, int]: ...
    def __buffer__(self, flags: int, /) -> memoryview: ...
    @property
    def start(self) -> _Cell | None: ...
    @property
    def goal(self) -> _Cell | None: ...
    def search(
        self,
        start: _CellIn | None = None,
        goal: _CellIn | None = None,
        algorithm: _Algorithm = "astar",
        heuristic: _GridHeuristic | Callable[[_Cell, _Cell], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        diagonal: bool = False,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> SearchResult[_Cell]: ...

    def search_many(
        self,
        queries: Sequence[Sequence[_CellIn] | Sequence[SupportsIndex]] | _SupportsArray,
        *,
        workers: int = 1,
        algorithm: _Algorithm = "astar",
        heuristic: _GridHeuristic | Callable[[_Cell, _Cell], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        diagonal: bool = False,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> list[SearchResult[_Cell]]: ...

@final
class Graph:
    """An explicit weighted graph built once from an edge list and queried
    many times."""

    def __new__(cls, num_nodes: int, edges: _Edges, undirected: bool = True) -> Graph: ...
    @property
    def num_nodes(self) -> int: ...
    @property
    def num_edges(self) -> int: ...
    @property
    def undirected(self) -> bool: ...
    def search(
        self,
        start: int,
        goal: int,
        algorithm: _Algorithm = "bfs",
        heuristic: _GraphHeuristic | Callable[[int, int], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> SearchResult[int]: ...
    def search_many(
        self,
        queries: Sequence[tuple[int, int]] | Sequence[Sequence[int]] | _SupportsArray,
        *,
        workers: int = 1,
        algorithm: _Algorithm = "bfs",
        heuristic: _GraphHeuristic | Callable[[int, int], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> list[SearchResult[int]]: ...
    def dijkstra(self, source: int) -> ShortestPaths: ...
    def bellman_ford(self, source: int) -> ShortestPaths: ...
    def floyd_warshall(self) -> AllPairs: ...

@final
class WordList:
    """A word-ladder dictionary indexed once and searched many times."""

    def __new__(cls, words: Iterable[str]) -> WordList: ...
    def __len__(self) -> int: ...
    def search(
        self,
        start: str,
        goal: str,
        algorithm: _Algorithm = "astar",
        heuristic: _LadderHeuristic | Callable[[str, str], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> SearchResult[str]: ...
    def search_many(
        self,
        queries: Sequence[tuple[str, str]] | Sequence[Sequence[str]],
        *,
        workers: int = 1,
        algorithm: _Algorithm = "astar",
        heuristic: _LadderHeuristic | Callable[[str, str], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> list[SearchResult[str]]: ...

@final
class SlidingPuzzle:
    """A sliding-tile puzzle with one goal board, built once with its additive
    pattern databases and searched many times."""

    def __new__(
        cls, goal: Sequence[int], patterns: Literal["6-6-3", "7-8", "whole"] | Sequence[Sequence[int]] | None = None
    ) -> SlidingPuzzle: ...
    @property
    def goal(self) -> tuple[int, ...]: ...
    @property
    def side(self) -> int: ...
    @property
    def patterns(self) -> tuple[tuple[int, ...], ...] | None: ...
    @property
    def reflected(self) -> bool: ...
    @property
    def nbytes(self) -> int: ...
    def estimate(self, tiles: Sequence[int]) -> int: ...
    def search(
        self,
        tiles: Sequence[int],
        algorithm: _Algorithm = "astar",
        heuristic: _SlidingHeuristic | Callable[[tuple[int, ...], tuple[int, ...]], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> SearchResult[tuple[int, ...]]: ...
    def search_many(
        self,
        boards: Sequence[Sequence[int]] | _SupportsArray,
        *,
        workers: int = 1,
        algorithm: _Algorithm = "astar",
        heuristic: _SlidingHeuristic | Callable[[tuple[int, ...], tuple[int, ...]], float] | None = None,
        record: bool = True,
        weight: float = 2.0,
        beam_width: int | None = None,
        depth_limit: int | None = None,
        max_nodes: int | None = None,
        reopen: bool = False,
        time_limit: float | None = None,
        max_memory: int | None = None,
    ) -> list[SearchResult[tuple[int, ...]]]: ...
