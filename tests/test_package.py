import ast
import importlib.metadata
import pathlib
import runpy
import subprocess
import sys
import textwrap

import pytest

import quellostrin
from quellostrin import ALGORITHM_ALIASES, ALGORITHMS, HEURISTICS, quellostrin_native


def test_installed_version_and_stable_abi():
    assert quellostrin.__version__ == importlib.metadata.version("quellostrin")
    # A wheel tagged abi3 whose module is not named *.abi3.so would only
    # import on the Python it was built with.
    assert pathlib.Path(quellostrin_native.__file__).name.endswith(".abi3.so")
    wheel = importlib.metadata.distribution("quellostrin").read_text("WHEEL")
    tags = [line.split(":", 1)[1].strip() for line in wheel.splitlines() if line.startswith("Tag:")]
    assert tags and all(t.startswith("cp311-abi3-") for t in tags), tags


def test_package_reexports_the_native_names():
    for name in quellostrin_native.__all__:
        assert getattr(quellostrin, name) is getattr(quellostrin_native, name)
    names = ["ALGORITHMS", "ALGORITHM_ALIASES", "HEURISTICS"]
    assert quellostrin.__all__ == [*quellostrin_native.__all__, "InternalError", *names]
    assert all(getattr(quellostrin, n) is getattr(quellostrin_native, n) for n in names)
    # Type checkers take the star re-export from the stub's literal __all__.
    stub = ast.parse(pathlib.Path(quellostrin.__file__).with_name("quellostrin_native.pyi").read_text())
    [stub_all] = [n.value for n in stub.body if isinstance(n, ast.Assign) and n.targets[0].id == "__all__"]
    assert ast.literal_eval(stub_all) == quellostrin_native.__all__


def test_stub_literals_are_the_names_the_module_accepts():
    # Every search takes every algorithm and alias, and its own heuristics (a
    # method those of the function it repeats).
    stub = ast.parse(pathlib.Path(quellostrin.__file__).with_name("quellostrin_native.pyi").read_text())
    literals = {n.targets[0].id: tuple(map(ast.literal_eval, getattr(n.value.slice, "elts", [n.value.slice])))
                for n in stub.body if isinstance(n, ast.Assign) and ast.unparse(n.value).startswith("Literal[")}
    assert (literals["_AlgorithmName"], literals["_AlgorithmAlias"]) == (ALGORITHMS, tuple(ALGORITHM_ALIASES))
    function_of = {"Grid": "search_grid", "Graph": "search_graph", "WordList": "search_wordladder",
                   "SlidingPuzzle": "SlidingPuzzle"}
    checked = set()
    for entry, node in [(getattr(n, "name", ""), n) for n in stub.body] + \
            [(function_of.get(c.name), n) for c in stub.body if isinstance(c, ast.ClassDef) for n in c.body]:
        args = {a.arg: a.annotation for a in node.args.args} if isinstance(node, ast.FunctionDef) else {}
        if "heuristic" in args:
            named = {n.id for n in ast.walk(args["heuristic"]) if getattr(n, "id", None) in literals}
            assert {h for n in named for h in literals[n]} == set(HEURISTICS[entry]), (entry, node.name)
            assert ast.unparse(args["algorithm"]) == "_Algorithm", (entry, node.name)
            checked.add(entry)
    assert checked == set(HEURISTICS)


def test_typed_callers_the_examples_and_the_command_line_pass_mypy(tmp_path):
    from mypy import api

    example = tmp_path / "example.py"
    example.write_text(textwrap.dedent("""
        from typing import Any

        import numpy as np

        from quellostrin import (ALGORITHMS, SearchResult, WordList, bellman_ford, floyd_warshall, search_graph,
                                 search_grid, search_grid_costs, search_hanoi, search_implicit)

        Pos = tuple[int, int]

        def succ(s: int) -> list[tuple[int, float]]:
            return [(s + 1, 1.0), (s * 2, 1.0)]

        def h(node: int, goal: int) -> float:
            return abs(goal - node)

        def grid(p: Pos) -> list[tuple[Pos, float]]:
            return [((p[0] + 1, p[1]), 1.0), ((p[0], p[1] + 1), 1.0)]

        def manhattan(a: Pos, b: Pos) -> float:
            return abs(a[0] - b[0]) + abs(a[1] - b[1])

        def grow(s: tuple[int, ...]) -> list[tuple[list[int], float]]:
            return [([*s, 1], 1.0)]

        results: list[SearchResult[Any]] = [
            search_graph(3, [(0, 1, 1.0), (1, 2, 1.0)], 0, 2, algorithm="astar", heuristic=h),
            search_implicit(succ, 1, 10, heuristic=h),
            search_implicit(lambda s: [(s - 1, 1.0)], 5, 0, algorithm="bfs"),
            search_implicit(grid, (0, 0), (2, 2), heuristic=manhattan),
            search_implicit(grow, [0, 0], (0, 0, 1)),
            search_grid("S.G", heuristic=manhattan),
            search_grid_costs(np.ones((2, 2)), (0, 0), (1, 1), heuristic="octile", diagonal=True),
            search_grid_costs([[1, 2], [3, 4]], [0, 0], np.array([1, 1])),
            *(search_graph(2, [(0, 1, 1.0)], 0, 1, algorithm=name, depth_limit=3) for name in ALGORITHMS if name != "jps"),
        ]
        assert all(r.found for r in results)
        # A result's nodes have the type of its domain's nodes, even at run time.
        cells: SearchResult[tuple[int, int]] = search_grid("S.G", algorithm="a*")
        nodes: list[int] | None = search_graph(2, [(0, 1, 1.0)], 0, 1).path
        words: list[str] | None = WordList({"ab", "ac"}).search("ab", "ac", heuristic="hamming").path
        states: list[tuple[int, ...]] | None = search_hanoi(2).path
        assert cells.path and nodes and words and states
        # Shortest-path results are buffers of their distances.
        views = [memoryview(floyd_warshall(2, [(0, 1, 1.0)])), memoryview(bellman_ford(2, [(0, 1, 1.0)], 0))]
        assert [v.tolist() for v in views] == [[[0.0, 1.0], [float("inf"), 0.0]], [0.0, 1.0]]

        def rejected() -> None:
            # The stub still rejects wrong types: under --strict an ignore
            # that silences nothing is an error.
            search_implicit(succ, 1, 10, heuristic=manhattan)  # type: ignore[arg-type]
            search_graph(2, [], 0, 1, algorithm="astarr")  # type: ignore[arg-type]
            search_grid("S.G", heuristic="hamming")  # type: ignore[arg-type]
            WordList(["ab"]).search("ab", "ab", heuristic="manhattan")  # type: ignore[arg-type]
            path: list[str] | None = search_grid("S.G").path  # type: ignore[assignment]
    """))
    # The examples of examples/ are typed callers too, and the package's
    # pure-Python command line and Moving AI reader are held to the same
    # strictness (mypy takes files or modules in one run, not both).
    examples = sorted(map(str, (pathlib.Path(__file__).parent.parent / "examples").glob("*.py")))
    assert len(examples) >= 6
    for targets in [str(example), *examples], ["-m", "quellostrin.cli", "-m", "quellostrin.__main__",
                                               "-m", "quellostrin.movingai"]:
        out, err, status = api.run(["--strict", "--cache-dir", str(tmp_path / "cache"), *targets])
        assert status == 0, out + err
    runpy.run_path(str(example))  # and what mypy accepts runs


def test_stubs_match_the_modules_at_runtime(tmp_path):
    # stubtest imports each module and compares what it holds with what type
    # checkers are told: every name, signature and class. The allowlist names
    # its accepted differences, each with the reason.
    pytest.importorskip("matplotlib")  # quellostrin.viz imports it
    modules = ["quellostrin"]  # with every submodule
    allowlist = ["--allowlist", str(pathlib.Path(__file__).with_name("stubtest_allowlist.txt"))]
    proc = subprocess.run([sys.executable, "-m", "mypy.stubtest", *modules, *allowlist], capture_output=True,
                          text=True, cwd=tmp_path, timeout=600)
    assert proc.returncode == 0, proc.stdout + proc.stderr
